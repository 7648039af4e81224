// The drawing calls of the device context: lines, shapes and paths.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "draw/GdiCanvasImpl.h"

namespace tlc::gdi {

// ---- shapes drawn ----

void Canvas::Impl::AppendToPath(const Path& path, bool continues) {
    if (CurrentPath.size() + path.size() > (1u << 22)) return; // a damaged file's endless path
    auto from = path.begin();
    if (continues && FigureOpen && from != path.end() && from->K == Segment::Move) ++from;
    CurrentPath.insert(CurrentPath.end(), from, path.end());
    FigureOpen = !path.empty() && path.back().K != Segment::Close;
}

void Canvas::Impl::Shape(Path&& path, bool fill, bool stroke) {
    if (path.empty()) return;
    if (InPath) {
        AppendToPath(path, false);
        return;
    }
    if (!BeginDraw(&path)) return;
    if (fill && S.SelBrush.Style != kBsNull) {
        Emit(path);
        FillCurrent(S.SelBrush, S.FillMode);
    }
    if (stroke && PenVisible()) {
        Emit(path, StrokeShift());
        StrokeCurrent();
    }
    EndDraw();
}

void Canvas::MoveTo(Point p) {
    if (!Finite(p.X) || !Finite(p.Y)) return;
    impl_->S.Position = p;
    impl_->FigureOpen = false;
}

Point Canvas::CurrentPosition() const {
    return impl_->S.Position;
}

void Canvas::LineTo(Point p) {
    if (!Finite(p.X) || !Finite(p.Y)) return;
    const Point line[2] = {impl_->S.Position, p};
    impl_->S.Position = p;
    Path path;
    if (!impl_->AddPoints(path, line, false)) return;
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

// A shape by its bounding box: filled over the box, outlined inside it, so
// that the whole figure leaves out the box's right and bottom edges.
void Canvas::Impl::BoxShape(const Rect& r, bool fill, const BoxBuilder& build) {
    const Rect box = InsideFrame(r);
    Path outline;
    if (!build(outline, StrokeBox(box))) return;
    if (InPath || !fill) {
        Shape(std::move(outline), fill, true);
        return;
    }
    Path area;
    if (!build(area, box) || !BeginDraw(&area)) return;
    if (S.SelBrush.Style != kBsNull) {
        Emit(area);
        FillCurrent(S.SelBrush, S.FillMode);
    }
    if (PenVisible()) {
        Emit(outline, StrokeShift());
        StrokeCurrent();
    }
    EndDraw();
}

Rect Canvas::Impl::StrokeBox(const Rect& r) const {
    if (L2O.xy != 0 || L2O.yx != 0) return r;
    Rect n = Normalised(r);
    // A device pixel (at most an output pixel) in logical units, taken off
    // the side that comes out right or below.
    const double sx = std::fabs(L2O.xx), sy = std::fabs(L2O.yy);
    const Point px = PixelOfDevice();
    if ((n.Right - n.Left) * sx > 2 * px.X)
        (L2O.xx > 0 ? n.Right : n.Left) -= (L2O.xx > 0 ? px.X : -px.X) / sx;
    if ((n.Bottom - n.Top) * sy > 2 * px.Y)
        (L2O.yy > 0 ? n.Bottom : n.Top) -= (L2O.yy > 0 ? px.Y : -px.Y) / sy;
    return n;
}

void Canvas::Rectangle(const Rect& r) {
    impl_->BoxShape(r, true, [this](Path& p, const Rect& box) { return impl_->AddRect(p, box); });
}

void Canvas::RoundRect(const Rect& r, double cw, double ch) {
    impl_->BoxShape(r, true, [this, cw, ch](Path& p, const Rect& box) {
        return impl_->AddRoundRect(p, box, cw, ch);
    });
}

void Canvas::Ellipse(const Rect& r) {
    impl_->BoxShape(r, true,
                    [this](Path& p, const Rect& box) { return impl_->AddEllipse(p, box); });
}

void Canvas::Arc(const Rect& r, Point start, Point end) {
    double a0, sweep;
    impl_->ArcAngles(r, start, end, a0, sweep);
    impl_->BoxShape(r, false, [this, a0, sweep](Path& p, const Rect& box) {
        return impl_->AddArc(p, box, a0, sweep, true);
    });
}

void Canvas::ArcTo(const Rect& r, Point start, Point end) {
    double a0, sweep;
    impl_->ArcAngles(r, start, end, a0, sweep);
    Path path;
    Segment from;
    if (!impl_->ToOutput(impl_->S.Position, from.P[0])) return;
    path.push_back(from);
    if (!impl_->AddArc(path, r, a0, sweep, false)) return;
    const Rect n = Normalised(r);
    const double e = a0 + sweep;
    impl_->S.Position = {(n.Left + n.Right) / 2 + (n.Right - n.Left) / 2 * std::cos(e),
                         (n.Top + n.Bottom) / 2 + (n.Bottom - n.Top) / 2 * std::sin(e)};
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

void Canvas::Chord(const Rect& r, Point start, Point end) {
    double a0, sweep;
    impl_->ArcAngles(r, start, end, a0, sweep);
    impl_->BoxShape(r, true, [this, a0, sweep](Path& p, const Rect& box) {
        if (!impl_->AddArc(p, box, a0, sweep, true)) return false;
        p.push_back({Segment::Close, {}});
        return true;
    });
}

void Canvas::Pie(const Rect& r, Point start, Point end) {
    double a0, sweep;
    impl_->ArcAngles(r, start, end, a0, sweep);
    impl_->BoxShape(r, true, [this, a0, sweep](Path& p, const Rect& box) {
        Segment c;
        if (!impl_->ToOutput({(box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2}, c.P[0]))
            return false;
        p.push_back(c);
        if (!impl_->AddArc(p, box, a0, sweep, false)) return false;
        p.push_back({Segment::Close, {}});
        return true;
    });
}

void Canvas::AngleArc(Point centre, double radius, double startDegrees, double sweepDegrees) {
    if (!Finite(radius) || !Finite(startDegrees) || !Finite(sweepDegrees)) return;
    const double pi = std::numbers::pi;
    // Counter-clockwise for a positive sweep, y down: the parameter angle is the negated one.
    const double a0 = -startDegrees * pi / 180;
    const double sweep = -std::clamp(sweepDegrees, -360.0 * 4, 360.0 * 4) * pi / 180;
    const double r = std::fabs(radius);
    Path path;
    Segment from;
    if (!impl_->ToOutput(impl_->S.Position, from.P[0])) return;
    path.push_back(from);
    if (!impl_->AddArc(path, {centre.X - r, centre.Y - r, centre.X + r, centre.Y + r}, a0,
                       std::clamp(sweep, -2 * pi, 2 * pi), false))
        return;
    impl_->S.Position = {centre.X + r * std::cos(a0 + sweep), centre.Y + r * std::sin(a0 + sweep)};
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

void Canvas::Polyline(std::span<const Point> points) {
    if (points.size() < 2) return;
    Path path;
    if (impl_->AddPoints(path, points, false)) impl_->Shape(std::move(path), false, true);
}

void Canvas::PolylineTo(std::span<const Point> points) {
    if (points.empty()) return;
    std::vector<Point> all;
    all.reserve(points.size() + 1);
    all.push_back(impl_->S.Position);
    all.insert(all.end(), points.begin(), points.end());
    impl_->S.Position = points.back();
    Path path;
    if (!impl_->AddPoints(path, all, false)) return;
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

void Canvas::Polygon(std::span<const Point> points) {
    if (points.size() < 2) return;
    Path path;
    if (impl_->AddPoints(path, points, true)) impl_->Shape(std::move(path), true, true);
}

void Canvas::PolyPolygon(std::span<const Point> points, std::span<const std::uint32_t> counts) {
    Path path;
    std::size_t at = 0;
    for (const std::uint32_t n : counts) {
        if (n > points.size() - at) break;
        if (n >= 2 && !impl_->AddPoints(path, points.subspan(at, n), true)) return;
        at += n;
    }
    impl_->Shape(std::move(path), true, true);
}

void Canvas::PolyPolyline(std::span<const Point> points, std::span<const std::uint32_t> counts) {
    Path path;
    std::size_t at = 0;
    for (const std::uint32_t n : counts) {
        if (n > points.size() - at) break;
        if (n >= 2 && !impl_->AddPoints(path, points.subspan(at, n), false)) return;
        at += n;
    }
    impl_->Shape(std::move(path), false, true);
}

void Canvas::PolyBezier(std::span<const Point> points) {
    if (points.size() < 4) return;
    Path path;
    if (impl_->AddBeziers(path, points[0], points.subspan(1)))
        impl_->Shape(std::move(path), false, true);
}

void Canvas::PolyBezierTo(std::span<const Point> points) {
    if (points.size() < 3) return;
    Path path;
    if (!impl_->AddBeziers(path, impl_->S.Position, points)) return;
    impl_->S.Position = points[points.size() / 3 * 3 - 1];
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

void Canvas::PolyDraw(std::span<const Point> points, std::span<const std::uint8_t> types) {
    const std::size_t n = std::min(points.size(), types.size());
    Path path;
    Point cp = impl_->S.Position, figureStart = cp;
    Segment s;
    if (!impl_->ToOutput(cp, s.P[0])) return;
    path.push_back(s);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t type = types[k] & ~1u;
        if (type == 6) {
            Segment m;
            if (!impl_->ToOutput(points[k], m.P[0])) return;
            path.push_back(m);
            cp = figureStart = points[k];
        } else if (type == 2) {
            Segment l;
            l.K = Segment::Line;
            if (!impl_->ToOutput(points[k], l.P[0])) return;
            path.push_back(l);
            cp = points[k];
        } else if (type == 4 && k + 2 < n) {
            Segment c;
            c.K = Segment::Curve;
            for (int j = 0; j < 3; ++j)
                if (!impl_->ToOutput(points[k + j], c.P[j])) return;
            path.push_back(c);
            k += 2;
            cp = points[k];
        } else {
            break; // a type that makes no figure ends the drawing
        }
        if (types[k] & 1) {
            path.push_back({Segment::Close, {}});
            cp = figureStart;
            Segment m;
            if (!impl_->ToOutput(cp, m.P[0])) return;
            path.push_back(m);
        }
    }
    impl_->S.Position = cp;
    if (impl_->InPath)
        impl_->AppendToPath(path, true);
    else
        impl_->Shape(std::move(path), false, true);
}

void Canvas::SetPixel(Point p, Colour c) {
    Impl& d = *impl_;
    if (d.InPath || !Finite(p.X) || !Finite(p.Y)) return;
    const Point dev = d.LogicalToDevice(p);
    const double x = std::floor(dev.X), y = std::floor(dev.Y);
    Point a, b;
    if (!d.DeviceToOutput({x, y}, a) || !d.DeviceToOutput({x + 1, y + 1}, b)) return;
    // The device's pixel, at least one of the output's.
    const double cx = (a.X + b.X) / 2, cy = (a.Y + b.Y) / 2;
    const double hw = std::max(std::fabs(b.X - a.X), 1.0) / 2,
                 hh = std::max(std::fabs(b.Y - a.Y), 1.0) / 2;
    Path path;
    const Point corners[4] = {
        {cx - hw, cy - hh}, {cx + hw, cy - hh}, {cx + hw, cy + hh}, {cx - hw, cy + hh}};
    for (int k = 0; k < 4; ++k)
        path.push_back({k ? Segment::Line : Segment::Move, {corners[k]}});
    path.push_back({Segment::Close, {}});
    if (!d.BeginDraw(&path)) return;
    d.Emit(path);
    cairo_set_source_rgb(d.Cr, c.R / 255.0, c.G / 255.0, c.B / 255.0);
    cairo_fill(d.Cr);
    d.EndDraw();
}

// ---- paths ----

void Canvas::BeginPath() {
    Impl& d = *impl_;
    d.InPath = true;
    d.PathReady = d.Widened = false;
    d.FigureOpen = false;
    d.CurrentPath.clear();
}

void Canvas::EndPath() {
    if (!impl_->InPath) return;
    impl_->InPath = false;
    impl_->PathReady = true;
}

void Canvas::AbortPath() {
    impl_->InPath = impl_->PathReady = impl_->FigureOpen = impl_->Widened = false;
    impl_->CurrentPath.clear();
}

void Canvas::CloseFigure() {
    Impl& d = *impl_;
    if (!d.InPath || !d.FigureOpen) return;
    d.CurrentPath.push_back({Segment::Close, {}});
    d.FigureOpen = false;
}

void Canvas::FlattenPath() {} // cairo draws the curves as they are
void Canvas::WidenPath() {
    Impl& d = *impl_;
    if (!d.PathReady || !d.PenVisible()) return;
    d.Widened = true;
    d.WidenPen = d.S.SelPen;
    d.WidenWidth = d.PenWidthOutput();
}

void Canvas::Impl::UsePath(bool fill, bool stroke) {
    Impl& d = *this;
    if (!d.PathReady) return;
    Path path = std::move(d.CurrentPath);
    d.CurrentPath.clear();
    d.PathReady = false;
    const bool widened = std::exchange(d.Widened, false);
    if (path.empty() || !d.BeginDraw(&path)) return;
    if (widened && fill) { // the widened outline's inside: the pen's stroke, in the brush
        const RopPlan plan = PlanRop2(d.S.Rop2);
        d.Emit(path, d.StrokeShift());
        ApplyPenStyle(d.Cr, d.WidenPen, d.WidenWidth, d.S.MiterLimit);
        if (!plan.Skip && d.SetBrushSource(d.S.SelBrush, plan)) cairo_stroke(d.Cr);
        cairo_new_path(d.Cr);
        cairo_set_dash(d.Cr, nullptr, 0, 0);
    } else if (fill && d.S.SelBrush.Style != kBsNull) {
        d.Emit(path);
        d.FillCurrent(d.S.SelBrush, d.S.FillMode);
    }
    if (stroke && d.PenVisible()) {
        d.Emit(path, d.StrokeShift());
        d.StrokeCurrent();
    }
    d.EndDraw();
}

void Canvas::FillPath() {
    impl_->UsePath(true, false);
}
void Canvas::StrokePath() {
    impl_->UsePath(false, true);
}
void Canvas::StrokeAndFillPath() {
    impl_->UsePath(true, true);
}

void Canvas::SelectClipPath(int mode) {
    Impl& d = *impl_;
    if (!d.PathReady) return;
    Path path = std::move(d.CurrentPath);
    d.CurrentPath.clear();
    d.PathReady = false;
    d.CombineClip(&path, nullptr, mode, d.S.FillMode, std::exchange(d.Widened, false));
}

} // namespace tlc::gdi
