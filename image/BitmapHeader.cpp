#include "image/BitmapHeader.h"

#include <limits>

#include "base/Exceptions.h"
#include "base/LittleEndian.h"
#include "image/RasterFormat.h"

namespace tlc {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

[[noreturn]] void NotValid() {
    throw EInvalidGraphic("Bitmap image is not valid");
}
[[noreturn]] void ReadError() {
    throw EReadError("Stream read error");
}

// Header sizes we read: the information header (40), its two short-lived
// extensions with the masks inside (52, 56), and the version 4 and 5
// headers (108, 124). Anything else is refused rather than guessed at.
bool KnownInfoHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool KnownBitCount(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

} // namespace

bool BitmapHeader::RunLength() const {
    return Compression == BI_RLE8 || Compression == BI_RLE4;
}

BitmapHeader ParseBitmapHeader(std::span<const std::uint8_t> bytes, std::size_t total) {
    if (total < kFileHeaderSize) ReadError();
    if (bytes[0] != 'B' || bytes[1] != 'M') NotValid();
    const std::uint32_t pixelOffset = LoadLE32(&bytes[10]);

    std::size_t pos = kFileHeaderSize;
    if (total - pos < 4) ReadError();
    BitmapHeader h;
    h.Size = LoadLE32(&bytes[pos]);
    h.Core = h.Size == kCoreHeaderSize;
    std::uint16_t planes = 0;
    if (h.Core) {
        if (total - pos < kCoreHeaderSize) ReadError();
        const std::uint8_t* p = &bytes[pos];
        h.Width = LoadLE16(p + 4);
        h.Height = LoadLE16(p + 6);
        planes = LoadLE16(p + 8);
        h.BitCount = LoadLE16(p + 10);
        pos += kCoreHeaderSize;
    } else {
        if (!KnownInfoHeaderSize(h.Size)) NotValid();
        if (total - pos < h.Size) NotValid(); // the file ends inside its header
        const std::uint8_t* p = &bytes[pos];
        h.Width = LoadLE32Signed(p + 4);
        h.Height = LoadLE32Signed(p + 8);
        planes = LoadLE16(p + 12);
        h.BitCount = LoadLE16(p + 14);
        h.Compression = LoadLE32(p + 16);
        h.SizeImage = LoadLE32(p + 20);
        h.XPelsPerMeter = LoadLE32Signed(p + 24);
        h.YPelsPerMeter = LoadLE32Signed(p + 28);
        h.ClrUsed = LoadLE32(p + 32);
        h.ClrImportant = LoadLE32(p + 36);
        if (h.Size > kInfoHeaderSize && h.Compression == BI_BITFIELDS) {
            h.Masks[0] = LoadLE32(p + 40);
            h.Masks[1] = LoadLE32(p + 44);
            h.Masks[2] = LoadLE32(p + 48);
        }
        pos += h.Size;
    }
    if (planes != 1) NotValid();

    // Channel masks after a 40-byte header.
    if (h.Size == kInfoHeaderSize && (h.BitCount == 16 || h.BitCount == 32) &&
        h.Compression == BI_BITFIELDS) {
        if (total - pos < 12) ReadError();
        for (int k = 0; k < 3; ++k)
            h.Masks[k] = LoadLE32(&bytes[pos + 4 * k]);
        pos += 12;
    }

    // Colour table: the count the header gives, or the full table for 1, 4 and
    // 8 bits per pixel.
    std::uint32_t colours = h.ClrUsed;
    if (colours == 0) colours = h.BitCount <= 8 && KnownBitCount(h.BitCount) ? 1u << h.BitCount : 0;
    if (colours > 256) NotValid();
    const std::size_t entrySize = h.Core ? 3 : 4;
    if ((total - pos) / entrySize < colours) ReadError();
    h.Table.resize(colours);
    for (std::uint32_t k = 0; k < colours; ++k) {
        const std::uint8_t* e = &bytes[pos + k * entrySize];
        h.Table[k] = RGB(e[2], e[1], e[0]);
    }
    pos += colours * entrySize;

    // The pixels start where the file header says when that lies between the
    // end of the colour table and the end of the file; otherwise right after
    // the table.
    if (pixelOffset >= pos && pixelOffset < total) pos = pixelOffset;
    h.PixelsAt = pos;

    // Everything about the raster is checked before anything is allocated.
    if (!KnownBitCount(h.BitCount)) NotValid();
    if (h.Width <= 0 || h.Height == 0 || h.Height == std::numeric_limits<std::int32_t>::min())
        NotValid();
    switch (h.Compression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (h.BitCount != 16 && h.BitCount != 32) NotValid();
        break;
    case BI_RLE8:
    case BI_RLE4:
        // Run-length rows always run bottom row first.
        if (h.BitCount != (h.Compression == BI_RLE8 ? 8 : 4) || h.Height < 0) NotValid();
        break;
    default:
        NotValid();
    }
    return h;
}

void CheckBitmapHead(std::span<const std::uint8_t> head, std::uint64_t) {
    if (head.size() < kFileHeaderSize + 16 || head[0] != 'B' || head[1] != 'M') return;
    const std::uint8_t* p = head.data() + kFileHeaderSize;
    const std::uint32_t size = LoadLE32(p);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitCount = 0, compression = BI_RGB;
    if (size == kCoreHeaderSize) {
        width = LoadLE16(p + 4);
        height = LoadLE16(p + 6);
        bitCount = LoadLE16(p + 10);
    } else if (KnownInfoHeaderSize(size) && head.size() >= kFileHeaderSize + 20) {
        width = LoadLE32Signed(p + 4);
        height = LoadLE32Signed(p + 8);
        bitCount = LoadLE16(p + 14);
        compression = LoadLE32(p + 16);
    }
    if (!KnownBitCount(static_cast<int>(bitCount)) || width <= 0 || height == 0) return;
    // Run-length pictures are held at 32 bits per pixel.
    if (compression == BI_RLE8 || compression == BI_RLE4) bitCount = 32;
    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (stride * static_cast<std::uint64_t>(height < 0 ? -height : height) > kMaxRasterBytes)
        throw EOutOfResources();
}

} // namespace tlc
