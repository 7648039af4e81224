// Clipping and regions of the device context. The clip lives in output
// pixels, as a device context keeps it in device units: later changes of
// the mapping do not move it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "draw/GdiCanvasImpl.h"

namespace tlc::gdi {

namespace {

constexpr double kPixelLimit = 1 << 20;

int PixelEdge(double v) {
    return static_cast<int>(std::lround(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

bool AxisAligned(const cairo_matrix_t& m) {
    return m.xy == 0 && m.yx == 0;
}

// The rectangle between two output points, as whole pixels.
cairo_rectangle_int_t PixelRect(Point a, Point b) {
    const int x0 = PixelEdge(std::min(a.X, b.X)), x1 = PixelEdge(std::max(a.X, b.X));
    const int y0 = PixelEdge(std::min(a.Y, b.Y)), y1 = PixelEdge(std::max(a.Y, b.Y));
    return {x0, y0, x1 - x0, y1 - y0};
}

// The pixels a coverage mask lets through, as one bounding rectangle.
cairo_rectangle_int_t MaskBounds(cairo_surface_t* mask) {
    cairo_surface_flush(mask);
    const unsigned char* data = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const int w = cairo_image_surface_get_width(mask), h = cairo_image_surface_get_height(mask);
    int x0 = w, x1 = -1, y0 = h, y1 = -1;
    for (int y = 0; y < h; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        int first = 0;
        while (first < w && row[first] == 0)
            ++first;
        if (first == w) continue;
        int last = w - 1;
        while (row[last] == 0)
            --last;
        x0 = std::min(x0, first);
        x1 = std::max(x1, last);
        y0 = std::min(y0, y);
        y1 = y;
    }
    if (x1 < 0) return {0, 0, 0, 0};
    return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

} // namespace

bool Canvas::Impl::BeginDraw(const Path* area) {
    if (Degenerate || !Cr || cairo_surface_status(Surface) != CAIRO_STATUS_SUCCESS) return false;
    if (cairo_status(Cr) != CAIRO_STATUS_SUCCESS) {
        // A call cairo refused leaves its context refusing all later ones:
        // a fresh one on the same pixels goes on drawing.
        cairo_destroy(Cr);
        Cr = cairo_create(Surface);
        cairo_set_antialias(Cr, CAIRO_ANTIALIAS_GOOD);
        ClipDirty = true;
    }
    if (ClipDirty) {
        ApplyClip();
        ClipDirty = false;
    }
    const Clip& clip = S.ClipArea;
    if (clip.Region && cairo_region_is_empty(clip.Region.get())) return false;
    if (clip.Mask && (clip.MaskBounds.width == 0 || clip.MaskBounds.height == 0)) return false;
    cairo_identity_matrix(Cr);
    if (!clip.Mask) return true;
    // The drawing goes into a group and through the mask: the group only as
    // large as what the drawing can reach.
    cairo_rectangle_int_t reach = clip.MaskBounds;
    if (area && !area->empty()) {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (const Segment& s : *area) {
            for (int k = 0; k < (s.K == Segment::Curve ? 3 : s.K == Segment::Close ? 0 : 1); ++k) {
                x0 = std::min(x0, s.P[k].X), x1 = std::max(x1, s.P[k].X);
                y0 = std::min(y0, s.P[k].Y), y1 = std::max(y1, s.P[k].Y);
            }
        }
        const double grow = std::min(PenWidthOutput() * std::max(S.MiterLimit, 1.0) / 2, 1e5) + 2;
        const cairo_rectangle_int_t drawn{PixelEdge(std::floor(x0 - grow)),
                                          PixelEdge(std::floor(y0 - grow)), 0, 0};
        const int right = PixelEdge(std::ceil(x1 + grow)), bottom = PixelEdge(std::ceil(y1 + grow));
        const int left = std::max(reach.x, drawn.x), top = std::max(reach.y, drawn.y);
        const int r = std::min(reach.x + reach.width, right),
                  b = std::min(reach.y + reach.height, bottom);
        if (r <= left || b <= top) return false;
        reach = {left, top, r - left, b - top};
    }
    cairo_save(Cr);
    cairo_new_path(Cr);
    cairo_rectangle(Cr, reach.x, reach.y, reach.width, reach.height);
    cairo_clip(Cr);
    cairo_push_group(Cr);
    return true;
}

void Canvas::Impl::EndDraw() {
    const Clip& clip = S.ClipArea;
    if (!clip.Mask) return;
    cairo_pop_group_to_source(Cr);
    cairo_identity_matrix(Cr);
    cairo_set_operator(Cr, CAIRO_OPERATOR_OVER);
    cairo_mask_surface(Cr, clip.Mask.get(), 0, 0);
    cairo_restore(Cr);
}

void Canvas::Impl::ApplyClip() {
    cairo_reset_clip(Cr);
    const Clip& clip = S.ClipArea;
    if (clip.Mask) { // drawings in a mask's group need only its bounds
        const cairo_rectangle_int_t& b = clip.MaskBounds;
        cairo_identity_matrix(Cr);
        cairo_new_path(Cr);
        cairo_rectangle(Cr, b.x, b.y, b.width, b.height);
        cairo_clip(Cr);
        return;
    }
    if (!clip.Region) return;
    cairo_identity_matrix(Cr);
    cairo_new_path(Cr);
    const int n = cairo_region_num_rectangles(clip.Region.get());
    for (int k = 0; k < n; ++k) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(clip.Region.get(), k, &r);
        cairo_rectangle(Cr, r.x, r.y, r.width, r.height);
    }
    cairo_set_fill_rule(Cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(Cr);
}

SurfacePtr Canvas::Impl::ClipToMask(const Clip& clip) const {
    SurfacePtr mask = AdoptSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, Width, Height));
    if (!mask) return nullptr;
    cairo_t* cr = cairo_create(mask.get());
    if (clip.Mask) {
        cairo_set_source_surface(cr, clip.Mask.get(), 0, 0);
        cairo_paint(cr);
    } else if (clip.Region) {
        const int n = cairo_region_num_rectangles(clip.Region.get());
        for (int k = 0; k < n; ++k) {
            cairo_rectangle_int_t r;
            cairo_region_get_rectangle(clip.Region.get(), k, &r);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
        }
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        cairo_fill(cr);
    } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    return mask;
}

void Canvas::Impl::CombineClip(const Path* path, const cairo_region_t* region, int mode,
                               int fillMode, bool widened) {
    if (mode < kRgnAnd || mode > kRgnCopy) return;
    Clip& clip = S.ClipArea;
    ClipDirty = true;
    if (region && !clip.Mask) {
        RegionPtr result;
        if (mode == kRgnCopy) {
            result = AdoptRegion(cairo_region_copy(region));
        } else {
            const cairo_rectangle_int_t all{0, 0, Width, Height};
            result = AdoptRegion(clip.Region ? cairo_region_copy(clip.Region.get())
                                             : cairo_region_create_rectangle(&all));
            if (!result) return;
            cairo_region_t* r = result.get();
            if (mode == kRgnAnd)
                cairo_region_intersect(r, region);
            else if (mode == kRgnOr)
                cairo_region_union(r, region);
            else if (mode == kRgnXor)
                cairo_region_xor(r, region);
            else
                cairo_region_subtract(r, region);
        }
        if (!result) return;
        clip.Region = std::move(result);
        return;
    }
    // A path, or a clip that is already a mask: coverage masks.
    SurfacePtr shape = AdoptSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, Width, Height));
    if (!shape) return;
    {
        cairo_t* cr = cairo_create(shape.get());
        cairo_set_source_rgba(cr, 0, 0, 0, 1);
        if (region) {
            const int n = cairo_region_num_rectangles(region);
            for (int k = 0; k < n; ++k) {
                cairo_rectangle_int_t r;
                cairo_region_get_rectangle(region, k, &r);
                cairo_rectangle(cr, r.x, r.y, r.width, r.height);
            }
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        } else if (path) {
            EmitPath(cr, *path, {});
            cairo_set_fill_rule(cr, fillMode == kWinding ? CAIRO_FILL_RULE_WINDING
                                                         : CAIRO_FILL_RULE_EVEN_ODD);
        }
        if (widened) { // a widened path clips to the outline its pen strokes
            ApplyPenStyle(cr, WidenPen, WidenWidth, S.MiterLimit);
            cairo_stroke(cr);
        } else {
            cairo_fill(cr);
        }
        cairo_destroy(cr);
    }
    if (mode == kRgnCopy) {
        clip.Region = nullptr;
        clip.MaskBounds = MaskBounds(shape.get());
        clip.Mask = std::move(shape);
        return;
    }
    SurfacePtr result = ClipToMask(clip);
    if (!result) return;
    cairo_t* cr = cairo_create(result.get());
    cairo_set_operator(cr, mode == kRgnAnd   ? CAIRO_OPERATOR_IN
                           : mode == kRgnOr  ? CAIRO_OPERATOR_OVER
                           : mode == kRgnXor ? CAIRO_OPERATOR_XOR
                                             : CAIRO_OPERATOR_DEST_OUT);
    cairo_set_source_surface(cr, shape.get(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    clip.Region = nullptr;
    clip.MaskBounds = MaskBounds(result.get());
    clip.Mask = std::move(result);
}

// A logical rectangle combined with the clip: whole pixels when the
// mapping keeps it upright, else as a shape.
void Canvas::Impl::CombineLogicalRect(const Rect& r, int mode) {
    Impl& d = *this;
    if (d.Degenerate) return;
    if (AxisAligned(d.L2O)) {
        Point a, b;
        if (!d.ToOutput({r.Left, r.Top}, a) || !d.ToOutput({r.Right, r.Bottom}, b)) return;
        const cairo_rectangle_int_t px = PixelRect(a, b);
        RegionPtr region = AdoptRegion(cairo_region_create_rectangle(&px));
        if (region) d.CombineClip(nullptr, region.get(), mode, kWinding);
        return;
    }
    Path path;
    if (d.AddRect(path, r)) d.CombineClip(&path, nullptr, mode, kWinding);
}

void Canvas::IntersectClipRect(const Rect& r) {
    impl_->CombineLogicalRect(r, kRgnAnd);
}
void Canvas::ExcludeClipRect(const Rect& r) {
    impl_->CombineLogicalRect(r, kRgnDiff);
}

void Canvas::OffsetClip(double dx, double dy) {
    Impl& d = *impl_;
    Clip& clip = d.S.ClipArea;
    if (clip.None() || d.Degenerate) return;
    const double ox = d.L2O.xx * dx + d.L2O.xy * dy, oy = d.L2O.yx * dx + d.L2O.yy * dy;
    if (!std::isfinite(ox) || !std::isfinite(oy)) return;
    const int ix = PixelEdge(ox), iy = PixelEdge(oy);
    d.ClipDirty = true;
    if (clip.Region) {
        RegionPtr moved = AdoptRegion(cairo_region_copy(clip.Region.get()));
        if (!moved) return;
        cairo_region_translate(moved.get(), ix, iy);
        // Moved again and again it would leave the range cairo's clip can hold.
        const cairo_rectangle_int_t limit{-(1 << 20), -(1 << 20), 1 << 21, 1 << 21};
        cairo_region_intersect_rectangle(moved.get(), &limit);
        clip.Region = std::move(moved);
        return;
    }
    SurfacePtr moved = AdoptSurface(cairo_image_surface_create(CAIRO_FORMAT_A8, d.Width, d.Height));
    if (!moved) return;
    cairo_t* cr = cairo_create(moved.get());
    cairo_set_source_surface(cr, clip.Mask.get(), ix, iy);
    cairo_paint(cr);
    cairo_destroy(cr);
    clip.MaskBounds = MaskBounds(moved.get());
    clip.Mask = std::move(moved);
}

void Canvas::SelectClipRegion(std::span<const Rect> deviceRects, int mode) {
    Impl& d = *impl_;
    if (deviceRects.empty()) {
        if (mode == kRgnCopy) {
            d.S.ClipArea = Clip{};
            d.ClipDirty = true;
        }
        return;
    }
    if (AxisAligned(d.D2O)) { // built at once: a union rectangle by rectangle takes the square of
                              // their number
        std::vector<cairo_rectangle_int_t> pixels;
        pixels.reserve(deviceRects.size());
        for (const Rect& r : deviceRects) {
            Point a, b;
            if (!d.DeviceToOutput({r.Left, r.Top}, a) || !d.DeviceToOutput({r.Right, r.Bottom}, b))
                continue;
            pixels.push_back(PixelRect(a, b));
        }
        const int count = static_cast<int>(std::min<std::size_t>(pixels.size(), 1 << 20));
        RegionPtr region = AdoptRegion(cairo_region_create_rectangles(pixels.data(), count));
        if (!region) return;
        d.CombineClip(nullptr, region.get(), mode, kWinding);
        return;
    }
    Path path;
    for (const Rect& r : deviceRects) {
        const Point corners[4] = {
            {r.Left, r.Top}, {r.Right, r.Top}, {r.Right, r.Bottom}, {r.Left, r.Bottom}};
        Segment s;
        for (int k = 0; k < 4; ++k) {
            s.K = k == 0 ? Segment::Move : Segment::Line;
            if (!d.DeviceToOutput(corners[k], s.P[0])) return;
            path.push_back(s);
        }
        path.push_back({Segment::Close, {}});
    }
    d.CombineClip(&path, nullptr, mode, kWinding);
}

// ---- regions drawn ----

void Canvas::Impl::FillRects(std::span<const Rect> rects, const Brush& brush) {
    Path path;
    for (const Rect& r : rects)
        if (!AddRect(path, r)) return;
    if (path.empty() || !BeginDraw(&path)) return;
    Emit(path);
    FillCurrent(brush, kWinding);
    EndDraw();
}

void Canvas::FillRegion(std::span<const Rect> rects, const Brush& brush) {
    impl_->FillRects(rects, brush);
}

void Canvas::PaintRegion(std::span<const Rect> rects) {
    impl_->FillRects(rects, impl_->S.SelBrush);
}

void Canvas::FrameRegion(std::span<const Rect> rects, const Brush& brush, double width,
                         double height) {
    Impl& d = *impl_;
    if (!std::isfinite(width) || !std::isfinite(height)) return;
    Path path;
    for (const Rect& r : rects) {
        const double l = std::min(r.Left, r.Right), t = std::min(r.Top, r.Bottom);
        const double rr = std::max(r.Left, r.Right), b = std::max(r.Top, r.Bottom);
        const double w = std::min(std::fabs(width), (rr - l) / 2),
                     h = std::min(std::fabs(height), (b - t) / 2);
        if (!d.AddRect(path, {l, t, rr, b}) || !d.AddRect(path, {l + w, t + h, rr - w, b - h}))
            return;
    }
    if (path.empty() || !d.BeginDraw(&path)) return;
    d.Emit(path);
    d.FillCurrent(brush, kAlternate);
    d.EndDraw();
}

void Canvas::InvertRegion(std::span<const Rect> rects) {
    Impl& d = *impl_;
    Path path;
    for (const Rect& r : rects)
        if (!d.AddRect(path, r)) return;
    if (path.empty() || !d.BeginDraw(&path)) return;
    d.Emit(path);
    cairo_set_fill_rule(d.Cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_source_rgb(d.Cr, 1, 1, 1);
    cairo_set_operator(d.Cr, CAIRO_OPERATOR_DEST_OVER);
    cairo_fill_preserve(d.Cr);
    cairo_set_operator(d.Cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_fill(d.Cr);
    cairo_set_operator(d.Cr, CAIRO_OPERATOR_OVER);
    d.EndDraw();
}

} // namespace tlc::gdi
