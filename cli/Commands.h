#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The commands besides convert (cli/Convert.h): `args` after the command word.
namespace tlc::cli {

int Show(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
int Info(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
int Send(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
int Blank(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace tlc::cli
