// The enhanced metafile's records played one by one onto the device-context
// canvas, as the system's own player does: the header sets the reference
// device and where the frame lands, objects live in the handle table, and
// every other record becomes the canvas call of the same name.
#include "draw/EmfPlayer.h"

#include <algorithm>
#include <variant>

#include "draw/EmfRecord.h"

namespace tlc::gdi {

namespace {

using emf::Record;

enum : std::uint32_t {
    kHeader = 1, kPolyBezier = 2, kPolygon = 3, kPolyline = 4, kPolyBezierTo = 5, kPolylineTo = 6,
    kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExt = 9, kSetWindowOrg = 10, kSetViewportExt = 11,
    kSetViewportOrg = 12, kSetBrushOrg = 13, kEof = 14, kSetPixelV = 15, kSetMapMode = 17, kSetBkMode = 18,
    kSetPolyFillMode = 19, kSetRop2 = 20, kSetTextAlign = 22, kSetTextColour = 24, kSetBkColour = 25,
    kOffsetClipRgn = 26, kMoveTo = 27, kExcludeClipRect = 29, kIntersectClipRect = 30, kScaleViewportExt = 31,
    kScaleWindowExt = 32, kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36,
    kSelectObject = 37, kCreatePen = 38, kCreateBrush = 39, kDeleteObject = 40, kAngleArc = 41, kEllipse = 42,
    kRectangle = 43, kRoundRect = 44, kArc = 45, kChord = 46, kPie = 47, kSelectPalette = 48,
    kCreatePalette = 49, kSetPaletteEntries = 50, kLineTo = 54, kArcTo = 55, kPolyDraw = 56,
    kSetArcDirection = 57, kSetMiterLimit = 58, kBeginPath = 59, kEndPath = 60, kCloseFigure = 61,
    kFillPath = 62, kStrokeAndFillPath = 63, kStrokePath = 64, kFlattenPath = 65, kWidenPath = 66,
    kSelectClipPath = 67, kAbortPath = 68, kFillRgn = 71, kFrameRgn = 72, kInvertRgn = 73, kPaintRgn = 74,
    kExtSelectClipRgn = 75, kBitBlt = 76, kStretchDiBits = 81, kCreateFont = 82, kExtTextOutA = 83,
    kExtTextOutW = 84, kPolyBezier16 = 85, kPolyPolygon16 = 91, kPolyDraw16 = 92, kCreateMonoBrush = 93,
    kCreateDibPatternBrush = 94, kExtCreatePen = 95, kPolyTextOutA = 96, kPolyTextOutW = 97,
    kSmallTextOut = 108, kAlphaBlend = 114, kTransparentBlt = 116, kGradientFill = 118,
    kSetTextJustification = 120,
};

// Bounds on the work one file can ask for; past them the drawing stops
// where it is.
constexpr std::uint64_t kMaxRecords = 4u << 20;
constexpr std::uint64_t kMaxPoints = 32u << 20;
constexpr std::uint64_t kMaxRecordPoints = 4u << 20;
// Gradient strips are filled one by one: they have a budget of their own.
constexpr std::uint64_t kMaxGradientFills = 1u << 15;
// Bitmaps cost about their size to draw; a pattern brush is drawn for every
// fill, so its bitmap is kept small.
constexpr std::uint64_t kMaxBitmapPixels = 64u << 20;
constexpr std::uint64_t kMaxPatternPixels = 1u << 20;
constexpr std::size_t kMaxHandles = 65536;
constexpr int kMaxSaveDepth = 1024;

using Palette = std::vector<Colour>;
using Object = std::variant<std::monostate, Pen, Brush, Font, Palette>;

bool Finite(const Transform& t) {
    for (double v : {t.M11, t.M12, t.M21, t.M22, t.Dx, t.Dy})
        if (!std::isfinite(v) || std::abs(v) > 1e12) return false;
    return true;
}

class Player {
public:
    explicit Player(Canvas& canvas, std::size_t handles) : canvas_(canvas), objects_(handles) {}

    // False when the record is damaged (the picture is refused).
    bool Play(const Record& r);
    bool Ended() const { return ended_; }

private:
    Object* Slot(std::uint32_t index);
    void Select(std::uint32_t index);
    bool BrushOf(std::uint32_t index, Brush& brush);
    void Shape(const Record& r);
    void Poly(const Record& r);
    void PolyPoly(const Record& r);
    void Region(const Record& r);
    bool Spend(std::uint64_t points);

    Canvas& canvas_;
    std::vector<Object> objects_;
    std::uint64_t pointsLeft_ = kMaxPoints;
    std::uint64_t gradientFillsLeft_ = kMaxGradientFills;
    std::uint64_t bitmapPixelsLeft_ = kMaxBitmapPixels;
    int saveDepth_ = 0;
    bool ended_ = false;
};

Object* Player::Slot(std::uint32_t index) {
    // Index 0 is the metafile itself; a writer that counted its handles
    // short still gets its objects.
    if (index == 0 || index >= kMaxHandles) return nullptr;
    if (index >= objects_.size()) objects_.resize(index + 1);
    return &objects_[index];
}

bool Player::BrushOf(std::uint32_t index, Brush& brush) {
    if (index & 0x80000000u) {
        bool found = false;
        brush = emf::StockBrush(index & 0x7FFFFFFFu, &found);
        return found;
    }
    if (index == 0 || index >= objects_.size()) return false;
    if (const auto* b = std::get_if<Brush>(&objects_[index])) {
        brush = *b;
        return true;
    }
    return false;
}

void Player::Select(std::uint32_t index) {
    if (index & 0x80000000u) {
        const std::uint32_t stock = index & 0x7FFFFFFFu;
        bool found = false;
        if (const Brush brush = emf::StockBrush(stock, &found); found) return canvas_.SelectBrush(brush);
        if (const Pen pen = emf::StockPen(stock, &found); found) return canvas_.SelectPen(pen);
        if (const Font font = emf::StockFont(stock, &found); found) return canvas_.SelectFont(font);
        if (stock == 15) canvas_.SetPalette({}); // DEFAULT_PALETTE
        return;
    }
    if (index == 0 || index >= objects_.size()) return;
    const Object& object = objects_[index];
    if (const auto* pen = std::get_if<Pen>(&object)) canvas_.SelectPen(*pen);
    else if (const auto* brush = std::get_if<Brush>(&object)) canvas_.SelectBrush(*brush);
    else if (const auto* font = std::get_if<Font>(&object)) canvas_.SelectFont(*font);
}

bool Player::Spend(std::uint64_t points) {
    if (points > pointsLeft_ || points > kMaxRecordPoints) {
        ended_ = true;
        return false;
    }
    pointsLeft_ -= points;
    return true;
}

void Player::Shape(const Record& r) {
    const Rect box = r.RectL(8);
    if (r.Damaged()) return;
    switch (r.Type()) {
    case kEllipse: canvas_.Ellipse(box); break;
    case kRectangle: canvas_.Rectangle(box); break;
    case kRoundRect: canvas_.RoundRect(box, r.I32(24), r.I32(28)); break;
    default: {
        const Point start = r.PointL(24), end = r.PointL(32);
        if (r.Damaged()) return;
        if (r.Type() == kArc) canvas_.Arc(box, start, end);
        else if (r.Type() == kArcTo) canvas_.ArcTo(box, start, end);
        else if (r.Type() == kChord) canvas_.Chord(box, start, end);
        else canvas_.Pie(box, start, end);
    }
    }
}

void Player::Poly(const Record& r) {
    // bounds, count, points (16-bit ones from EMR_POLYBEZIER16 on)
    const bool shortForm = r.Type() >= kPolyBezier16;
    const std::uint32_t count = r.U32(24);
    if (!r.Fits(28, std::uint64_t{count} * (shortForm ? 4 : 8))) return r.MarkDamaged();
    if (!Spend(count)) return;
    const auto points = r.Points(28, count, shortForm);
    if (r.Damaged()) return;
    switch (shortForm ? r.Type() - kPolyBezier16 + kPolyBezier : r.Type()) {
    case kPolyBezier: canvas_.PolyBezier(points); break;
    case kPolygon: canvas_.Polygon(points); break;
    case kPolyline: canvas_.Polyline(points); break;
    case kPolyBezierTo: canvas_.PolyBezierTo(points); break;
    case kPolylineTo: canvas_.PolylineTo(points); break;
    default: break;
    }
}

void Player::PolyPoly(const Record& r) {
    // bounds, number of polygons, number of points, the counts, the points
    const bool shortForm = r.Type() > kPolyPolygon;
    const std::uint32_t polys = r.U32(24), total = r.U32(28);
    const auto countBytes = r.Bytes(32, std::uint64_t{polys} * 4);
    if (r.Damaged()) return;
    std::vector<std::uint32_t> counts(polys);
    std::uint64_t sum = 0;
    for (std::uint32_t k = 0; k < polys; ++k) sum += counts[k] = LoadLE32(countBytes.data() + 4 * k);
    if (sum > total || !r.Fits(32 + 4 * std::uint64_t{polys}, sum * (shortForm ? 4 : 8)))
        return r.MarkDamaged();
    if (!Spend(sum)) return;
    const auto points = r.Points(32 + 4 * std::size_t{polys}, sum, shortForm);
    if (r.Damaged()) return;
    if (r.Type() == kPolyPolygon || r.Type() == kPolyPolygon16) canvas_.PolyPolygon(points, counts);
    else canvas_.PolyPolyline(points, counts);
}

void Player::Region(const Record& r) {
    const std::uint32_t cb = r.U32(24);
    switch (r.Type()) {
    case kFillRgn: {
        const auto rects = emf::RegionRects(r, 32, cb);
        Brush brush;
        if (!r.Damaged() && BrushOf(r.U32(28), brush)) canvas_.FillRegion(rects, brush);
        break;
    }
    case kFrameRgn: {
        const auto rects = emf::RegionRects(r, 40, cb);
        Brush brush;
        if (!r.Damaged() && BrushOf(r.U32(28), brush)) canvas_.FrameRegion(rects, brush, r.I32(32), r.I32(36));
        break;
    }
    default: {
        const auto rects = emf::RegionRects(r, 28, cb);
        if (r.Damaged()) return;
        if (r.Type() == kInvertRgn) canvas_.InvertRegion(rects);
        else canvas_.PaintRegion(rects);
    }
    }
}

bool Player::Play(const Record& r) {
    const std::uint32_t type = r.Type();
    switch (type) {
    case kEof: ended_ = true; break;
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
    case kPolyBezier16: case kPolyBezier16 + 1: case kPolyBezier16 + 2: case kPolyBezier16 + 3:
    case kPolyBezier16 + 4:
        Poly(r);
        break;
    case kPolyPolyline: case kPolyPolygon: case kPolyPolygon16 - 1: case kPolyPolygon16: PolyPoly(r); break;
    case kPolyDraw: case kPolyDraw16: {
        const bool shortForm = type == kPolyDraw16;
        const std::uint32_t count = r.U32(24);
        const std::uint64_t pointBytes = std::uint64_t{count} * (shortForm ? 4 : 8);
        if (!r.Fits(28, pointBytes + count)) {
            r.MarkDamaged();
            break;
        }
        if (!Spend(count)) break;
        const auto points = r.Points(28, count, shortForm);
        const auto types = r.Bytes(28 + pointBytes, count);
        if (!r.Damaged()) canvas_.PolyDraw(points, types);
        break;
    }
    case kSetWindowExt: canvas_.SetWindowExt(r.I32(8), r.I32(12)); break;
    case kSetWindowOrg: canvas_.SetWindowOrg(r.PointL(8)); break;
    case kSetViewportExt: canvas_.SetViewportExt(r.I32(8), r.I32(12)); break;
    case kSetViewportOrg: canvas_.SetViewportOrg(r.PointL(8)); break;
    case kSetBrushOrg: canvas_.SetBrushOrg(r.PointL(8)); break;
    case kSetPixelV: canvas_.SetPixel(r.PointL(8), r.ColourRef(16)); break;
    case kSetMapMode: canvas_.SetMapMode(r.I32(8)); break;
    case kSetBkMode: canvas_.SetBkMode(r.I32(8)); break;
    case kSetPolyFillMode: canvas_.SetPolyFillMode(r.I32(8)); break;
    case kSetRop2: canvas_.SetRop2(r.I32(8)); break;
    case kSetTextAlign: canvas_.SetTextAlign(r.U32(8)); break;
    case kSetTextColour: canvas_.SetTextColour(r.ColourRef(8)); break;
    case kSetBkColour: canvas_.SetBkColour(r.ColourRef(8)); break;
    case kOffsetClipRgn: canvas_.OffsetClip(r.I32(8), r.I32(12)); break;
    case kMoveTo: canvas_.MoveTo(r.PointL(8)); break;
    case kLineTo: canvas_.LineTo(r.PointL(8)); break;
    case kExcludeClipRect: canvas_.ExcludeClipRect(r.RectL(8)); break;
    case kIntersectClipRect: canvas_.IntersectClipRect(r.RectL(8)); break;
    case kScaleViewportExt: case kScaleWindowExt: {
        const double xNum = r.I32(8), xDenom = r.I32(12), yNum = r.I32(16), yDenom = r.I32(20);
        if (r.Damaged() || xDenom == 0 || yDenom == 0) break;
        if (type == kScaleViewportExt) canvas_.ScaleViewportExt(xNum, xDenom, yNum, yDenom);
        else canvas_.ScaleWindowExt(xNum, xDenom, yNum, yDenom);
        break;
    }
    case kSaveDc:
        if (saveDepth_ < kMaxSaveDepth) {
            ++saveDepth_;
            canvas_.Save();
        }
        break;
    case kRestoreDc: {
        const std::int32_t level = r.I32(8);
        if (level < 0 && -std::int64_t{level} <= saveDepth_) saveDepth_ += level;
        else if (level > 0 && level <= saveDepth_) saveDepth_ = level - 1;
        canvas_.Restore(level);
        break;
    }
    case kSetWorldTransform: case kModifyWorldTransform: {
        bool ok[6];
        const Transform t{r.F32(8, &ok[0]),  r.F32(12, &ok[1]), r.F32(16, &ok[2]),
                          r.F32(20, &ok[3]), r.F32(24, &ok[4]), r.F32(28, &ok[5])};
        if (std::find(std::begin(ok), std::end(ok), false) != std::end(ok) || !Finite(t)) break;
        if (type == kSetWorldTransform) canvas_.SetWorldTransform(t);
        else canvas_.ModifyWorldTransform(t, r.I32(32));
        break;
    }
    case kSelectObject: Select(r.U32(8)); break;
    case kDeleteObject:
        if (Object* slot = Slot(r.U32(8))) *slot = std::monostate{};
        break;
    case kCreatePen: case kExtCreatePen: case kCreateBrush: case kCreateFont: case kCreateMonoBrush:
    case kCreateDibPatternBrush: case kCreatePalette: {
        Object object;
        if (type == kCreatePen) object = emf::PenFromCreatePen(r);
        else if (type == kExtCreatePen) object = emf::PenFromExtCreatePen(r);
        else if (type == kCreateBrush) object = emf::BrushFromLogBrush(r, 12);
        else if (type == kCreateFont) object = emf::FontFromLogFont(r, 12);
        else if (type == kCreatePalette) {
            // LOGPALETTE: version, count, then red, green, blue, flags
            const std::uint16_t count = r.U16(14);
            const auto entries = r.Bytes(16, std::uint64_t{count} * 4);
            Palette palette;
            for (std::size_t k = 0; k + 4 <= entries.size(); k += 4)
                palette.push_back({entries[k], entries[k + 1], entries[k + 2]});
            object = std::move(palette);
        } else {
            // usage, offBmi, cbBmi, offBits, cbBits
            Brush brush;
            brush.Style = type == kCreateMonoBrush ? kBsPattern : kBsDibPattern;
            brush.Pattern = emf::DibFromRecord(r, r.U32(16), r.U32(20), r.U32(24), r.U32(28), r.U32(12) == 1);
            if (!brush.Pattern || emf::DibPixels(*brush.Pattern) > kMaxPatternPixels)
                brush = Brush{}; // no bitmap we can draw: white
            object = std::move(brush);
        }
        if (Object* slot = Slot(r.U32(8)); slot && !r.Damaged()) *slot = std::move(object);
        break;
    }
    case kSelectPalette: {
        const std::uint32_t index = r.U32(8);
        if (index == 0x8000000Fu) canvas_.SetPalette({});
        else if (index < objects_.size())
            if (const auto* palette = std::get_if<Palette>(&objects_[index])) canvas_.SetPalette(*palette);
        break;
    }
    case kSetPaletteEntries: {
        // palette, first entry, count, entries
        const std::uint32_t index = r.U32(8), first = r.U32(12), count = r.U32(16);
        const auto entries = r.Bytes(20, std::uint64_t{count} * 4);
        if (r.Damaged() || index >= objects_.size()) break;
        if (auto* palette = std::get_if<Palette>(&objects_[index]))
            for (std::uint32_t k = 0; k < count && first < palette->size() && k < palette->size() - first; ++k)
                (*palette)[first + k] = {entries[4 * k], entries[4 * k + 1], entries[4 * k + 2]};
        break;
    }
    case kAngleArc: {
        bool startOk = false, sweepOk = false;
        const Point centre = r.PointL(8);
        const double radius = r.U32(16), start = r.F32(20, &startOk), sweep = r.F32(24, &sweepOk);
        if (startOk && sweepOk && !r.Damaged()) canvas_.AngleArc(centre, radius, start, sweep);
        break;
    }
    case kEllipse: case kRectangle: case kRoundRect: case kArc: case kChord: case kPie: case kArcTo: Shape(r); break;
    case kSetArcDirection: canvas_.SetArcDirection(r.I32(8)); break;
    case kSetMiterLimit: {
        // An integer; some writers put a float there.
        const std::uint32_t bits = r.U32(8);
        canvas_.SetMiterLimit(bits > 0x00FFFFFFu ? r.F32(8) : double(bits));
        break;
    }
    case kBeginPath: canvas_.BeginPath(); break;
    case kEndPath: canvas_.EndPath(); break;
    case kCloseFigure: canvas_.CloseFigure(); break;
    case kFillPath: canvas_.FillPath(); break;
    case kStrokeAndFillPath: canvas_.StrokeAndFillPath(); break;
    case kStrokePath: canvas_.StrokePath(); break;
    case kFlattenPath: canvas_.FlattenPath(); break;
    case kWidenPath: canvas_.WidenPath(); break;
    case kAbortPath: canvas_.AbortPath(); break;
    case kSelectClipPath: canvas_.SelectClipPath(r.I32(8)); break;
    case kFillRgn: case kFrameRgn: case kInvertRgn: case kPaintRgn: Region(r); break;
    case kExtSelectClipRgn: {
        // size of the region, mode, region (none with RGN_COPY: no clipping)
        const std::uint32_t cb = r.U32(8);
        const std::int32_t mode = r.I32(12);
        const auto rects = emf::RegionRects(r, 16, cb);
        if (!r.Damaged() && (cb != 0 || mode == kRgnCopy)) canvas_.SelectClipRegion(rects, mode);
        break;
    }
    case kExtTextOutA: case kExtTextOutW: case kPolyTextOutA: case kPolyTextOutW: case kSmallTextOut:
        emf::PlayText(r, canvas_);
        break;
    case kSetTextJustification: canvas_.SetTextJustification(r.I32(8), r.I32(12)); break;
    case kAlphaBlend: case kTransparentBlt: emf::PlayBitmap(r, canvas_, bitmapPixelsLeft_); break;
    case kGradientFill: emf::PlayGradientFill(r, canvas_, gradientFillsLeft_); break;
    default:
        if (type >= kBitBlt && type <= kStretchDiBits) emf::PlayBitmap(r, canvas_, bitmapPixelsLeft_);
        // Comments (EMF+ among them), colour management and the records
        // that change nothing drawn are passed over.
        break;
    }
    return !r.Damaged();
}

} // namespace

bool PlayEnhancedMetafile(std::span<const std::uint8_t> data, std::int32_t width, std::int32_t height,
                          std::vector<std::uint8_t>& rgb) {
    constexpr std::uint32_t kSignature = 0x464D4520; // " EMF"
    if (width <= 0 || height <= 0 || data.size() < 88 || LoadLE32(data.data()) != kHeader) return false;
    const std::uint32_t headerSize = LoadLE32(data.data() + 4);
    if (headerSize < 88 || headerSize > data.size()) return false;
    const Record header(kHeader, data.first(headerSize));
    if (header.U32(40) != kSignature) return false;
    // Bounds (device units) and frame (0.01 mm), both inclusive; the
    // reference device's size in pixels and in millimetres.
    const Rect bounds = header.RectL(8), frame = header.RectL(24);
    const double devicePixelsX = header.I32(72), devicePixelsY = header.I32(76);
    const double deviceMmX = header.I32(80), deviceMmY = header.I32(84);
    const std::size_t handles = header.U16(56);
    double perMmX = 96 / 25.4, perMmY = 96 / 25.4;
    if (devicePixelsX > 0 && devicePixelsY > 0 && deviceMmX > 0 && deviceMmY > 0) {
        perMmX = devicePixelsX / deviceMmX;
        perMmY = devicePixelsY / deviceMmY;
    }
    // The frame fills the output; a file with no frame, its bounds.
    double left = frame.Left * perMmX / 100, top = frame.Top * perMmY / 100;
    double right = frame.Right * perMmX / 100, bottom = frame.Bottom * perMmY / 100;
    if (right <= left || bottom <= top) {
        left = bounds.Left, top = bounds.Top, right = bounds.Right + 1, bottom = bounds.Bottom + 1;
        if (right <= left || bottom <= top) return false;
    }

    Canvas canvas(width, height);
    canvas.SetDeviceResolution(perMmX, perMmY);
    const double sx = width / (right - left), sy = height / (bottom - top);
    canvas.SetOutputTransform({sx, 0, 0, sy, -left * sx, -top * sy});
    // A device context starts with the white brush, the black pen and the
    // system font.
    Player player(canvas, std::min(handles, kMaxHandles));

    std::uint64_t records = 0;
    for (std::size_t at = headerSize; data.size() - at >= 8 && !player.Ended(); ++records) {
        if (records >= kMaxRecords) break;
        const std::uint32_t type = LoadLE32(data.data() + at);
        const std::uint32_t size = LoadLE32(data.data() + at + 4);
        if (size < 8 || size > data.size() - at) return false;
        if (!player.Play(Record(type, data.subspan(at, size)))) return false;
        at += size;
    }
    return canvas.Finish(rgb);
}

} // namespace tlc::gdi
