#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tlc {

// The command-line companion: `args` without the program name; a picture or
// logo named "-" comes from `in`, and "-o -" sends the logo to `out`. Returns
// the exit status (0 success, 1 failure, 2 wrong usage); a failed write to
// `out` is a failure.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

// The same with standard input as `in`.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tlc
