#include "import/ImportSupport.h"

#include <algorithm>
#include <new>

#include "base/Exceptions.h"
#include "image/RowScaler.h"

namespace tlc::import {

void Damaged(const char* format, const std::string& what) {
    throw EInvalidGraphic(std::string(format) + " file damaged: " + what);
}

namespace {

[[noreturn]] void TooLarge(const char* format, std::int64_t width, std::int64_t height) {
    throw EOutOfResources(std::string(format) + " picture too large: " + std::to_string(width) +
                          " x " + std::to_string(height) + " pixels");
}

} // namespace

void CheckBuffer(const char* format, std::int64_t width, std::int64_t height, int bytesPerPixel) {
    if (width <= 0 || height <= 0) Damaged(format, "the picture has no pixels");
    const std::uint64_t cap = kMaxRasterBytes;
    if (static_cast<std::uint64_t>(width) > cap || static_cast<std::uint64_t>(height) > cap ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            cap / static_cast<std::uint64_t>(bytesPerPixel))
        TooLarge(format, width, height);
}

KeptSize KeptPart(std::int64_t width, std::int64_t height, PictureCrop* crop) {
    // Checked against the cap before this: each fits.
    const auto w = static_cast<std::int32_t>(width), h = static_cast<std::int32_t>(height);
    if (!crop) return {w, h};
    crop->PictureWidth = w;
    crop->PictureHeight = h;
    return {std::min(w, std::max(crop->Width, 1)), std::min(h, std::max(crop->Height, 1))};
}

std::optional<KeptSize> ScaledSize(const char* format, std::int64_t width, std::int64_t height,
                                   PictureCrop* crop) {
    if (!crop || !crop->ScaleTo) return std::nullopt;
    if (width <= 0 || height <= 0) Damaged(format, "the picture has no pixels");
    if (width > kMaxScaledSide || height > kMaxScaledSide) TooLarge(format, width, height);
    const auto w = static_cast<std::int32_t>(width), h = static_cast<std::int32_t>(height);
    crop->PictureWidth = w;
    crop->PictureHeight = h;
    const auto [scaledWidth, scaledHeight] = crop->ScaleTo(w, h);
    if (scaledWidth >= w && scaledHeight >= h) return std::nullopt;
    // Every pixel is decoded to be averaged: the work is bounded, not only the memory.
    if (width * height > kMaxScaledPixels) TooLarge(format, width, height);
    return KeptSize{std::min(scaledWidth, w), std::min(scaledHeight, h)};
}

std::shared_ptr<TBitmapImage> NewRaster(const char* format, std::int64_t width, std::int64_t height) {
    CheckBuffer(format, width, height, 3);
    TRasterFormat f;
    f.Width = static_cast<std::int32_t>(width);
    f.Height = -static_cast<std::int32_t>(height); // held top row first
    f.BitCount = 24;
    try {
        return TBitmapImage::Create(f);
    } catch (const EOutOfResources&) {
        TooLarge(format, width, height);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
}

void PutRgbaRow(TBitmapImage& raster, std::int32_t y, const std::uint8_t* rgba) {
    std::uint8_t* out = raster.Row(y);
    for (std::int32_t x = 0; x < raster.Width(); ++x, rgba += 4, out += 3) {
        const unsigned a = rgba[3];
        if (a == 255) {
            out[0] = rgba[2];
            out[1] = rgba[1];
            out[2] = rgba[0];
        } else {
            out[0] = OverWhite(rgba[2], a);
            out[1] = OverWhite(rgba[1], a);
            out[2] = OverWhite(rgba[0], a);
        }
    }
}

} // namespace tlc::import
