#include "import/Orientation.h"

#include <cstring>

#include "import/ImportSupport.h"
#include "import/PictureMetadata.h"

namespace tlc::import {

std::shared_ptr<TBitmapImage> Orient(std::shared_ptr<TBitmapImage> raster, int orientation) {
    if (orientation < 2 || orientation > 8) return raster;
    const TBitmapImage& in = *raster;
    const std::int32_t w = in.Width(), h = in.AbsHeight();
    const bool swap = SwapsAxes(orientation);
    auto out = NewRaster("", swap ? h : w, swap ? w : h);
    const std::int32_t ow = out->Width(), oh = out->AbsHeight();
    for (std::int32_t y = 0; y < oh; ++y) {
        std::uint8_t* row = out->Row(y);
        // The stored pixel shown at (x, y): (sx, sy) = (x0 + x * dx, y0 + x * dy) along the row.
        std::int32_t sx = 0, sy = 0, dx = 0, dy = 0;
        switch (orientation) {
        case 2: sx = w - 1, sy = y, dx = -1; break;
        case 3: sx = w - 1, sy = h - 1 - y, dx = -1; break;
        case 4: sx = 0, sy = h - 1 - y, dx = 1; break;
        case 5: sx = y, sy = 0, dy = 1; break;           // the stored column y, downwards
        case 6: sx = y, sy = h - 1, dy = -1; break;      // a quarter turn clockwise
        case 7: sx = w - 1 - y, sy = h - 1, dy = -1; break;
        case 8: sx = w - 1 - y, sy = 0, dy = 1; break;   // a quarter turn anticlockwise
        }
        for (std::int32_t x = 0; x < ow; ++x, sx += dx, sy += dy)
            std::memcpy(row + std::size_t(x) * 3, in.Row(sy) + std::size_t(sx) * 3, 3);
    }
    return out;
}

} // namespace tlc::import
