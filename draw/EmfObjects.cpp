// The enhanced metafile's objects (pens, brushes, fonts), its bitmaps and
// its regions, decoded from their records for the canvas.
#include <algorithm>
#include <string>

#include "draw/DibHeader.h"
#include "draw/EmfRecord.h"
#include "draw/GdiText.h"

namespace tlc::gdi::emf {

namespace {

constexpr std::uint32_t kBsNullStyle = 1;
// Bitmaps larger than this are not drawn (the helper's memory is limited).
constexpr std::uint64_t kMaxDibPixels = 64ull << 20;

} // namespace

Pen PenFromCreatePen(const Record& r) {
    // LOGPEN: style, width (a POINTL whose x counts), colour.
    Pen pen;
    pen.Style = r.U32(12);
    pen.Width = std::abs(double(r.I32(16)));
    pen.Colour = r.ColourRef(24);
    // A pen wider than one logical unit draws its dashes solid.
    const std::uint32_t style = pen.Style & kPsStyleMask;
    if (pen.Width > 1 && style >= kPsDash && style <= kPsDashDotDot)
        pen.Style &= ~std::uint32_t{kPsStyleMask};
    return pen;
}

Pen PenFromExtCreatePen(const Record& r) {
    // offBmi, cbBmi, offBits, cbBits at 12..27 (a pattern pen's bitmap: drawn
    // in its colour here), then LOGPEN_EX.
    Pen pen;
    pen.Style = r.U32(28);
    const std::uint32_t width = r.U32(32);
    const std::uint32_t brushStyle = r.U32(36);
    pen.Colour = r.ColourRef(40);
    const std::uint32_t entries = r.U32(48);
    // A cosmetic pen is one pixel wide whatever width it states.
    pen.Width = (pen.Style & kPsTypeMask) == kPsGeometric ? double(width) : 0.0;
    if (brushStyle == kBsNullStyle)
        pen.Style = (pen.Style & ~std::uint32_t{kPsStyleMask}) | kPsNull;
    if (entries > 0) {
        const auto styleBytes = r.Bytes(52, std::uint64_t{entries} * 4);
        if (styleBytes.empty()) return pen;
        // The system takes at most 16 entries.
        for (std::uint32_t k = 0; k < std::min<std::uint32_t>(entries, 16); ++k)
            pen.Dashes.push_back(double(LoadLE32(styleBytes.data() + 4 * k)));
    }
    return pen;
}

Brush BrushFromLogBrush(const Record& r, std::size_t at) {
    Brush brush;
    const std::uint32_t style = r.U32(at);
    brush.Colour = r.ColourRef(at + 4);
    brush.Hatch = r.U32(at + 8);
    if (style == kBsNull)
        brush.Style = kBsNull;
    else if (style == kBsHatched && brush.Hatch <= kHsDiagCross)
        brush.Style = kBsHatched;
    else
        brush.Style = kBsSolid; // a pattern style here has no pattern: its colour
    return brush;
}

Font FontFromLogFont(const Record& r, std::size_t at) {
    // LOGFONTW: height, width, escapement, orientation, weight, italic,
    // underline, strike-out, character set, precisions and quality, pitch
    // and family, then 32 UTF-16 units of face name.
    Font font;
    font.Height = r.I32(at);
    font.Width = std::abs(double(r.I32(at + 4)));
    font.Escapement = r.I32(at + 8);
    font.Orientation = r.I32(at + 12);
    font.Weight = std::clamp(r.I32(at + 16), 0, 1000);
    font.Italic = r.U8(at + 20) != 0;
    font.Underline = r.U8(at + 21) != 0;
    font.StrikeOut = r.U8(at + 22) != 0;
    font.CharSet = r.U8(at + 23);
    font.PitchAndFamily = r.U8(at + 27);
    const auto name = r.Bytes(at + 28, 64);
    for (std::size_t k = 0; k + 1 < name.size(); k += 2) {
        char32_t c = LoadLE16(name.data() + k);
        if (c == 0) break;
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD; // a face name has no use for pairs
        AppendUtf8(font.FaceName, c);
    }
    return font;
}

Brush StockBrush(std::uint32_t index, bool* found) {
    // WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH,
    // NULL_BRUSH; DC_BRUSH (18) starts white.
    static constexpr std::uint8_t kGreys[5] = {255, 192, 128, 64, 0};
    *found = true;
    Brush brush;
    if (index < 5)
        brush.Colour = {kGreys[index], kGreys[index], kGreys[index]};
    else if (index == 5)
        brush.Style = kBsNull;
    else if (index != 18)
        *found = false;
    return brush;
}

Pen StockPen(std::uint32_t index, bool* found) {
    // WHITE_PEN, BLACK_PEN, NULL_PEN; DC_PEN (19) starts black.
    *found = true;
    Pen pen;
    if (index == 6)
        pen.Colour = {255, 255, 255};
    else if (index == 8)
        pen.Style = kPsNull;
    else if (index != 7 && index != 19)
        *found = false;
    return pen;
}

Font StockFont(std::uint32_t index, bool* found) {
    // OEM_FIXED_FONT, ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT,
    // DEVICE_DEFAULT_FONT, (15 is the palette), SYSTEM_FIXED_FONT,
    // DEFAULT_GUI_FONT.
    *found = (index >= 10 && index <= 14) || index == 16 || index == 17;
    Font font;
    const bool fixed = index == 10 || index == 11 || index == 16;
    font.FaceName = fixed ? "Courier New" : index == 12 || index == 17 ? "Arial" : "System";
    font.Height = index == 12 || index == 17 ? -11 : 16;
    if (index == 13 || index == 14) font.Weight = 700;
    font.PitchAndFamily = fixed ? 1 : 2;
    return font;
}

std::shared_ptr<const Dib> DibFromRecord(const Record& r, std::uint32_t offBmi, std::uint32_t cbBmi,
                                         std::uint32_t offBits, std::uint32_t cbBits,
                                         bool paletteColours) {
    if (cbBmi == 0) return nullptr;
    const auto header = r.Bytes(offBmi, cbBmi);
    const auto bits = r.Bytes(offBits, cbBits);
    if (header.empty() || (cbBits != 0 && bits.empty())) return nullptr; // the record is damaged
    DibHeader h;
    if (!ReadDibHeader(header, h)) return nullptr;
    const std::uint32_t headerSize = h.HeaderBytes;
    const std::int64_t width = h.Width, height = h.Height;
    const std::uint32_t bitCount = h.BitCount, compression = h.Compression,
                        coloursUsed = h.ColoursUsed;
    const std::uint64_t entryBytes = h.EntryBytes;
    const std::int64_t rows = height < 0 ? -height : height;
    if (width <= 0 || rows <= 0 || std::uint64_t(width) * std::uint64_t(rows) > kMaxDibPixels)
        return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return nullptr;
    // The colour table must be inside the header part.
    std::uint64_t entries = coloursUsed;
    if (bitCount <= 8 && (entries == 0 || entries > (1u << bitCount))) entries = 1u << bitCount;
    if (bitCount > 8)
        entries =
            compression == 3 && headerSize == 40 ? 3 : std::min<std::uint64_t>(coloursUsed, 256);
    if (headerSize + entries * entryBytes > header.size()) {
        if (bitCount <= 8) return nullptr;
    }
    // Uncompressed rows must all be there.
    if (compression == 0 || compression == 3) {
        const std::uint64_t stride = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
        if (stride * std::uint64_t(rows) > bits.size()) return nullptr;
    } else if (compression != 1 && compression != 2) {
        return nullptr; // JPEG or PNG inside: not drawn
    }
    auto dib = std::make_shared<Dib>();
    dib->ColoursFromPalette = paletteColours;
    dib->Bytes.reserve(header.size() + bits.size());
    dib->Bytes.insert(dib->Bytes.end(), header.begin(), header.end());
    dib->Bytes.insert(dib->Bytes.end(), bits.begin(), bits.end());
    return dib;
}

std::int32_t DibHeight(const Dib& dib) {
    if (dib.Bytes.size() < 12) return 0;
    if (LoadLE32(dib.Bytes.data()) == 12) return LoadLE16(dib.Bytes.data() + 6);
    return LoadLE32Signed(dib.Bytes.data() + 8);
}

std::uint64_t DibPixels(const Dib& dib) {
    if (dib.Bytes.size() < 12) return 0;
    const bool core = LoadLE32(dib.Bytes.data()) == 12;
    const std::int64_t width =
        core ? LoadLE16(dib.Bytes.data() + 4) : LoadLE32Signed(dib.Bytes.data() + 4);
    const std::int64_t height = DibHeight(dib);
    return std::uint64_t(std::max<std::int64_t>(width, 0)) *
           std::uint64_t(height < 0 ? -height : height);
}

std::vector<Rect> RegionRects(const Record& r, std::size_t at, std::uint32_t cb) {
    // RGNDATAHEADER (32 bytes: size, type, count, bytes, bounds), then the
    // rectangles.
    std::vector<Rect> rects;
    if (cb == 0) return rects;
    const auto data = r.Bytes(at, cb);
    if (data.size() < 32) {
        r.MarkDamaged();
        return rects;
    }
    const std::uint32_t count = LoadLE32(data.data() + 8);
    if (count > (data.size() - 32) / 16) {
        r.MarkDamaged();
        return rects;
    }
    rects.reserve(count);
    for (std::uint32_t k = 0; k < count; ++k)
        rects.push_back(r.RectL(at + 32 + 16 * std::size_t{k}));
    return rects;
}

} // namespace tlc::gdi::emf
