#include "draw/WmfPlayer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "base/LittleEndian.h"
#include "draw/GdiCanvas.h"
#include "draw/WmfFrame.h"
#include "draw/WmfObjects.h"

namespace tlc {

namespace {

using gdi::Colour;
using gdi::Point;
using gdi::Rect;
using wmf::Damaged;
using wmf::Params;
using namespace wmf::function;

// Bounds on the work one picture may ask for.
constexpr std::size_t kMaxRecords = 4u << 20;
constexpr std::size_t kMaxObjects = 65535;
constexpr int kMaxSavedStates = 4096;


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
    Player(std::span<const std::uint8_t> data, const WindowsMetafileFrame& frame, int width, int height)
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
            if (words < 3 || words > (data_.size() - pos) / 2 || ++records > kMaxRecords) throw Damaged{};
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
        while (firstFree_ < objects_.size() && objects_[firstFree_]) ++firstFree_;
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
            points_[k] = {static_cast<double>(p.S(word + 2 * k)), static_cast<double>(p.S(word + 2 * k + 1))};
        return points_;
    }

    void Text(Point at, std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> rest,
              std::uint32_t options, const Rect* rect) {
        dx_.clear();
        if (rest.size() / 2 >= bytes.size()) {
            for (std::size_t k = 0; k < bytes.size(); ++k) dx_.push_back(LoadLE16Signed(rest.data() + 2 * k));
        }
        canvas_.TextOut8(at, {reinterpret_cast<const char*>(bytes.data()), bytes.size()}, dx_, options & ~gdi::kEtoPdy,
                         rect);
    }

    void Blit(const Rect& dest, Rect source, const gdi::Dib* dib, std::uint32_t rop) {
        canvas_.StretchDib(dest, source, dib, rop);
    }

    // A DIB's width and rows.
    static Point DibSize(const gdi::Dib& dib) {
        const std::uint8_t* b = dib.Bytes.data();
        if (LoadLE32(b) == 12) return {static_cast<double>(LoadLE16(b + 4)), static_cast<double>(LoadLE16(b + 6))};
        return {static_cast<double>(LoadLE32Signed(b + 4)), std::abs(static_cast<double>(LoadLE32Signed(b + 8)))};
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

void Player::Palette(std::uint16_t f, const Params& p) {
    if (f == kSelectPalette) {
        if (!p.Has(1)) return;
        const Object* o = Find(p.U(0));
        if (o && o->Kind == Object::kPalette) {
            palette_ = o;
            canvas_.SetPalette(o->Palette);
        }
        return;
    }
    // Changes to the selected palette.
    if (!palette_ || !p.Has(1)) return;
    auto* palette = const_cast<Object*>(palette_);
    if (f == kResizePalette) {
        palette->Palette.resize(std::min<std::size_t>(p.U(0), 1024));
    } else if (p.Has(2)) { // SetPalEntries, AnimatePalette: start, count, entries
        const std::size_t from = p.U(0), count = p.U(1);
        if (!p.Has(2 + 2 * count)) throw Damaged{};
        for (std::size_t k = 0; k < count && from + k < palette->Palette.size(); ++k)
            palette->Palette[from + k] = p.Colour(2 + 2 * k);
    }
    canvas_.SetPalette(palette->Palette);
}

void Player::Record(std::uint16_t f, const Params& p, std::uint32_t words) {
    switch (f) {
    // Page.
    case kSetMapMode: if (p.Has(1)) canvas_.SetMapMode(p.S(0)); return;
    case kSetWindowOrg: if (p.Has(2)) canvas_.SetWindowOrg(At(p, 0)); return;
    case kSetViewportOrg: if (p.Has(2)) canvas_.SetViewportOrg(At(p, 0)); return;
    case kSetWindowExt:
        if (p.Has(2) && p.S(0) != 0 && p.S(1) != 0) canvas_.SetWindowExt(p.S(1), p.S(0));
        return;
    case kSetViewportExt:
        if (p.Has(2) && p.S(0) != 0 && p.S(1) != 0) canvas_.SetViewportExt(p.S(1), p.S(0));
        return;
    case kOffsetWindowOrg: if (p.Has(2)) canvas_.OffsetWindowOrg(p.S(1), p.S(0)); return;
    case kOffsetViewportOrg: if (p.Has(2)) canvas_.OffsetViewportOrg(p.S(1), p.S(0)); return;
    case kScaleWindowExt:
    case kScaleViewportExt:
        // yDenom, yNum, xDenom, xNum
        if (!p.Has(4) || p.S(0) == 0 || p.S(1) == 0 || p.S(2) == 0 || p.S(3) == 0) return;
        if (f == kScaleWindowExt)
            canvas_.ScaleWindowExt(p.S(3), p.S(2), p.S(1), p.S(0));
        else
            canvas_.ScaleViewportExt(p.S(3), p.S(2), p.S(1), p.S(0));
        return;

    // Attributes.
    case kSetBkMode: if (p.Has(1)) canvas_.SetBkMode(p.S(0)); return;
    case kSetRop2: if (p.Has(1)) canvas_.SetRop2(p.S(0)); return;
    case kSetPolyFillMode: if (p.Has(1)) canvas_.SetPolyFillMode(p.S(0)); return;
    case kSetTextCharExtra: if (p.Has(1)) canvas_.SetTextCharacterExtra(p.S(0)); return;
    case kSetTextAlign: if (p.Has(1)) canvas_.SetTextAlign(p.U(0)); return;
    case kSetBkColor: if (p.Has(2)) canvas_.SetBkColour(p.Colour(0)); return;
    case kSetTextColor: if (p.Has(2)) canvas_.SetTextColour(p.Colour(0)); return;
    case kSetTextJustification: if (p.Has(2)) canvas_.SetTextJustification(p.S(1), p.U(0)); return;
    case kSaveDc:
        if (saved_ < kMaxSavedStates) canvas_.Save();
        ++saved_;
        return;
    case kRestoreDc: {
        if (!p.Has(1)) return;
        const int n = p.S(0);
        const int level = n < 0 ? saved_ + n : n - 1; // how many stay saved
        if (level < 0 || level >= saved_) return;
        if (level < kMaxSavedStates) canvas_.Restore(level - std::min(saved_, kMaxSavedStates));
        saved_ = level;
        return;
    }

    // Objects.
    case kCreatePenIndirect: {
        Object o(Object::kPen);
        if (p.Has(5)) {
            o.Pen.Style = p.U(0);
            o.Pen.Width = std::abs(p.S(1));
            o.Pen.Colour = p.Colour(3);
        }
        AddObject(std::move(o));
        return;
    }
    case kCreateBrushIndirect: {
        Object o(Object::kBrush);
        if (p.Has(4)) {
            o.Brush.Style = p.U(0);
            o.Brush.Colour = p.Colour(1);
            o.Brush.Hatch = p.U(3);
            // A pattern needs a bitmap this record cannot carry.
            if (o.Brush.Style != gdi::kBsNull && o.Brush.Style != gdi::kBsHatched) o.Brush.Style = gdi::kBsSolid;
        }
        AddObject(std::move(o));
        return;
    }
    case kDibCreatePatternBrush: {
        Object o(Object::kBrush);
        if (!p.Has(2)) throw Damaged{};
        // Style 3 (a pattern) carries a device bitmap or, from some writers, a DIB.
        if (p.U(0) == gdi::kBsPattern && !wmf::StartsWithDib(p.From(4))) {
            const Params header(p.From(4).data(), p.From(4).size());
            o.Brush.Pattern = wmf::DibFromBitmap16(header, header.From(10));
        } else {
            o.Brush.Pattern = wmf::CheckedDib(p.From(4), p.U(1) == 1);
        }
        o.Brush.Style = o.Brush.Pattern ? gdi::kBsDibPattern : gdi::kBsSolid;
        o.Brush.Colour = {0, 0, 0};
        AddObject(std::move(o));
        return;
    }
    case kCreatePatternBrush: {
        Object o(Object::kBrush);
        if (!p.Has(7)) throw Damaged{};
        // The device bitmap's header (its bits pointer and 18 bytes unused follow), then the bits.
        o.Brush.Pattern = wmf::DibFromBitmap16(p, p.From(32));
        o.Brush.Style = o.Brush.Pattern ? gdi::kBsDibPattern : gdi::kBsSolid;
        o.Brush.Colour = {0, 0, 0};
        AddObject(std::move(o));
        return;
    }
    case kCreateFontIndirect: {
        Object o(Object::kFont);
        o.Font = wmf::FontFromRecord(p);
        AddObject(std::move(o));
        return;
    }
    case kCreatePalette: {
        Object o(Object::kPalette);
        if (p.Has(2)) {
            const std::size_t count = p.U(1);
            if (!p.Has(2 + 2 * count)) throw Damaged{};
            for (std::size_t k = 0; k < count; ++k) o.Palette.push_back(p.Colour(2 + 2 * k));
        }
        AddObject(std::move(o));
        return;
    }
    case kCreateRegion: {
        Object o(Object::kRegion);
        o.Region = wmf::RegionRects(p);
        AddObject(std::move(o));
        return;
    }
    case kSelectObject:
    case kSelectClipRegion: {
        if (!p.Has(1)) return;
        const Object* o = Find(p.U(0));
        if (!o) {
            if (f == kSelectClipRegion) canvas_.SelectClipRegion({}, gdi::kRgnCopy);
            return;
        }
        switch (o->Kind) {
        case Object::kPen: canvas_.SelectPen(o->Pen); break;
        case Object::kBrush: canvas_.SelectBrush(o->Brush); break;
        case Object::kFont: canvas_.SelectFont(o->Font); break;
        case Object::kRegion: canvas_.SelectClipRegion(o->Region, gdi::kRgnCopy); break;
        case Object::kPalette: break;
        }
        return;
    }
    case kDeleteObject:
        if (p.Has(1) && p.U(0) < objects_.size()) {
            if (objects_[p.U(0)].get() == palette_) palette_ = nullptr;
            objects_[p.U(0)].reset();
            firstFree_ = std::min<std::size_t>(firstFree_, p.U(0));
        }
        return;
    case kSelectPalette: case kResizePalette: case kSetPalEntries: case kAnimatePalette:
        Palette(f, p);
        return;

    // Lines and shapes.
    case kMoveTo: if (p.Has(2)) canvas_.MoveTo(At(p, 0)); return;
    case kLineTo: if (p.Has(2)) canvas_.LineTo(At(p, 0)); return;
    case kPolygon:
    case kPolyline: {
        if (!p.Has(1)) return;
        const auto points = Points(p, 1, p.U(0));
        if (f == kPolygon)
            canvas_.Polygon(points);
        else
            canvas_.Polyline(points);
        return;
    }
    case kPolyPolygon: {
        if (!p.Has(1)) return;
        const std::size_t polygons = p.U(0);
        if (!p.Has(1 + polygons)) throw Damaged{};
        std::vector<std::uint32_t> counts(polygons);
        std::size_t total = 0;
        for (std::size_t k = 0; k < polygons; ++k) total += counts[k] = p.U(1 + k);
        canvas_.PolyPolygon(Points(p, 1 + polygons, total), counts);
        return;
    }
    case kRectangle: if (p.Has(4)) canvas_.Rectangle(Bounds(p, 0)); return;
    case kEllipse: if (p.Has(4)) canvas_.Ellipse(Bounds(p, 0)); return;
    case kRoundRect: if (p.Has(6)) canvas_.RoundRect(Bounds(p, 2), p.S(1), p.S(0)); return;
    case kArc:
    case kPie:
    case kChord: {
        if (!p.Has(8)) return;
        const Rect r = Bounds(p, 4);
        const Point end = At(p, 0), start = At(p, 2);
        if (f == kArc) canvas_.Arc(r, start, end);
        else if (f == kPie) canvas_.Pie(r, start, end);
        else canvas_.Chord(r, start, end);
        return;
    }
    case kSetPixel: if (p.Has(4)) canvas_.SetPixel(At(p, 2), p.Colour(0)); return;

    // Regions and clipping.
    case kFillRegion:
    case kFrameRegion: {
        if (!p.Has(f == kFillRegion ? 2 : 4)) return;
        const Object* region = Find(p.U(0));
        const Object* brush = Find(p.U(1));
        if (!region || region->Kind != Object::kRegion || !brush || brush->Kind != Object::kBrush) return;
        if (f == kFillRegion)
            canvas_.FillRegion(region->Region, brush->Brush);
        else
            canvas_.FrameRegion(region->Region, brush->Brush, p.S(3), p.S(2));
        return;
    }
    case kPaintRegion:
    case kInvertRegion: {
        if (!p.Has(1)) return;
        const Object* region = Find(p.U(0));
        if (!region || region->Kind != Object::kRegion) return;
        if (f == kPaintRegion)
            canvas_.PaintRegion(region->Region);
        else
            canvas_.InvertRegion(region->Region);
        return;
    }
    case kIntersectClipRect: if (p.Has(4)) canvas_.IntersectClipRect(Bounds(p, 0)); return;
    case kExcludeClipRect: if (p.Has(4)) canvas_.ExcludeClipRect(Bounds(p, 0)); return;
    case kOffsetClipRgn: if (p.Has(2)) canvas_.OffsetClip(p.S(1), p.S(0)); return;

    // Text.
    case kTextOut: {
        if (!p.Has(1)) return;
        const std::size_t length = p.U(0), padded = (length + 1) / 2;
        if (!p.Has(1 + padded + 2)) throw Damaged{};
        canvas_.TextOut8(At(p, 1 + padded), {reinterpret_cast<const char*>(p.From(2).data()), length}, {}, 0,
                         nullptr);
        return;
    }
    case kExtTextOut: {
        if (!p.Has(4)) return;
        const std::size_t length = p.U(2);
        const std::uint32_t options = p.U(3);
        const bool hasRect = (options & (gdi::kEtoOpaque | gdi::kEtoClipped)) != 0;
        const std::size_t textAt = hasRect ? 16 : 8;
        Rect rect;
        if (hasRect) {
            if (!p.Has(8)) throw Damaged{};
            rect = {p.D(4), p.D(5), p.D(6), p.D(7)};
        }
        const auto text = p.From(textAt);
        if (text.size() < length) throw Damaged{};
        Text(At(p, 0), text.first(length), p.From(textAt + (length + 1) / 2 * 2), options,
             hasRect ? &rect : nullptr);
        return;
    }

    // Bitmaps.
    case kPatBlt:
        if (p.Has(6)) {
            const double x = p.S(5), y = p.S(4);
            Blit({x, y, x + p.S(3), y + p.S(2)}, {}, nullptr, p.U32(0));
        }
        return;
    case kBitBlt:
    case kDibBitBlt:
    case kStretchBlt:
    case kDibStretchBlt: {
        const bool stretch = f == kStretchBlt || f == kDibStretchBlt;
        // Without a bitmap the record has one word more than its function's
        // high byte says, unused.
        const bool noBitmap = words == (f >> 8) + 3u;
        const std::size_t fixed = stretch ? 10 : 8; // rop (2 words), then the coordinates
        if (!p.Has(fixed + (noBitmap ? 1 : 0))) throw Damaged{};
        const std::size_t at = noBitmap && !stretch ? 1 : 0; // the unused word before the destination
        double srcW = 0, srcH = 0;
        std::size_t d = 2; // the first of the destination's words
        const double ySrc = p.S(stretch ? 4 : 2), xSrc = p.S(stretch ? 5 : 3);
        if (stretch) {
            srcH = p.S(2);
            srcW = p.S(3);
            d = 6 + (noBitmap ? 1 : 0);
        } else {
            d = 4 + at;
        }
        const double h = p.S(d), w = p.S(d + 1), y = p.S(d + 2), x = p.S(d + 3);
        if (!stretch) {
            srcW = w;
            srcH = h;
        }
        const Rect dest{x, y, x + w, y + h};
        if (noBitmap) {
            Blit(dest, {}, nullptr, p.U32(0));
            return;
        }
        const std::size_t bitmapAt = (d + 4) * 2;
        std::shared_ptr<gdi::Dib> dib;
        if (f == kBitBlt || f == kStretchBlt) {
            const Params header(p.From(bitmapAt).data(), p.From(bitmapAt).size());
            dib = wmf::DibFromBitmap16(header, header.From(10));
        } else {
            dib = wmf::CheckedDib(p.From(bitmapAt), false);
        }
        if (!dib) return;
        if (!stretch) {
            const Point size = Unstretched(*dib, xSrc, ySrc, srcW, srcH);
            srcW = size.X;
            srcH = size.Y;
        }
        Blit(dest, {xSrc, ySrc, xSrc + srcW, ySrc + srcH}, dib.get(), p.U32(0));
        return;
    }
    case kStretchDib: {
        // rop (2 words), usage, source h, w, y, x, destination h, w, y, x, DIB
        if (!p.Has(11)) throw Damaged{};
        const auto dib = wmf::CheckedDib(p.From(22), p.U(2) == 1);
        if (!dib) return;
        const double y = p.S(9), x = p.S(10);
        Blit({x, y, x + p.S(8), y + p.S(7)}, FromBottom(*dib, p.S(6), p.S(5), p.S(4), p.S(3)), dib.get(),
             p.U32(0));
        return;
    }
    case kSetDibToDev: {
        // usage, scan count, start scan, source y, x, h, w, destination y, x, DIB
        if (!p.Has(9)) throw Damaged{};
        const auto dib = wmf::CheckedDib(p.From(18), p.U(0) == 1);
        if (!dib) return;
        const double w = p.S(6), h = p.S(5), y = p.S(7), x = p.S(8);
        const Point source = Unstretched(*dib, p.S(4), p.S(3), w, h);
        Blit({x, y, x + w, y + h}, FromBottom(*dib, p.S(4), p.S(3), source.X, source.Y), dib.get(), gdi::kSrcCopy);
        return;
    }
    default:
        return; // escapes, palette realising, mapper flags and the like change nothing drawn
    }
}

} // namespace

bool PlayWindowsMetafile(std::span<const std::uint8_t> records, const WindowsMetafileFrame& frame,
                         std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0) return false;
    try {
        Player player(records, frame, width, height);
        return player.Play(rgb);
    } catch (const Damaged&) {
        return false;
    }
}

} // namespace tlc
