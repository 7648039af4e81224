#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/Types.h"

namespace tlc {

// Every header field of a bitmap file lies in its first bytes: file header,
// the largest information header, masks and a full colour table.
inline constexpr std::size_t kBitmapHeadBytes = 4096;

// The headers of a bitmap file, a core header widened to an information
// header, checked so far as they can be without the pixels.
struct BitmapHeader {
    std::uint32_t Size = 0;
    bool Core = false;
    std::int32_t Width = 0;
    std::int32_t Height = 0; // negative: rows stored top row first
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;
    std::uint32_t SizeImage = 0;
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;
    std::uint32_t Masks[3] = {0, 0, 0};
    std::vector<TColor> Table;
    std::size_t PixelsAt = 0; // where the pixel bytes start in the file

    bool RunLength() const;
    std::int32_t AbsHeight() const { return Height < 0 ? -Height : Height; }
};

// Reads the headers from `bytes` (the file's first bytes, all of them or at
// least kBitmapHeadBytes) of a file of `total` bytes, more than 0. Raises
// EReadError and EInvalidGraphic as DecodeBitmapFile describes.
BitmapHeader ParseBitmapHeader(std::span<const std::uint8_t> bytes, std::size_t total);

// Refuses, from its headers alone, a file whose raster would pass the cap, so
// that a huge file claiming a huge picture is not read first. Anything else
// is left to the decoder.
void CheckBitmapHead(std::span<const std::uint8_t> head, std::uint64_t fileSize);

} // namespace tlc
