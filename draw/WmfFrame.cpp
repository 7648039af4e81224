#include "draw/WmfFrame.h"

#include <algorithm>
#include <cmath>

#include "base/LittleEndian.h"
#include "draw/WmfObjects.h"

namespace tlc::wmf {

namespace {

using gdi::Point;
using namespace function;

// The frame of the picture in device units: where the page transform in
// force at the first drawing record puts the window (or, under a fixed
// map mode, the placeable bounding box). A program playing a placeable
// metafile sets MM_ANISOTROPIC with the bounding box as window and its
// target as viewport; the records then set their own window (often not
// the bounding box: other units, another origin, a flipped axis) and, now
// and then, a viewport. Stretching that frame onto the output shows what
// the records meant to show, whatever units they chose.
struct PageGuess {
    int Mode = gdi::kMmAnisotropic;
    Point WindowOrg, WindowExt, ViewportOrg, ViewportExt;
};

bool Draws(std::uint16_t f) {
    switch (f) {
    case kLineTo: case kPolygon: case kPolyline: case kPolyPolygon: case kEllipse: case kRectangle:
    case kRoundRect: case kArc: case kPie: case kChord: case kSetPixel: case kTextOut: case kExtTextOut:
    case kPatBlt: case kBitBlt: case kStretchBlt: case kDibBitBlt: case kDibStretchBlt: case kStretchDib:
    case kSetDibToDev: case kFillRegion: case kPaintRegion: case kFrameRegion: case kInvertRegion:
        return true;
    default:
        return false;
    }
}

// Device pixels per logical unit of the fixed map modes, at r pixels a millimetre.
Point FixedScale(int mode, double r) {
    switch (mode) {
    case gdi::kMmLoMetric: return {r / 10, -r / 10};
    case gdi::kMmHiMetric: return {r / 100, -r / 100};
    case gdi::kMmLoEnglish: return {r * 0.254, -r * 0.254};
    case gdi::kMmHiEnglish: return {r * 0.0254, -r * 0.0254};
    case gdi::kMmTwips: return {r * 25.4 / 1440, -r * 25.4 / 1440};
    default: return {1, 1};
    }
}

} // namespace

bool SetUpPage(std::span<const std::uint8_t> records, std::size_t start, const WindowsMetafileFrame& frame,
               int width, int height, gdi::Canvas& canvas) {
    const double left = frame.Left, top = frame.Top;
    double w = static_cast<double>(frame.Right) - left, h = static_cast<double>(frame.Bottom) - top;
    if (w == 0) w = 1;
    if (h == 0) h = 1;
    // Device units are the bounding box's logical units, whose count a
    // inch the picture's size in screen pixels tells.
    const double inch = frame.PictureWidth > 0 ? std::abs(w) * 96.0 / frame.PictureWidth : 1440;
    const double perMm = inch / 25.4;
    PageGuess g{gdi::kMmAnisotropic, {left, top}, {w, h}, {0, 0}, {std::abs(w), std::abs(h)}};
    canvas.SetDeviceResolution(perMm, perMm);
    canvas.SetMapMode(g.Mode);
    canvas.SetWindowOrg(g.WindowOrg);
    canvas.SetWindowExt(w, h);
    canvas.SetViewportOrg(g.ViewportOrg);
    canvas.SetViewportExt(g.ViewportExt.X, g.ViewportExt.Y);

    for (std::size_t pos = start; records.size() - pos >= 6;) {
        const std::uint32_t words = LoadLE32(records.data() + pos);
        if (words < 3 || words > (records.size() - pos) / 2) break;
        const std::uint16_t kind = LoadLE16(records.data() + pos + 4);
        if (kind == kEof || Draws(kind)) break;
        const Params p(records.data() + pos + 6, std::size_t{words} * 2 - 6);
        pos += std::size_t{words} * 2;
        if (!p.Has(kind == kSetMapMode ? 1 : 2)) continue;
        const Point yx{static_cast<double>(p.S(1)), static_cast<double>(p.S(0))};
        switch (kind) {
        case kSetMapMode: g.Mode = p.S(0); break;
        case kSetWindowOrg: g.WindowOrg = yx; break;
        case kSetViewportOrg: g.ViewportOrg = yx; break;
        case kSetWindowExt: if (yx.X != 0 && yx.Y != 0) g.WindowExt = yx; break;
        case kSetViewportExt: if (yx.X != 0 && yx.Y != 0) g.ViewportExt = yx; break;
        default: break;
        }
    }
    Point a, b; // the frame's corners in device units
    if (g.Mode == gdi::kMmAnisotropic || g.Mode == gdi::kMmIsotropic) {
        Point ext = g.ViewportExt;
        if (g.Mode == gdi::kMmIsotropic) {
            const double sx = ext.X / g.WindowExt.X, sy = ext.Y / g.WindowExt.Y;
            const double s = std::min(std::abs(sx), std::abs(sy));
            ext = {std::copysign(s, sx) * g.WindowExt.X, std::copysign(s, sy) * g.WindowExt.Y};
        }
        a = g.ViewportOrg;
        b = {a.X + ext.X, a.Y + ext.Y};
    } else {
        const Point s = FixedScale(g.Mode, perMm);
        a = {(left - g.WindowOrg.X) * s.X + g.ViewportOrg.X, (top - g.WindowOrg.Y) * s.Y + g.ViewportOrg.Y};
        b = {(left + w - g.WindowOrg.X) * s.X + g.ViewportOrg.X,
             (top + h - g.WindowOrg.Y) * s.Y + g.ViewportOrg.Y};
    }
    const double dw = std::abs(b.X - a.X), dh = std::abs(b.Y - a.Y);
    if (!(dw > 0) || !(dh > 0) || !std::isfinite(dw) || !std::isfinite(dh)) return false;
    gdi::Transform out;
    out.M11 = width / dw;
    out.M22 = height / dh;
    out.Dx = -std::min(a.X, b.X) * out.M11;
    out.Dy = -std::min(a.Y, b.Y) * out.M22;
    canvas.SetOutputTransform(out);
    return true;
}

} // namespace tlc::wmf
