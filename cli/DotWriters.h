#pragma once

#include <cstdint>
#include <vector>

#include "logo/LogoReader.h"

namespace tlc::cli {

// The dots of a logo as a picture file, for `show -o`.

// A portable bitmap (P4), top row first.
std::vector<std::uint8_t> PortableBitmap(const DecodedLogo& logo);

// A 1-bit Windows bitmap: white as colour 0 and black as colour 1, bottom
// row first. At least one dot across and down.
std::vector<std::uint8_t> WindowsBitmap(const DecodedLogo& logo);

// The dots packed eight to a byte, top row first, white 1 and black 0, as a
// 1-bit greyscale PNG holds them; rows of (Width + 7) / 8 bytes. At least one
// dot across and down.
std::vector<std::uint8_t> PngDotRows(const DecodedLogo& logo);

// A 1-bit greyscale PNG (white 1, black 0), through libspng opened as a
// picture needs it (import/CodecLibraries). At least one dot across and down.
std::vector<std::uint8_t> OneBitPng(const DecodedLogo& logo);

} // namespace tlc::cli
