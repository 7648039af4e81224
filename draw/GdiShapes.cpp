// Shapes of the device context as paths in output pixels, GDI style.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "draw/GdiCanvasImpl.h"

namespace tlc::gdi {

// ---- shapes as paths ----

bool Canvas::Impl::AddPoints(Path& path, std::span<const Point> points, bool close) const {
    bool first = true;
    for (const Point& p : points) {
        Segment s;
        s.K = first ? Segment::Move : Segment::Line;
        if (!ToOutput(p, s.P[0])) return false;
        path.push_back(s);
        first = false;
    }
    if (close && !points.empty()) path.push_back({Segment::Close, {}});
    return true;
}

bool Canvas::Impl::AddBeziers(Path& path, Point start, std::span<const Point> controls) const {
    Segment m;
    if (!ToOutput(start, m.P[0])) return false;
    path.push_back(m);
    for (std::size_t k = 0; k + 3 <= controls.size(); k += 3) {
        Segment c;
        c.K = Segment::Curve;
        for (int j = 0; j < 3; ++j)
            if (!ToOutput(controls[k + j], c.P[j])) return false;
        path.push_back(c);
    }
    return true;
}

// An elliptical arc inside r from parameter angle a0 over sweep (radians;
// the point at angle a is centre + (rx cos a, ry sin a)), as Bézier curves.
bool Canvas::Impl::AddArc(Path& path, const Rect& r, double a0, double sweep,
                          bool moveFirst) const {
    const Rect n = Normalised(r);
    const double cx = (n.Left + n.Right) / 2, cy = (n.Top + n.Bottom) / 2;
    const double rx = (n.Right - n.Left) / 2, ry = (n.Bottom - n.Top) / 2;
    if (!Finite(cx) || !Finite(cy) || !Finite(rx) || !Finite(ry) || !Finite(a0) || !Finite(sweep))
        return false;
    const auto at = [&](double a) { return Point{cx + rx * std::cos(a), cy + ry * std::sin(a)}; };
    Segment first;
    first.K = moveFirst ? Segment::Move : Segment::Line;
    if (!ToOutput(at(a0), first.P[0])) return false;
    path.push_back(first);
    const int pieces = static_cast<int>(
        std::clamp(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9), 1.0, 4.0));
    const double step = sweep / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < pieces; ++i) {
        const double a = a0 + step * i, b = a + step;
        const Point p0{std::cos(a), std::sin(a)}, p3{std::cos(b), std::sin(b)};
        const Point c1{p0.X - k * p0.Y, p0.Y + k * p0.X}, c2{p3.X + k * p3.Y, p3.Y - k * p3.X};
        Segment c;
        c.K = Segment::Curve;
        const Point unit[3] = {c1, c2, p3};
        for (int j = 0; j < 3; ++j)
            if (!ToOutput({cx + rx * unit[j].X, cy + ry * unit[j].Y}, c.P[j])) return false;
        path.push_back(c);
    }
    return true;
}

bool Canvas::Impl::AddEllipse(Path& path, const Rect& r) const {
    if (!AddArc(path, r, 0, 2 * std::numbers::pi, true)) return false;
    path.push_back({Segment::Close, {}});
    return true;
}

bool Canvas::Impl::AddRect(Path& path, const Rect& r) const {
    const Point corners[4] = {
        {r.Left, r.Top}, {r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom}};
    return AddPoints(path, corners, true);
}

bool Canvas::Impl::AddRoundRect(Path& path, const Rect& r, double cw, double ch) const {
    const Rect n = Normalised(r);
    const double rx = std::min(std::fabs(cw) / 2, (n.Right - n.Left) / 2);
    const double ry = std::min(std::fabs(ch) / 2, (n.Bottom - n.Top) / 2);
    if (!(rx > 0 && ry > 0)) return AddRect(path, n);
    const double pi = std::numbers::pi;
    const auto corner = [&](double cx, double cy, double a0, bool move) {
        return AddArc(path, {cx - rx, cy - ry, cx + rx, cy + ry}, a0, pi / 2, move);
    };
    if (!corner(n.Right - rx, n.Top + ry, -pi / 2, true) ||
        !corner(n.Right - rx, n.Bottom - ry, 0, false) ||
        !corner(n.Left + rx, n.Bottom - ry, pi / 2, false) ||
        !corner(n.Left + rx, n.Top + ry, pi, false))
        return false;
    path.push_back({Segment::Close, {}});
    return true;
}

void Canvas::Impl::ArcAngles(const Rect& r, Point start, Point end, double& a0,
                             double& sweep) const {
    const Rect n = Normalised(r);
    const double cx = (n.Left + n.Right) / 2, cy = (n.Top + n.Bottom) / 2;
    const double rx = std::max((n.Right - n.Left) / 2, 1e-12),
                 ry = std::max((n.Bottom - n.Top) / 2, 1e-12);
    a0 = std::atan2((start.Y - cy) / ry, (start.X - cx) / rx);
    const double a1 = std::atan2((end.Y - cy) / ry, (end.X - cx) / rx);
    // Counter-clockwise as seen on the output: with y down that is the
    // decreasing angle, unless the transform mirrors.
    const bool mirrored = L2O.xx * L2O.yy - L2O.xy * L2O.yx < 0;
    const bool decreasing = (S.ArcDirection == 1) != mirrored;
    const double twoPi = 2 * std::numbers::pi;
    sweep = a1 - a0;
    if (decreasing) {
        while (sweep >= 0)
            sweep -= twoPi;
        while (sweep < -twoPi)
            sweep += twoPi;
        if (sweep > -1e-9) sweep = -twoPi;
    } else {
        while (sweep <= 0)
            sweep += twoPi;
        while (sweep > twoPi)
            sweep -= twoPi;
        if (sweep < 1e-9) sweep = twoPi;
    }
    if (!Finite(sweep) || !Finite(a0)) a0 = sweep = 0;
}

Rect Canvas::Impl::InsideFrame(const Rect& r) const {
    const Pen& pen = S.SelPen;
    if ((pen.Style & kPsStyleMask) != kPsInsideFrame || !(pen.Width > 1)) return r;
    const Rect n = Normalised(r);
    const double half = std::min({pen.Width / 2, (n.Right - n.Left) / 2, (n.Bottom - n.Top) / 2});
    return {n.Left + half, n.Top + half, n.Right - half, n.Bottom - half};
}

} // namespace tlc::gdi
