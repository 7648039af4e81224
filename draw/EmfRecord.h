#pragma once

// One enhanced-metafile record as the player reads it. Every field goes
// through the checked readers here: a read past the record's end gives 0
// and marks the record damaged, and the player refuses a picture with a
// damaged record, so no decoder can read outside the record it was given.
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/LittleEndian.h"
#include "draw/GdiCanvas.h"

namespace tlc::gdi::emf {

class Record {
public:
    Record(std::uint32_t type, std::span<const std::uint8_t> bytes) : type_(type), bytes_(bytes) {}

    std::uint32_t Type() const { return type_; }
    std::size_t Size() const { return bytes_.size(); }
    bool Damaged() const { return damaged_; }
    void MarkDamaged() const { damaged_ = true; }

    bool Fits(std::uint64_t at, std::uint64_t length) const {
        return at <= bytes_.size() && length <= bytes_.size() - at;
    }
    // length bytes at `at`; empty, and the record damaged, when they do not fit.
    std::span<const std::uint8_t> Bytes(std::uint64_t at, std::uint64_t length) const {
        if (!Fits(at, length)) {
            damaged_ = true;
            return {};
        }
        return bytes_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
    }
    std::uint32_t U32(std::size_t at) const {
        const auto b = Bytes(at, 4);
        return b.empty() ? 0 : LoadLE32(b.data());
    }
    std::int32_t I32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    std::uint16_t U16(std::size_t at) const {
        const auto b = Bytes(at, 2);
        return b.empty() ? 0 : LoadLE16(b.data());
    }
    std::int16_t I16(std::size_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint8_t U8(std::size_t at) const {
        const auto b = Bytes(at, 1);
        return b.empty() ? 0 : b[0];
    }
    // A 32-bit float; NaN and infinities come back as 0 with Finite() false.
    double F32(std::size_t at, bool* finite = nullptr) const {
        const std::uint32_t bits = U32(at);
        const float f = std::bit_cast<float>(bits);
        const bool ok = std::isfinite(f);
        if (finite) *finite = ok;
        return ok ? static_cast<double>(f) : 0.0;
    }
    Point PointL(std::size_t at) const { return {double(I32(at)), double(I32(at + 4))}; }
    Point PointS(std::size_t at) const { return {double(I16(at)), double(I16(at + 2))}; }
    Rect RectL(std::size_t at) const {
        return {double(I32(at)), double(I32(at + 4)), double(I32(at + 8)), double(I32(at + 12))};
    }
    Colour ColourRef(std::size_t at) const { return {U8(at), U8(at + 1), U8(at + 2)}; }
    // count points of 32-bit (or, shortForm, 16-bit) coordinates; none, and
    // the record damaged, when they do not fit.
    std::vector<Point> Points(std::size_t at, std::uint64_t count, bool shortForm) const {
        const std::uint64_t each = shortForm ? 4 : 8;
        std::vector<Point> points;
        if (count > Size() / each || !Fits(at, count * each)) {
            damaged_ = true;
            return points;
        }
        points.reserve(static_cast<std::size_t>(count));
        for (std::size_t k = 0; k < count; ++k)
            points.push_back(shortForm ? PointS(at + k * each) : PointL(at + k * each));
        return points;
    }

private:
    std::uint32_t type_;
    std::span<const std::uint8_t> bytes_;
    mutable bool damaged_ = false;
};

// Decoders of the records that carry objects, regions and bitmaps
// (draw/EmfObjects.cpp).
Pen PenFromCreatePen(const Record& r);    // EMR_CREATEPEN
Pen PenFromExtCreatePen(const Record& r); // EMR_EXTCREATEPEN
Brush BrushFromLogBrush(const Record& r, std::size_t at);
Font FontFromLogFont(const Record& r, std::size_t at);
Brush StockBrush(std::uint32_t index, bool* found);
Pen StockPen(std::uint32_t index, bool* found);
Font StockFont(std::uint32_t index, bool* found);
// The packed bitmap that a record's offset and size fields (at offBmiAt:
// offBmi, cbBmi, offBits, cbBits in that order, or bitsGap bytes apart) point
// to; null when the record has none or it is not one we can draw (the
// record is marked damaged when the fields point outside it).
std::shared_ptr<const Dib> DibFromRecord(const Record& r, std::uint32_t offBmi, std::uint32_t cbBmi,
                                         std::uint32_t offBits, std::uint32_t cbBits, bool paletteColours);
// The bitmap's height in its header (negative: top row first); 0 when none.
std::int32_t DibHeight(const Dib& dib);
// Its width times its height.
std::uint64_t DibPixels(const Dib& dib);
// The rectangles of an RGNDATA of cb bytes at `at`.
std::vector<Rect> RegionRects(const Record& r, std::size_t at, std::uint32_t cb);

// The text records (EMR_EXTTEXTOUTA/W, EMR_POLYTEXTOUTA/W, EMR_SMALLTEXTOUT)
// and the bitmap and gradient records, drawn onto the canvas
// (draw/EmfDrawing.cpp).
void PlayText(const Record& r, Canvas& canvas);
// pixelsLeft: the bitmap pixels the file may still have drawn; a bitmap
// past it is left out.
void PlayBitmap(const Record& r, Canvas& canvas, std::uint64_t& pixelsLeft);
// Each rectangle of a gradient is filled in strips, each triangle at once;
// fillsLeft counts them down, and the fill stops where it runs out.
void PlayGradientFill(const Record& r, Canvas& canvas, std::uint64_t& fillsLeft);

} // namespace tlc::gdi::emf
