#pragma once

#include <cstdint>
#include <limits>

namespace tlc {

// Asks a reader to keep only the top-left Width x Height of a picture: a
// conversion without scaling reads no dot beyond the printer's largest logo,
// so the rest need be neither read nor held. The kept raster no longer shows
// the picture's own size, so the reader notes it here.
struct PictureCrop {
    std::int32_t Width = std::numeric_limits<std::int32_t>::max();
    std::int32_t Height = std::numeric_limits<std::int32_t>::max();
    // Set by the reader: the picture's size as the file gives it.
    std::int32_t PictureWidth = 0;
    std::int32_t PictureHeight = 0;

    // Whether a picture of this size loses anything.
    bool Cuts(std::int64_t width, std::int64_t height) const { return width > Width || height > Height; }
};

} // namespace tlc
