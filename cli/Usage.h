#pragma once

#include <iosfwd>

namespace tlc::cli {

// The usage text, with the printers of the table.
void PrintUsage(std::ostream& out);

// Name and version as GNU programs print them; the version is the project's.
void PrintVersion(std::ostream& out);

} // namespace tlc::cli
