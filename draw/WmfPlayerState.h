#pragma once

// The Windows metafile record player's state, shared by its two files:
// WmfPlayer.cpp (the walk, the page, attributes and objects) and
// WmfDrawRecords.cpp (what the records draw).
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/LittleEndian.h"
#include "draw/GdiCanvas.h"
#include "draw/WmfFrame.h"
#include "draw/WmfObjects.h"
#include "draw/WmfPlayer.h"

namespace tlc::wmf {

using gdi::Colour;
using gdi::Point;
using gdi::Rect;
using namespace function;

// Bounds on the work one picture may ask for.
inline constexpr std::size_t kMaxRecords = 4u << 20;
inline constexpr std::size_t kMaxObjects = 65535;
inline constexpr int kMaxSavedStates = 4096;

struct Object {
    enum Kinds { kPen, kBrush, kFont, kPalette, kRegion } Kind;
    explicit Object(Kinds kind) : Kind(kind) {}
    gdi::Pen Pen;
    gdi::Brush Brush;
    gdi::Font Font;
    std::vector<Colour> Palette;
    std::vector<Rect> Region;
};

class Player {
public:
    Player(std::span<const std::uint8_t> data, const WindowsMetafileFrame& frame, int width,
           int height)
        : data_(data), frame_(frame), width_(width), height_(height), canvas_(width, height) {}

    bool Play(std::vector<std::uint8_t>& rgb) {
        if (data_.size() < 18) throw Damaged{};
        const std::size_t start = std::size_t{LoadLE16(data_.data() + 2)} * 2;
        if (start < 18 || start > data_.size()) throw Damaged{};
        objects_.resize(std::min<std::size_t>(LoadLE16(data_.data() + 10), kMaxObjects));
        if (!wmf::SetUpPage(data_, start, frame_, width_, height_, canvas_)) return false;
        std::size_t records = 0;
        for (std::size_t pos = start; data_.size() - pos >= 6;) {
            const std::uint32_t words = LoadLE32(data_.data() + pos);
            if (words < 3 || words > (data_.size() - pos) / 2 || ++records > kMaxRecords)
                throw Damaged{};
            const std::uint16_t kind = LoadLE16(data_.data() + pos + 4);
            if (kind == kEof) break;
            Record(kind, Params(data_.data() + pos + 6, std::size_t{words} * 2 - 6), words);
            pos += std::size_t{words} * 2;
        }
        return canvas_.Finish(rgb);
    }

private:
    // An object takes the lowest free index, as in the device context's table.
    void AddObject(Object object) {
        while (firstFree_ < objects_.size() && objects_[firstFree_])
            ++firstFree_;
        if (firstFree_ < objects_.size())
            objects_[firstFree_] = std::make_unique<Object>(std::move(object));
        else if (objects_.size() < kMaxObjects)
            objects_.push_back(std::make_unique<Object>(std::move(object)));
    }

    const Object* Find(std::uint16_t index) const {
        return index < objects_.size() ? objects_[index].get() : nullptr;
    }

    static Point At(const Params& p, std::size_t yWord) {
        return {static_cast<double>(p.S(yWord + 1)), static_cast<double>(p.S(yWord))};
    }
    // Four words bottom, right, top, left (the order the records keep).
    static Rect Bounds(const Params& p, std::size_t word) {
        return {static_cast<double>(p.S(word + 3)), static_cast<double>(p.S(word + 2)),
                static_cast<double>(p.S(word + 1)), static_cast<double>(p.S(word))};
    }

    // count points of x, y words from word on.
    std::span<const Point> Points(const Params& p, std::size_t word, std::size_t count) {
        if (!p.Has(word + 2 * count)) throw Damaged{};
        points_.resize(count);
        for (std::size_t k = 0; k < count; ++k)
            points_[k] = {static_cast<double>(p.S(word + 2 * k)),
                          static_cast<double>(p.S(word + 2 * k + 1))};
        return points_;
    }

    void Text(Point at, std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> rest,
              std::uint32_t options, const Rect* rect) {
        dx_.clear();
        if (rest.size() / 2 >= bytes.size()) {
            for (std::size_t k = 0; k < bytes.size(); ++k)
                dx_.push_back(LoadLE16Signed(rest.data() + 2 * k));
        }
        canvas_.TextOut8(at, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, dx_,
                         options & ~gdi::kEtoPdy, rect);
    }

    void Blit(const Rect& dest, Rect source, const gdi::Dib* dib, std::uint32_t rop) {
        canvas_.StretchDib(dest, source, dib, rop);
    }

    // A DIB's width and rows.
    static Point DibSize(const gdi::Dib& dib) {
        const std::uint8_t* b = dib.Bytes.data();
        if (LoadLE32(b) == 12)
            return {static_cast<double>(LoadLE16(b + 4)), static_cast<double>(LoadLE16(b + 6))};
        return {static_cast<double>(LoadLE32Signed(b + 4)),
                std::abs(static_cast<double>(LoadLE32Signed(b + 8)))};
    }

    // The records without a source size give the destination's numbers for
    // it, in the bitmap's pixels; a writer recording in scaled units gives
    // numbers past the bitmap's edge, which mean all of it, not its corner.
    static Point Unstretched(const gdi::Dib& dib, double x, double y, double w, double h) {
        const Point size = DibSize(dib);
        return {w > 0 && x >= 0 && x < size.X ? std::min(w, size.X - x) : w,
                h > 0 && y >= 0 && y < size.Y ? std::min(h, size.Y - y) : h};
    }

    // A DIB's rows count from the bottom for the DIB records' source origin.
    static Rect FromBottom(const gdi::Dib& dib, double x, double y, double w, double h) {
        const std::int32_t height = LoadLE32Signed(dib.Bytes.data() + 8);
        const bool core = LoadLE32(dib.Bytes.data()) == 12;
        const double rows = core ? LoadLE16(dib.Bytes.data() + 6) : height;
        if (rows > 0) y = rows - y - h;
        return {x, y, x + w, y + h};
    }

    void Record(std::uint16_t f, const Params& p, std::uint32_t words);
    void Draw(std::uint16_t f, const Params& p, std::uint32_t words);
    void Palette(std::uint16_t f, const Params& p);

    std::span<const std::uint8_t> data_;
    WindowsMetafileFrame frame_;
    int width_, height_;
    gdi::Canvas canvas_;
    std::vector<std::unique_ptr<Object>> objects_;
    std::size_t firstFree_ = 0; // no free index below it
    const Object* palette_ = nullptr;
    int saved_ = 0;
    std::vector<Point> points_;
    std::vector<double> dx_;
};

} // namespace tlc::wmf
