#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <utility>

namespace tlc {

// Asks a reader to keep only the top-left Width x Height of a picture: a
// conversion without scaling reads no dot beyond the printer's largest logo,
// so the rest need be neither read nor held. The kept raster no longer shows
// the picture's own size, so the reader notes it here.
struct PictureCrop {
    std::int32_t Width = std::numeric_limits<std::int32_t>::max();
    std::int32_t Height = std::numeric_limits<std::int32_t>::max();
    // Set instead of a cut: given the picture's size, the size it will be
    // scaled down to (each at most the picture's). A reader that can, scales
    // the picture to that size row by row as it decodes it (RowScaler, the
    // same dots as ScaleDown of the whole picture) and never holds it whole;
    // one that cannot gives the whole picture. Width and Height are unused.
    std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t, std::int32_t)> ScaleTo;
    // Set by the reader: the picture's size as the file gives it.
    std::int32_t PictureWidth = 0;
    std::int32_t PictureHeight = 0;

    // Whether a picture of this size loses anything.
    bool Cuts(std::int64_t width, std::int64_t height) const { return width > Width || height > Height; }
};

} // namespace tlc
