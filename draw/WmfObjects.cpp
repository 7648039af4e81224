#include "draw/WmfObjects.h"

#include <algorithm>

#include "base/LittleEndian.h"
#include "draw/DibHeader.h"
#include "draw/GdiText.h"

namespace tlc::wmf {

namespace {

// Larger than any logo or screen needs; a damaged size stops here.
constexpr std::int64_t kMaxDibPixels = 64ll << 20;

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4,
                        kBiPng = 5;

std::int64_t RowBytes(std::int64_t width, std::int64_t bits) {
    return (width * bits + 31) / 32 * 4;
}

} // namespace

std::shared_ptr<gdi::Dib> CheckedDib(std::span<const std::uint8_t> bytes, bool paletteColours) {
    gdi::DibHeader h;
    if (!gdi::ReadDibHeader(bytes, h)) throw Damaged{};
    const std::uint32_t headerSize = h.HeaderBytes;
    const std::int64_t width = h.Width, height = h.Height, bits = h.BitCount,
                       imageBytes = h.ImageBytes;
    const std::uint32_t compression = h.Compression;
    std::int64_t colours = h.ColoursUsed, entryBytes = h.EntryBytes;
    const std::int64_t masks = compression == kBiBitfields && headerSize == 40 ? 12 : 0;
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows == 0 || width > kMaxDibPixels || rows > kMaxDibPixels ||
        width * rows > kMaxDibPixels)
        throw Damaged{};
    if (compression == kBiJpeg || compression == kBiPng) { // left out, when it fits
        if (imageBytes == 0 ||
            headerSize + std::int64_t{imageBytes} > static_cast<std::int64_t>(bytes.size()))
            throw Damaged{};
        return nullptr;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw Damaged{};
    if (colours > 65536) throw Damaged{};
    if (colours == 0 && bits <= 8) colours = std::int64_t{1} << bits;
    if (paletteColours) entryBytes = 2;
    std::int64_t pixelBytes = 0;
    if (compression == kBiRgb || compression == kBiBitfields) {
        pixelBytes = RowBytes(width, bits) * rows;
    } else if (compression == kBiRle8 || compression == kBiRle4) {
        if (imageBytes == 0) throw Damaged{};
        pixelBytes = imageBytes;
    } else {
        throw Damaged{};
    }
    std::int64_t total = std::int64_t{headerSize} + masks + colours * entryBytes + pixelBytes;
    const auto size = static_cast<std::int64_t>(bytes.size());
    // A writer of public samples leaves the count of colours 0 with a
    // shorter table than the depth's: the table is what lies before the bits.
    std::int64_t shortTable = -1;
    if (total > size && bits <= 8 && headerSize >= 40 && LoadLE32(bytes.data() + 32) == 0 &&
        size - headerSize - pixelBytes >= entryBytes) {
        shortTable = (size - headerSize - pixelBytes) / entryBytes;
        total = headerSize + shortTable * entryBytes + pixelBytes;
    }
    if (total > size) throw Damaged{};
    auto dib = std::make_shared<gdi::Dib>();
    dib->Bytes.assign(bytes.begin(), bytes.begin() + total);
    if (shortTable >= 0) StoreLE32(dib->Bytes.data() + 32, static_cast<std::uint32_t>(shortTable));
    dib->ColoursFromPalette = paletteColours;
    return dib;
}

std::shared_ptr<gdi::Dib> DibFromBitmap16(Params header, std::span<const std::uint8_t> bits) {
    if (!header.Has(5)) throw Damaged{};
    const std::int64_t width = header.S(1), height = header.S(2), widthBytes = header.S(3);
    const std::uint8_t planes = header.From(8)[0], depth = header.From(8)[1];
    if (width <= 0 || height <= 0 || widthBytes <= 0 || width * height > kMaxDibPixels)
        throw Damaged{};
    if (planes != 1 || (depth != 1 && depth != 24 && depth != 32)) return nullptr;
    // Some writers keep fewer rows than the header says (a sample from a
    // public test suite): the bitmap is left out, nothing read past its end.
    if (widthBytes < (width * depth + 7) / 8 ||
        widthBytes * height > static_cast<std::int64_t>(bits.size()))
        return nullptr;
    const std::int64_t stride = RowBytes(width, depth);
    const std::size_t table = depth == 1 ? 8 : 0;
    auto dib = std::make_shared<gdi::Dib>();
    auto& out = dib->Bytes;
    out.assign(40 + table + static_cast<std::size_t>(stride * height), 0);
    StoreLE32(out.data(), 40);
    StoreLE32(out.data() + 4, static_cast<std::uint32_t>(width));
    StoreLE32(out.data() + 8, static_cast<std::uint32_t>(height));
    StoreLE16(out.data() + 12, 1);
    StoreLE16(out.data() + 14, depth);
    if (depth == 1) std::fill(out.begin() + 44, out.begin() + 47, 0xFF); // 0 black, 1 white
    const std::size_t copy = static_cast<std::size_t>(std::min(widthBytes, stride));
    for (std::int64_t y = 0; y < height; ++y) { // device bitmaps run top down, DIBs bottom up
        const auto* from = bits.data() + y * widthBytes;
        std::copy(from, from + copy, out.begin() + 40 + table + (height - 1 - y) * stride);
    }
    return dib;
}

bool StartsWithDib(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return false;
    const std::uint32_t size = LoadLE32(bytes.data());
    return size == 12 || (size >= 40 && size <= 124);
}

std::vector<gdi::Rect> RegionRects(Params p) {
    // nextInChain, type, object count, size, scan count, max scan, bounds (4 words);
    // a record too short for them (one writer's) holds an empty region.
    std::vector<gdi::Rect> rects;
    if (!p.Has(10)) return rects;
    const std::size_t scans = p.U(4);
    std::size_t word = 10;
    for (std::size_t k = 0; k < scans; ++k) {
        if (!p.Has(word + 3)) throw Damaged{};
        const std::size_t count = p.U(word);
        const double top = p.S(word + 1), bottom = p.S(word + 2);
        if (count % 2 != 0 || !p.Has(word + 3 + count + 1)) throw Damaged{};
        for (std::size_t x = 0; x < count; x += 2)
            rects.push_back({static_cast<double>(p.S(word + 3 + x)), top,
                             static_cast<double>(p.S(word + 4 + x)), bottom});
        word += 3 + count + 1;
    }
    return rects;
}

gdi::Font FontFromRecord(Params p) {
    gdi::Font font;
    if (!p.Has(5)) return font;
    font.Height = p.S(0);
    font.Width = p.S(1);
    font.Escapement = p.S(2);
    font.Orientation = p.S(3);
    font.Weight = p.S(4);
    const auto rest = p.From(10);
    if (rest.size() < 8) return font;
    font.Italic = rest[0] != 0;
    font.Underline = rest[1] != 0;
    font.StrikeOut = rest[2] != 0;
    font.CharSet = rest[3];
    font.PitchAndFamily = rest[7];
    for (std::size_t k = 8; k < rest.size() && k < 8 + 32 && rest[k] != 0; ++k)
        gdi::AppendUtf8(font.FaceName, rest[k]); // Latin-1: face names are nearly always ASCII
    return font;
}

} // namespace tlc::wmf
