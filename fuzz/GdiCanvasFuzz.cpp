// The device context driven straight from the input: each byte picks a call,
// the following bytes its arguments, raw doubles among them (NaN, infinity,
// huge and tiny values), so that every call meets what no player would pass.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "draw/GdiCanvas.h"

namespace {

using namespace tlc::gdi;

struct Input {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;
    bool Empty() const { return At >= Size; }
    std::uint8_t Byte() { return At < Size ? Data[At++] : 0; }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v |= static_cast<std::uint32_t>(Byte()) << (8 * k);
        return v;
    }
    // A small number mostly, a raw double now and then.
    double Number() {
        const std::uint8_t kind = Byte();
        if (kind < 200) return static_cast<double>(static_cast<std::int16_t>(U32() & 0xFFFF)) / 4;
        std::uint64_t bits = static_cast<std::uint64_t>(U32()) | static_cast<std::uint64_t>(U32())
                                                                     << 32;
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    Point P() { return {Number(), Number()}; }
    Rect R() { return {Number(), Number(), Number(), Number()}; }
    Colour C() { return {Byte(), Byte(), Byte()}; }
    std::vector<Point> Points() {
        std::vector<Point> p(Byte() % 24);
        for (Point& q : p)
            q = P();
        return p;
    }
};

std::shared_ptr<const Dib> SmallDib(Input& in) {
    auto dib = std::make_shared<Dib>();
    const std::size_t n = in.Byte() % 96;
    for (std::size_t k = 0; k < n; ++k)
        dib->Bytes.push_back(in.Byte());
    if (dib->Bytes.size() >= 16 && in.Byte() & 1) { // a plausible header more often than not
        const std::uint8_t header[16] = {40, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 1, 0, 1, 0};
        std::memcpy(dib->Bytes.data(), header, sizeof header);
        dib->Bytes[14] = static_cast<std::uint8_t>(in.Byte() % 33);
    }
    dib->ColoursFromPalette = in.Byte() & 1;
    return dib;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in{data, size};
    Canvas c(48, 32);
    for (int calls = 0; calls < 400 && !in.Empty(); ++calls) {
        switch (in.Byte() % 40) {
        case 0:
            c.SetOutputTransform(
                {in.Number(), in.Number(), in.Number(), in.Number(), in.Number(), in.Number()});
            break;
        case 1:
            c.SetMapMode(in.Byte() % 10);
            break;
        case 2:
            c.SetWindowExt(in.Number(), in.Number());
            break;
        case 3:
            c.SetViewportExt(in.Number(), in.Number());
            break;
        case 4:
            c.SetWindowOrg(in.P());
            break;
        case 5:
            c.ScaleViewportExt(in.Number(), in.Number(), in.Number(), in.Number());
            break;
        case 6:
            c.ModifyWorldTransform(
                {in.Number(), in.Number(), in.Number(), in.Number(), in.Number(), in.Number()},
                in.Byte() % 6);
            break;
        case 7: {
            Pen pen{in.U32(), in.Number(), in.C(), {}};
            for (int k = in.Byte() % 20; k > 0; --k)
                pen.Dashes.push_back(in.Number());
            c.SelectPen(pen);
            break;
        }
        case 8: {
            Brush b{in.Byte() % 6u, in.C(), in.Byte() % 14u, nullptr};
            if (b.Style == kBsPattern || b.Style == kBsDibPattern) b.Pattern = SmallDib(in);
            c.SelectBrush(b);
            break;
        }
        case 9:
            c.SetRop2(in.Byte() % 18);
            break;
        case 10:
            c.SetBkMode(in.Byte() % 3);
            c.SetBkColour(in.C());
            c.SetTextColour(in.C());
            break;
        case 11:
            c.SetPolyFillMode(in.Byte() % 3);
            c.SetArcDirection(in.Byte() % 3);
            break;
        case 12:
            c.Save();
            break;
        case 13:
            c.Restore(static_cast<std::int8_t>(in.Byte()));
            break;
        case 14:
            c.MoveTo(in.P());
            break;
        case 15:
            c.LineTo(in.P());
            break;
        case 16:
            c.Rectangle(in.R());
            break;
        case 17:
            c.RoundRect(in.R(), in.Number(), in.Number());
            break;
        case 18:
            c.Ellipse(in.R());
            break;
        case 19:
            c.Arc(in.R(), in.P(), in.P());
            break;
        case 20:
            c.Pie(in.R(), in.P(), in.P());
            break;
        case 21:
            c.ArcTo(in.R(), in.P(), in.P());
            break;
        case 22:
            c.AngleArc(in.P(), in.Number(), in.Number(), in.Number());
            break;
        case 23: {
            const auto p = in.Points();
            c.Polygon(p);
            break;
        }
        case 24: {
            const auto p = in.Points();
            c.PolyBezier(p);
            break;
        }
        case 25: {
            const auto p = in.Points();
            std::vector<std::uint32_t> counts(in.Byte() % 5);
            for (auto& n : counts)
                n = in.Byte() % 30;
            c.PolyPolygon(p, counts);
            break;
        }
        case 26: {
            const auto p = in.Points();
            std::vector<std::uint8_t> types(p.size());
            for (auto& t : types)
                t = in.Byte() % 8;
            c.PolyDraw(p, types);
            break;
        }
        case 27:
            c.BeginPath();
            break;
        case 28:
            c.EndPath();
            break;
        case 29:
            switch (in.Byte() % 5) {
            case 0:
                c.FillPath();
                break;
            case 1:
                c.StrokePath();
                break;
            case 2:
                c.StrokeAndFillPath();
                break;
            case 3:
                c.CloseFigure();
                break;
            default:
                c.SelectClipPath(in.Byte() % 7);
                break;
            }
            break;
        case 30:
            c.IntersectClipRect(in.R());
            break;
        case 31:
            c.ExcludeClipRect(in.R());
            break;
        case 32:
            c.OffsetClip(in.Number(), in.Number());
            break;
        case 33: {
            std::vector<Rect> rects(in.Byte() % 6);
            for (Rect& r : rects)
                r = in.R();
            c.SelectClipRegion(rects, in.Byte() % 7);
            break;
        }
        case 34: {
            std::vector<Rect> rects(in.Byte() % 4);
            for (Rect& r : rects)
                r = in.R();
            if (in.Byte() & 1)
                c.FrameRegion(rects, {kBsSolid, in.C(), 0, nullptr}, in.Number(), in.Number());
            else
                c.InvertRegion(rects);
            break;
        }
        case 35: {
            const auto dib = SmallDib(in);
            c.StretchDib(in.R(), in.R(), in.Byte() & 1 ? dib.get() : nullptr, in.U32());
            break;
        }
        case 36:
            c.AlphaBlendDib(in.R(), in.R(), *SmallDib(in), in.Byte(), in.Byte() & 1);
            break;
        case 37:
            c.SetPixel(in.P(), in.C());
            break;
        case 38:
            c.SetPalette({in.C(), in.C()});
            c.SetBrushOrg(in.P());
            c.SetMiterLimit(in.Number());
            break;
        default:
            c.SetDeviceResolution(in.Number(), in.Number());
            break;
        }
    }
    std::vector<std::uint8_t> rgb;
    c.Finish(rgb);
    return 0;
}
