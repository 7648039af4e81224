#include "image/BitmapFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "base/Exceptions.h"
#include "image/FileBytes.h"

namespace tlc {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

[[noreturn]] void NotValid() { throw EInvalidGraphic("Bitmap image is not valid"); }
[[noreturn]] void ReadError() { throw EReadError("Stream read error"); }

// The information header, or a core header widened to it.
struct InfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
    std::uint32_t masks[3] = {0, 0, 0};
};

// Header sizes we read: the information header (40), its two short-lived
// extensions with the masks inside (52, 56), and the version 4 and 5
// headers (108, 124). Anything else is refused rather than guessed at.
bool KnownInfoHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool KnownBitCount(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

using PaletteBGRX = std::array<std::array<std::uint8_t, 4>, 256>;

// Colours of the 32-bit raster a run-length file becomes; indices beyond the
// table read black.
PaletteBGRX MakePalette(const std::vector<TColor>& table) {
    PaletteBGRX palette{};
    for (std::size_t i = 0; i < table.size() && i < palette.size(); ++i) {
        palette[i] = {static_cast<std::uint8_t>(BlueOf(table[i])),
                      static_cast<std::uint8_t>(GreenOf(table[i])),
                      static_cast<std::uint8_t>(RedOf(table[i])), 0};
    }
    return palette;
}

// Decodes 8-bit (nibbles == false) or 4-bit run-length data into a zeroed
// 32-bit raster of the file's size, bottom row first as the format requires.
// Runs past the end of a row are clipped, moves past the raster end the
// decoding, and data that ends early leaves the rest 0. Every step takes at
// least two input bytes, so the loop ends with the data.
void DecodeRunLength(std::span<const std::uint8_t> data, bool nibbles, const PaletteBGRX& palette,
                     TBitmapImage& raster) {
    const std::int64_t width = raster.Width();
    const std::int64_t height = raster.AbsHeight();
    const std::size_t n = data.size();
    std::int64_t x = 0;
    std::int64_t row = 0; // 0 = bottom row
    std::size_t i = 0;

    auto put = [&](std::uint8_t* rowBytes, std::int64_t px, unsigned index) {
        std::memcpy(rowBytes + px * 4, palette[index].data(), 4);
    };

    while (i + 1 < n && row < height) {
        const unsigned count = data[i];
        const unsigned value = data[i + 1];
        i += 2;
        if (count > 0) {
            // Encoded run: one index (8-bit) or two alternating ones (4-bit).
            const std::int64_t end = std::min<std::int64_t>(x + count, width);
            if (x < end) {
                std::uint8_t* rowBytes = raster.Row(static_cast<std::int32_t>(height - 1 - row));
                if (!nibbles) {
                    for (std::int64_t px = x; px < end; ++px) put(rowBytes, px, value);
                } else {
                    const unsigned hi = value >> 4, lo = value & 0x0F;
                    for (std::int64_t px = x; px < end; ++px)
                        put(rowBytes, px, ((px - x) & 1) ? lo : hi);
                }
            }
            x += count;
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta: right and up
            if (i + 1 >= n) return;
            x += data[i];
            row += data[i + 1];
            i += 2;
            break;
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytesUsed = nibbles ? (value + 1) / 2 : value;
            const std::size_t available = std::min(bytesUsed, n - i);
            const std::size_t pixels = std::min<std::size_t>(value, nibbles ? available * 2 : available);
            const std::int64_t end = std::min<std::int64_t>(x + static_cast<std::int64_t>(pixels), width);
            if (x < end) {
                std::uint8_t* rowBytes = raster.Row(static_cast<std::int32_t>(height - 1 - row));
                const std::uint8_t* src = data.data() + i;
                for (std::int64_t px = x; px < end; ++px) {
                    const std::int64_t k = px - x;
                    const unsigned index =
                        nibbles ? ((k & 1) ? (src[k >> 1] & 0x0F) : (src[k >> 1] >> 4)) : src[k];
                    put(rowBytes, px, index);
                }
            }
            x += value;
            i += std::min(n - i, (bytesUsed + 1) & ~std::size_t{1});
            break;
        }
        }
    }
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeBitmapFile(std::span<const std::uint8_t> bytes) {
    const std::size_t total = bytes.size();
    if (total == 0) return std::make_shared<TBitmapImage>();
    if (total < kFileHeaderSize) ReadError();
    if (bytes[0] != 'B' || bytes[1] != 'M') NotValid();
    const std::uint32_t pixelOffset = LoadLE32(&bytes[10]);

    // Header.
    std::size_t pos = kFileHeaderSize;
    if (total - pos < 4) ReadError();
    InfoHeader h;
    h.size = LoadLE32(&bytes[pos]);
    const bool core = h.size == kCoreHeaderSize;
    if (core) {
        if (total - pos < kCoreHeaderSize) ReadError();
        const std::uint8_t* p = &bytes[pos];
        h.width = LoadLE16(p + 4);
        h.height = LoadLE16(p + 6);
        h.planes = LoadLE16(p + 8);
        h.bitCount = LoadLE16(p + 10);
        pos += kCoreHeaderSize;
    } else {
        if (!KnownInfoHeaderSize(h.size)) NotValid();
        if (total - pos < h.size) NotValid(); // the file ends inside its header
        const std::uint8_t* p = &bytes[pos];
        h.width = LoadLE32Signed(p + 4);
        h.height = LoadLE32Signed(p + 8);
        h.planes = LoadLE16(p + 12);
        h.bitCount = LoadLE16(p + 14);
        h.compression = LoadLE32(p + 16);
        h.sizeImage = LoadLE32(p + 20);
        h.xPelsPerMeter = LoadLE32Signed(p + 24);
        h.yPelsPerMeter = LoadLE32Signed(p + 28);
        h.clrUsed = LoadLE32(p + 32);
        h.clrImportant = LoadLE32(p + 36);
        if (h.size > kInfoHeaderSize && h.compression == BI_BITFIELDS) {
            h.masks[0] = LoadLE32(p + 40);
            h.masks[1] = LoadLE32(p + 44);
            h.masks[2] = LoadLE32(p + 48);
        }
        pos += h.size;
    }
    if (h.planes != 1) NotValid();

    // Channel masks after a 40-byte header.
    if (h.size == kInfoHeaderSize && (h.bitCount == 16 || h.bitCount == 32) &&
        h.compression == BI_BITFIELDS) {
        if (total - pos < 12) ReadError();
        for (int k = 0; k < 3; ++k) h.masks[k] = LoadLE32(&bytes[pos + 4 * k]);
        pos += 12;
    }

    // Colour table: the count the header gives, or the full table for 1, 4 and
    // 8 bits per pixel.
    std::uint32_t colours = h.clrUsed;
    if (colours == 0) colours = h.bitCount <= 8 && KnownBitCount(h.bitCount) ? 1u << h.bitCount : 0;
    if (colours > 256) NotValid();
    const std::size_t entrySize = core ? 3 : 4;
    if ((total - pos) / entrySize < colours) ReadError();
    std::vector<TColor> table(colours);
    for (std::uint32_t k = 0; k < colours; ++k) {
        const std::uint8_t* e = &bytes[pos + k * entrySize];
        table[k] = RGB(e[2], e[1], e[0]);
    }
    pos += colours * entrySize;

    // The pixels start where the file header says when that lies between the
    // end of the colour table and the end of the file; otherwise right after
    // the table.
    if (pixelOffset >= pos && pixelOffset < total) pos = pixelOffset;
    const std::size_t remaining = total - pos;

    // Everything about the raster is checked before anything is allocated.
    if (!KnownBitCount(h.bitCount)) NotValid();
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min())
        NotValid();
    const bool runLength = h.compression == BI_RLE8 || h.compression == BI_RLE4;
    switch (h.compression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (h.bitCount != 16 && h.bitCount != 32) NotValid();
        break;
    case BI_RLE8:
    case BI_RLE4:
        // Run-length rows always run bottom row first.
        if (h.bitCount != (h.compression == BI_RLE8 ? 8 : 4) || h.height < 0) NotValid();
        break;
    default:
        NotValid();
    }

    TRasterFormat format;
    format.Width = h.width;
    format.Height = h.height;
    std::shared_ptr<TBitmapImage> image;
    const std::int32_t absHeight = h.height < 0 ? -h.height : h.height;

    if (!runLength) {
        format.BitCount = h.bitCount;
        format.Compression = h.compression;
        format.RedMask = h.masks[0];
        format.GreenMask = h.masks[1];
        format.BlueMask = h.masks[2];
        format.ColourTable = std::move(table);
        const std::size_t rasterBytes = TBitmapImage::CheckedRasterBytes(format);
        const std::size_t stride = RowStride(h.width, h.bitCount);
        std::size_t imageSize = h.sizeImage != 0 ? h.sizeImage : rasterBytes;
        // A file that ends early gives fewer bytes; the raster never takes more
        // than it holds.
        const std::size_t n = std::min({imageSize, remaining, rasterBytes});
        const std::uint8_t* src = bytes.data() + pos;

        // Rows go in top row first; bytes the file does not supply stay 0.
        std::vector<std::uint8_t> pixels;
        try {
            pixels.reserve(rasterBytes);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        const bool topDown = h.height < 0;
        for (std::int32_t y = 0; y < absHeight; ++y) {
            const std::size_t fileRow = static_cast<std::size_t>(topDown ? y : absHeight - 1 - y);
            const std::size_t offset = fileRow * stride;
            const std::size_t supplied = offset < n ? std::min(stride, n - offset) : 0;
            pixels.insert(pixels.end(), src + offset, src + offset + supplied);
            if (supplied < stride) pixels.resize(pixels.size() + (stride - supplied));
        }
        image = TBitmapImage::Adopt(format, std::move(pixels));
    } else {
        format.BitCount = 32;
        const std::size_t imageSize =
            h.sizeImage != 0 ? h.sizeImage : RowStride(h.width, h.bitCount) * static_cast<std::size_t>(absHeight);
        const std::size_t n = std::min(imageSize, remaining);
        image = TBitmapImage::Create(format);
        DecodeRunLength(bytes.subspan(pos, n), h.compression == BI_RLE4, MakePalette(table), *image);
        try {
            image->FileCopy.assign(bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
    }

    image->XPelsPerMeter = h.xPelsPerMeter;
    image->YPelsPerMeter = h.yPelsPerMeter;
    image->ClrUsed = h.clrUsed;
    image->ClrImportant = h.clrImportant;
    image->CoreHeader = core;
    image->FileBitCount = h.bitCount;
    image->FileCompression = h.compression;
    image->HasPalette = !image->ColourTable().empty();
    return image;
}

std::shared_ptr<TBitmapImage> ReadBitmapFile(const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    return DecodeBitmapFile(bytes);
}

} // namespace tlc
