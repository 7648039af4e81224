#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/Types.h"

namespace tlc {

// Largest raster we agree to hold: above this a header is refused before any
// allocation (4000 x 3000 at 32 bits is 46 MiB, well inside).
// The fuzz build lowers it (TLC_MAX_RASTER_MIB) so that hostile headers cost
// milliseconds there and the fuzzer gets through more inputs.
#ifndef TLC_MAX_RASTER_MIB
#define TLC_MAX_RASTER_MIB 256
#endif
inline constexpr std::size_t kMaxRasterBytes = std::size_t{TLC_MAX_RASTER_MIB} << 20;

enum : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

// What a raster is made of: everything but the pixels.
struct TRasterFormat {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // negative: the file stored its rows top row first
    std::uint16_t BitCount = 32;
    std::uint32_t Compression = BI_RGB; // BI_RGB or BI_BITFIELDS
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    std::vector<TColor> ColourTable; // 0 to 256 entries, as 0x00BBGGRR
};

// Row stride in bytes of a raster, each row padded to 4 bytes; 0 on overflow.
std::size_t RowStride(std::int32_t width, int bitCount);

} // namespace tlc
