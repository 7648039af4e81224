#pragma once

#include <iosfwd>

#include "cli/Convert.h"

namespace tlc::cli {

// `convert -d FOLDER`: every picture of `o` to NAME.rsc in the folder, a line
// for each and a count at the end; exit status 1 when any failed.
int ConvertBatch(const ConvertOptions& o, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace tlc::cli
