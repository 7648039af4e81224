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
// geometry rules); with `maxWidth` above 0 the logo, margin included, is at
// most that many dots wide. No printer (all limits 0) leaves the size as it is.
PictureSize FitPictureSize(std::int32_t width, std::int32_t height, const PrinterLimits& limits,
                           std::int32_t maxWidth = 0);

// A warning for a logo wider than its printer prints, naming the printable
// width and the columns that are lost; empty when it prints whole.
// (The printable widths are in the printer table, logo/PrinterModels.h.)
std::string PrintWidthWarning(int model, std::int32_t logoWidth);

} // namespace tlc
