#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tlc {

// The command-line companion: `args` without the program name. Returns the
// exit status (0 success, 1 failure, 2 wrong usage).
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tlc
