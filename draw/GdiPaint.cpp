// Pens, brushes and the binary raster operations of the device context.
#include <algorithm>
#include <cmath>

#include "draw/GdiCanvasImpl.h"

namespace tlc::gdi {

namespace {

constexpr std::size_t kMaxDashes = 16;

Colour Inverted(Colour c) {
    return {static_cast<std::uint8_t>(255 - c.R), static_cast<std::uint8_t>(255 - c.G),
            static_cast<std::uint8_t>(255 - c.B)};
}

Colour Planned(Colour c, const RopPlan& plan) {
    if (plan.Forced) return plan.ForcedColour;
    return plan.Invert ? Inverted(c) : c;
}

void SetColour(cairo_t* cr, Colour c) {
    cairo_set_source_rgb(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0);
}

// The six hatches on an 8 x 8 cell, one pixel wide, as the platform draws them.
bool HatchBit(std::uint32_t hatch, int x, int y) {
    switch (hatch) {
    case kHsHorizontal:
        return y == 7;
    case kHsVertical:
        return x == 7;
    case kHsFDiagonal:
        return x == y;
    case kHsBDiagonal:
        return x == 7 - y;
    case kHsCross:
        return x == 7 || y == 7;
    case kHsDiagCross:
        return x == y || x == 7 - y;
    default:
        return false;
    }
}

} // namespace

RopPlan PlanRop2(int rop2) {
    constexpr cairo_operator_t kCopy = CAIRO_OPERATOR_OVER, kXor = CAIRO_OPERATOR_DIFFERENCE,
                               kAnd = CAIRO_OPERATOR_MULTIPLY, kOr = CAIRO_OPERATOR_LIGHTEN;
    RopPlan p;
    // clang-format off
    switch (rop2) {
    case 1:  p.Forced = true; p.ForcedColour = {0, 0, 0}; break;         // R2_BLACK
    case 16: p.Forced = true; p.ForcedColour = {255, 255, 255}; break;   // R2_WHITE
    case 11: p.Skip = true; break;                                       // R2_NOP
    case 4:                                                              // R2_NOTCOPYPEN
    case 8:  p.Invert = true; break;                                     // R2_NOTMASKPEN, on white
    case 6:  p = {false, kXor, true, false, true, {255, 255, 255}}; break; // R2_NOT
    case 7:  p = {false, kXor, true, false, false, {}}; break;           // R2_XORPEN
    case 10: p = {false, kXor, true, true, false, {}}; break;            // R2_NOTXORPEN
    case 9:  p = {false, kAnd, true, false, false, {}}; break;           // R2_MASKPEN
    case 3:  p = {false, kAnd, true, true, false, {}}; break;            // R2_MASKNOTPEN
    case 15: p = {false, kOr, true, false, false, {}}; break;            // R2_MERGEPEN
    case 12: p = {false, kOr, true, true, false, {}}; break;             // R2_MERGENOTPEN
    default: p.Op = kCopy; break; // R2_COPYPEN and the rare rest
    }
    // clang-format on
    return p;
}

void Canvas::Impl::Emit(const Path& path, Point shift) const {
    EmitPath(Cr, path, shift);
}

void EmitPath(cairo_t* Cr, const Path& path, Point shift) {
    cairo_new_path(Cr);
    for (const Segment& s : path) {
        switch (s.K) {
        case Segment::Move:
            cairo_move_to(Cr, s.P[0].X + shift.X, s.P[0].Y + shift.Y);
            break;
        case Segment::Line:
            cairo_line_to(Cr, s.P[0].X + shift.X, s.P[0].Y + shift.Y);
            break;
        case Segment::Curve:
            cairo_curve_to(Cr, s.P[0].X + shift.X, s.P[0].Y + shift.Y, s.P[1].X + shift.X,
                           s.P[1].Y + shift.Y, s.P[2].X + shift.X, s.P[2].Y + shift.Y);
            break;
        case Segment::Close:
            cairo_close_path(Cr);
            break;
        }
    }
}

Point Canvas::Impl::PixelOfDevice() const {
    // Where the device is at least as fine as the output, its pixels; an
    // enlarged picture is drawn by its exact geometry instead.
    const double x = std::hypot(D2O.xx, D2O.yx), y = std::hypot(D2O.xy, D2O.yy);
    return {x <= 1 ? x : 0, y <= 1 ? y : 0};
}

Point Canvas::Impl::StrokeShift() const {
    // A one-pixel line covers the pixels its points name: its middle runs
    // half a pixel right and down of them.
    const Point px = PixelOfDevice();
    return {px.X / 2, px.Y / 2};
}

bool Canvas::Impl::PenVisible() const {
    return (S.SelPen.Style & kPsStyleMask) != kPsNull;
}

double Canvas::Impl::PenWidthOutput() const {
    const Pen& pen = S.SelPen;
    if (!(pen.Width > 0) || !std::isfinite(pen.Width)) return 1;
    // The width runs along logical x, then is as wide in every direction.
    const double device = std::hypot(L2D.xx * pen.Width, L2D.yx * pen.Width);
    const double outScale = std::sqrt(std::fabs(D2O.xx * D2O.yy - D2O.xy * D2O.yx));
    const double w = device * outScale;
    if (!std::isfinite(w)) return 1;
    return std::clamp(w, 1.0, 1e5); // thin lines keep one output pixel
}

void ApplyPenStyle(cairo_t* Cr, const Pen& pen, double width, double miterLimit) {
    const bool geometric = (pen.Style & kPsTypeMask) == kPsGeometric;
    const bool wide = width > 1.5;
    cairo_set_line_width(Cr, width);
    cairo_line_cap_t cap = wide ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT;
    cairo_line_join_t join = wide ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER;
    if (geometric) {
        const std::uint32_t c = pen.Style & kPsEndcapMask, j = pen.Style & kPsJoinMask;
        cap = c == kPsEndcapSquare ? CAIRO_LINE_CAP_SQUARE
              : c == kPsEndcapFlat ? CAIRO_LINE_CAP_BUTT
                                   : CAIRO_LINE_CAP_ROUND;
        join = j == kPsJoinBevel   ? CAIRO_LINE_JOIN_BEVEL
               : j == kPsJoinMiter ? CAIRO_LINE_JOIN_MITER
                                   : CAIRO_LINE_JOIN_ROUND;
    }
    cairo_set_line_cap(Cr, cap);
    cairo_set_line_join(Cr, join);
    cairo_set_miter_limit(Cr, miterLimit);

    // Dashes: a thin pen's in output pixels, a wider one's in its widths.
    std::vector<double> dashes;
    const std::uint32_t style = pen.Style & kPsStyleMask;
    const bool scaled = geometric || wide;
    switch (style) {
    case kPsDash:
        dashes = scaled ? std::vector<double>{3, 1} : std::vector<double>{18, 6};
        break;
    case kPsDot:
        dashes = scaled ? std::vector<double>{1, 1} : std::vector<double>{3, 3};
        break;
    case kPsDashDot:
        dashes = scaled ? std::vector<double>{3, 1, 1, 1} : std::vector<double>{9, 6, 3, 6};
        break;
    case kPsDashDotDot:
        dashes =
            scaled ? std::vector<double>{3, 1, 1, 1, 1, 1} : std::vector<double>{9, 3, 3, 3, 3, 3};
        break;
    case kPsAlternate:
        dashes = {1, 1};
        break;
    case kPsUserStyle: { // logical units, as the pen's width
        const double scale = pen.Width > 0 ? width / pen.Width : 1;
        for (std::size_t k = 0; k < pen.Dashes.size() && k < kMaxDashes; ++k)
            dashes.push_back(std::fabs(pen.Dashes[k]) * scale / (scaled ? width : 1));
        if (dashes.size() % 2) dashes.push_back(dashes.back());
        break;
    }
    default:
        break;
    }
    double period = 0;
    for (double& v : dashes) {
        v = std::isfinite(v) ? v * (scaled ? width : 1) : 0;
        period += v;
    }
    if (period >= 2 && period < 1e6) {
        if (cap != CAIRO_LINE_CAP_BUTT) { // the caps grow each dash: leave the gaps open
            for (std::size_t k = 0; k + 1 < dashes.size(); k += 2) {
                const double grow = std::min(width, dashes[k]);
                dashes[k] -= grow;
                dashes[k + 1] += grow;
            }
        }
        cairo_set_dash(Cr, dashes.data(), static_cast<int>(dashes.size()), 0);
    } else {
        cairo_set_dash(Cr, nullptr, 0, 0);
    }
}

void Canvas::Impl::StrokeCurrent() {
    const Pen& pen = S.SelPen;
    const RopPlan plan = PlanRop2(S.Rop2);
    if (plan.Skip) {
        cairo_new_path(Cr);
        return;
    }
    ApplyPenStyle(Cr, pen, PenWidthOutput(), S.MiterLimit);
    if (plan.Underlay) {
        cairo_set_source_rgb(Cr, 1, 1, 1);
        cairo_set_operator(Cr, CAIRO_OPERATOR_DEST_OVER);
        cairo_stroke_preserve(Cr);
    }
    cairo_set_operator(Cr, plan.Op);
    SetColour(Cr, Planned(pen.Colour, plan));
    cairo_stroke(Cr);
    cairo_set_operator(Cr, CAIRO_OPERATOR_OVER);
    cairo_set_dash(Cr, nullptr, 0, 0);
}

void FillWithOperator(cairo_t* cr, cairo_operator_t op, bool underlay) {
    if (underlay) {
        cairo_pattern_t* source = cairo_pattern_reference(cairo_get_source(cr));
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_set_operator(cr, CAIRO_OPERATOR_DEST_OVER);
        cairo_fill_preserve(cr);
        cairo_set_source(cr, source);
        cairo_pattern_destroy(source);
    }
    cairo_set_operator(cr, op);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

void Canvas::Impl::FillCurrent(const Brush& brush, int fillMode) {
    const RopPlan plan = PlanRop2(S.Rop2);
    cairo_set_fill_rule(Cr,
                        fillMode == kWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    if (plan.Skip || !SetBrushSource(brush, plan)) {
        cairo_new_path(Cr);
        return;
    }
    FillWithOperator(Cr, plan.Op, plan.Underlay);
}

bool Canvas::Impl::SetBrushSource(const Brush& brush, const RopPlan& plan) {
    if (brush.Style == kBsNull) return false;
    if (brush.Style == kBsSolid || plan.Forced) {
        SetColour(Cr, Planned(brush.Colour, plan));
        return true;
    }
    if (brush.Style == kBsHatched && brush.Hatch > kHsDiagCross) {
        // The solid "hatches": the brush's, the text's or the background's colour.
        const std::uint32_t h = brush.Hatch;
        SetColour(Cr, Planned(h <= 7 ? brush.Colour : h <= 9 ? S.TextColour : S.BkColour, plan));
        return true;
    }
    SurfacePtr cell;
    if (brush.Style == kBsHatched) {
        cell = AdoptSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8));
        if (!cell) return false;
        const Colour fore = Planned(brush.Colour, plan), back = Planned(S.BkColour, plan);
        const bool opaque = S.BkMode == kOpaque;
        cairo_surface_flush(cell.get());
        unsigned char* data = cairo_image_surface_get_data(cell.get());
        const int stride = cairo_image_surface_get_stride(cell.get());
        for (int y = 0; y < 8; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
            for (int x = 0; x < 8; ++x) {
                const bool on = HatchBit(brush.Hatch, x, y);
                const Colour c = on ? fore : back;
                row[x] = on || opaque ? 0xFF000000u | (c.R << 16) | (c.G << 8) | c.B : 0;
            }
        }
        cairo_surface_mark_dirty(cell.get());
    } else {
        cell = PatternSurface(brush);
        if (!cell) { // a pattern that cannot be read paints as its colour would
            SetColour(Cr, Planned(brush.Colour, plan));
            return true;
        }
    }
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(cell.get());
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    // The cells start at the brush origin (device units), one cell pixel an output pixel.
    Point origin;
    if (!DeviceToOutput(S.BrushOrg, origin)) origin = {};
    cairo_matrix_t m;
    cairo_matrix_init_translate(&m, -std::round(origin.X), -std::round(origin.Y));
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(Cr, pattern);
    cairo_pattern_destroy(pattern);
    return true;
}

SurfacePtr Canvas::Impl::PatternSurface(const Brush& brush) {
    if (!brush.Pattern) return nullptr;
    const bool mono = brush.Style == kBsPattern; // 0 bits: text colour, 1 bits: background
    const Colour fore = S.TextColour, back = S.BkColour;
    if (CachedDib == brush.Pattern && CachedPattern &&
        (!mono || (CachedFore == fore && CachedBack == back)))
        return CachedPattern;
    CachedPattern =
        DibSurface(*brush.Pattern, Palette, mono ? &fore : nullptr, mono ? &back : nullptr, false);
    CachedDib = brush.Pattern;
    CachedFore = fore;
    CachedBack = back;
    return CachedPattern;
}

} // namespace tlc::gdi
