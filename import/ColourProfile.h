#pragma once

// Pixels in the colours of an embedded ICC profile, turned into sRGB (the
// colours every picture without a profile is taken to be in) through Little
// CMS, before any threshold, scaling or dithering sees them.
#include <cstdint>
#include <span>

#include "image/Bitmap.h"

namespace tlc {
struct PictureMetadata;
}

namespace tlc::import {

// Turns a 24-bit raster (blue, green, red) from an RGB or grey profile's
// colours to sRGB in place. False, and the raster unchanged, for a profile
// that is unreadable or of another colour space, or without Little CMS.
bool ConvertToSrgb(TBitmapImage& raster, std::span<const std::uint8_t> profile);

// CMYK rows, 4 bytes a pixel (inverted: 255 no ink, as Adobe writes them,
// or plain: 0 no ink), to sRGB blue, green, red. Made once per picture;
// Valid() false when the profile is not a CMYK one Little CMS can use.
class CmykToSrgb {
public:
    CmykToSrgb(std::span<const std::uint8_t> profile, bool inverted);
    CmykToSrgb(const CmykToSrgb&) = delete;
    CmykToSrgb& operator=(const CmykToSrgb&) = delete;
    ~CmykToSrgb();
    bool Valid() const { return transform_ != nullptr; }
    void Row(const std::uint8_t* cmyk, std::uint8_t* bgr, std::int32_t pixels) const;

private:
    void* transform_ = nullptr;
};

// Fills the raster's rows from CMYK pixels `stride` pixels a row: through the
// picture's CMYK profile where it has one, else inks laid on white paper.
// Adobe's writers store the values inverted, which their marker says.
void ApplyCmyk(const std::uint8_t* cmyk, std::int32_t stride, TBitmapImage& raster, const PictureMetadata* metadata);

} // namespace tlc::import
