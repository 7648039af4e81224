#pragma once

#include <cstdint>
#include <memory>

#include "image/BitmapImage.h"

namespace tlc {

// A 24-bit copy of `source` (any pixel format) scaled down to width x height
// (each at least 1, at most the source's) by averaging the area each new
// pixel covers, in linear light: a fine black-and-white pattern becomes the
// grey it looks like, not a darker one.
std::shared_ptr<TBitmapImage> ScaleDown(const TBitmapImage& source, std::int32_t width,
                                        std::int32_t height);

// A 24-bit raster of width x height (each at least 1), rows top first, every
// byte 0; above the raster cap EOutOfResources "<what> picture too large: W x
// H pixels".
std::shared_ptr<TBitmapImage> NewRgbRaster(const char* what, std::int32_t width, std::int32_t height);

enum class DitherMethod { FloydSteinberg, Atkinson, Ordered };

// The grey level 0 to 255 of a colour (ITU-R BT.601 weights, as encoded).
inline int GreyLevel(TColor c) {
    return (299 * RedOf(c) + 587 * GreenOf(c) + 114 * BlueOf(c) + 500) / 1000;
}

// A 24-bit copy of `source` holding only black and white, dithered on each
// pixel's grey level: error diffusion (Floyd-Steinberg, Atkinson) or an 8 x 8
// ordered pattern. Flat white stays white; flat black stays black.
std::shared_ptr<TBitmapImage> Dither(const TBitmapImage& source, DitherMethod method);

} // namespace tlc
