#pragma once

#include <string>
#include <vector>

namespace tlc {

// The program's arguments (without its name) in UTF-8; Windows hands them over
// in the ANSI code page unless asked for the wide ones.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard input and output carry pictures and logo files: no line-end
// translation.
void UseBinaryStandardStreams();

} // namespace tlc
