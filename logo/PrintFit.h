#pragma once

#include <cstdint>
#include <string>

#include "logo/PrinterModels.h"

namespace tlc {

struct PictureSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The largest size, aspect ratio kept and never above the picture's own, that
// the printer's logo holds whole (nothing cut at the right or bottom by the
// geometry rules) and the printer prints whole: the logo, margin included, is
// at most as wide as the printer prints where that is known. With `maxWidth`
// above 0 the logo is at most that many dots wide instead (the operator's
// word). No printer (all limits 0) leaves the size as it is.
PictureSize FitPictureSize(std::int32_t width, std::int32_t height, const PrinterLimits& limits,
                           std::int32_t maxWidth = 0);

// A warning for a logo whose picture is wider than its printer prints, naming
// the printable width and the picture's columns that are lost; empty when
// they all print. `pictureColumns` counts the logo's columns that hold the
// picture (the rest is blank margin, whose loss is no loss); below 0, all.
// (The printable widths are in the printer table, logo/PrinterModels.h.)
std::string PrintWidthWarning(int model, std::int32_t logoWidth, std::int32_t pictureColumns = -1);

} // namespace tlc
