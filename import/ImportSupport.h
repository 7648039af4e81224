#pragma once

// Shared by the readers of the imported formats.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureCrop.h"

namespace tlc::import {

[[noreturn]] void Damaged(const char* format, const std::string& what);

// A 24-bit raster of width x height, rows top first, every byte 0; checks the
// size against the raster cap first (EInvalidGraphic for an empty picture,
// EOutOfResources naming the format above the cap).
std::shared_ptr<TBitmapImage> NewRaster(const char* format, std::int64_t width, std::int64_t height);

// The part of a width x height picture a reader keeps: all of it, or the
// top-left part the crop asks for, the picture's size noted in the crop.
struct KeptSize {
    std::int32_t Width;
    std::int32_t Height;
};
KeptSize KeptPart(std::int64_t width, std::int64_t height, PictureCrop* crop);

// With a crop whose ScaleTo is set: the size a width x height picture is to
// be scaled down to, when smaller (the picture's size noted in the crop);
// none otherwise. A picture to scale above kMaxScaledPixels or
// kMaxScaledSide raises EOutOfResources naming the format.
std::optional<KeptSize> ScaledSize(const char* format, std::int64_t width, std::int64_t height,
                                   PictureCrop* crop);

// Refuses width x height x bytesPerPixel above the raster cap (for buffers
// the libraries decode into before the raster is filled).
void CheckBuffer(const char* format, std::int64_t width, std::int64_t height, int bytesPerPixel);

// Composes one channel of a pixel with coverage `alpha` over white paper.
inline std::uint8_t OverWhite(unsigned value, unsigned alpha) {
    return static_cast<std::uint8_t>((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// Fills raster row `y` from 8-bit RGBA pixels, composed over white.
void PutRgbaRow(TBitmapImage& raster, std::int32_t y, const std::uint8_t* rgba);

} // namespace tlc::import
