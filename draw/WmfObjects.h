#pragma once

// Reading a Windows metafile record's parameters and the objects, bitmaps
// and regions inside them, every size checked against the record.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "draw/GdiCanvas.h"

namespace tlc::wmf {

// The record kinds played.
namespace function {
enum Function : std::uint16_t {
    kEof = 0x0000, kRealizePalette = 0x0035, kSetPalEntries = 0x0037, kSetBkMode = 0x0102,
    kSetMapMode = 0x0103, kSetRop2 = 0x0104, kSetPolyFillMode = 0x0106, kSetTextCharExtra = 0x0108,
    kSaveDc = 0x001E, kRestoreDc = 0x0127, kInvertRegion = 0x012A, kPaintRegion = 0x012B,
    kSelectClipRegion = 0x012C, kSelectObject = 0x012D, kSetTextAlign = 0x012E, kResizePalette = 0x0139,
    kDibCreatePatternBrush = 0x0142, kDeleteObject = 0x01F0, kCreatePatternBrush = 0x01F9,
    kSetBkColor = 0x0201, kSetTextColor = 0x0209, kSetTextJustification = 0x020A, kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C, kSetViewportOrg = 0x020D, kSetViewportExt = 0x020E, kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211, kLineTo = 0x0213, kMoveTo = 0x0214, kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228, kSelectPalette = 0x0234, kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB, kCreateBrushIndirect = 0x02FC, kCreatePalette = 0x00F7,
    kPolygon = 0x0324, kPolyline = 0x0325, kScaleWindowExt = 0x0410, kScaleViewportExt = 0x0412,
    kExcludeClipRect = 0x0415, kIntersectClipRect = 0x0416, kEllipse = 0x0418, kRectangle = 0x041B,
    kSetPixel = 0x041F, kFrameRegion = 0x0429, kAnimatePalette = 0x0436, kTextOut = 0x0521,
    kPolyPolygon = 0x0538, kRoundRect = 0x061C, kPatBlt = 0x061D, kCreateRegion = 0x06FF, kArc = 0x0817,
    kPie = 0x081A, kChord = 0x0830, kBitBlt = 0x0922, kDibBitBlt = 0x0940, kExtTextOut = 0x0A32,
    kStretchBlt = 0x0B23, kDibStretchBlt = 0x0B41, kSetDibToDev = 0x0D33, kStretchDib = 0x0F43,
};
} // namespace function

// Thrown when a record's inner counts or sizes do not fit it: the picture
// is refused whole.
struct Damaged {};

// One record's parameters, little-endian 16-bit words.
class Params {
public:
    Params(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t Bytes() const { return n_; }
    bool Has(std::size_t words) const { return n_ / 2 >= words; }
    std::int16_t S(std::size_t word) const { return static_cast<std::int16_t>(U(word)); }
    double D(std::size_t word) const { return S(word); }
    std::uint16_t U(std::size_t word) const {
        return static_cast<std::uint16_t>(p_[2 * word] | (p_[2 * word + 1] << 8));
    }
    std::uint32_t U32(std::size_t word) const { return U(word) | (std::uint32_t{U(word + 1)} << 16); }
    gdi::Colour Colour(std::size_t word) const { return {p_[2 * word], p_[2 * word + 1], p_[2 * word + 2]}; }
    // The bytes from offset on (empty past the end).
    std::span<const std::uint8_t> From(std::size_t offset) const {
        return offset <= n_ ? std::span<const std::uint8_t>(p_ + offset, n_ - offset)
                            : std::span<const std::uint8_t>();
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

// The packed DIB at the start of bytes, cut to its own length; null for a
// JPEG or PNG inside one (not drawn). Throws
// Damaged when its header, colour table or bits do not fit in bytes or it
// is larger than any picture needs.
std::shared_ptr<gdi::Dib> CheckedDib(std::span<const std::uint8_t> bytes, bool paletteColours);

// A device-dependent bitmap (the 10-byte header, then bits rows of
// widthBytes, top row first) as a packed DIB; null for the depths that need
// a device palette and for bits cut short. Throws Damaged on sizes no
// bitmap has.
std::shared_ptr<gdi::Dib> DibFromBitmap16(Params header, std::span<const std::uint8_t> bits);

// A region object's scans as rectangles.
std::vector<gdi::Rect> RegionRects(Params p);

// Whether bytes start with a DIB's header rather than a device bitmap's.
bool StartsWithDib(std::span<const std::uint8_t> bytes);

// A logical font record (a short one gives what it holds).
gdi::Font FontFromRecord(Params p);

} // namespace tlc::wmf
