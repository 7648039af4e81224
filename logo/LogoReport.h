#pragma once

#include <cstdint>
#include <string>

#include "base/Types.h"
#include "logo/PrintFit.h"

namespace tlc {

// One line for the operator after a conversion: the logo's size in dots and,
// where the printer's resolution is published, in millimetres; then whether
// the picture was scaled or cut to it, and the columns the printer cannot
// print. `picture` is the size the conversion saw, `original` the file's own.
std::string DescribeConversion(int model, const LogoGeometry& logo, PictureSize picture,
                               PictureSize original, bool scaled);

} // namespace tlc
