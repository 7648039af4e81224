#include "draw/GdiCanvas.h"

#include <algorithm>
#include <cmath>

#include "draw/GdiCanvasImpl.h"

namespace tlc::gdi {

namespace {

// Output coordinates stay well inside cairo's fixed-point range.
constexpr double kCoordLimit = 1e6;
// More saved states than any real picture keeps: a damaged file cannot grow the stack.
constexpr std::size_t kMaxSaved = 4096;

cairo_matrix_t FromTransform(const Transform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.M11, t.M12, t.M21, t.M22, t.Dx, t.Dy);
    return m;
}

Transform ToTransform(const cairo_matrix_t& m) {
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

bool FiniteTransform(const Transform& t) {
    return Finite(t.M11) && Finite(t.M12) && Finite(t.M21) && Finite(t.M22) && Finite(t.Dx) &&
           Finite(t.Dy);
}

} // namespace

SurfacePtr AdoptSurface(cairo_surface_t* s) {
    if (!s) return nullptr;
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return SurfacePtr(s, cairo_surface_destroy);
}

RegionPtr AdoptRegion(cairo_region_t* r) {
    if (!r) return nullptr;
    if (cairo_region_status(r) != CAIRO_STATUS_SUCCESS) {
        cairo_region_destroy(r);
        return nullptr;
    }
    return RegionPtr(r, cairo_region_destroy);
}

// ---- transforms ----

void Canvas::Impl::UpdateMatrices() {
    double sx = 1, sy = 1;
    const State& s = S;
    switch (s.MapMode) {
    case kMmLoMetric:
        sx = 0.1 * PpmX;
        sy = -0.1 * PpmY;
        break;
    case kMmHiMetric:
        sx = 0.01 * PpmX;
        sy = -0.01 * PpmY;
        break;
    case kMmLoEnglish:
        sx = 0.254 * PpmX;
        sy = -0.254 * PpmY;
        break;
    case kMmHiEnglish:
        sx = 0.0254 * PpmX;
        sy = -0.0254 * PpmY;
        break;
    case kMmTwips:
        sx = 25.4 / 1440 * PpmX;
        sy = -25.4 / 1440 * PpmY;
        break;
    case kMmIsotropic:
    case kMmAnisotropic:
        sx = s.ViewportExtX / s.WindowExtX;
        sy = s.ViewportExtY / s.WindowExtY;
        if (s.MapMode == kMmIsotropic) { // the smaller scale for both, each keeping its sign
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        break;
    }
    cairo_matrix_t page;
    cairo_matrix_init(&page, sx, 0, 0, sy, s.ViewportOrg.X - s.WindowOrg.X * sx,
                      s.ViewportOrg.Y - s.WindowOrg.Y * sy);
    const cairo_matrix_t world = FromTransform(s.World);
    cairo_matrix_multiply(&L2D, &world, &page);
    D2O = FromTransform(Output);
    cairo_matrix_multiply(&L2O, &L2D, &D2O);
    const double det = L2O.xx * L2O.yy - L2O.xy * L2O.yx;
    Degenerate = !Finite(det) || std::fabs(det) < 1e-18 || !Finite(L2O.x0) || !Finite(L2O.y0);
}

bool Canvas::Impl::ToOutput(Point p, Point& out) const {
    double x = p.X, y = p.Y;
    cairo_matrix_transform_point(&L2O, &x, &y);
    if (!Finite(x) || !Finite(y)) return false;
    out = {std::clamp(x, -kCoordLimit, kCoordLimit), std::clamp(y, -kCoordLimit, kCoordLimit)};
    return true;
}

bool Canvas::Impl::DeviceToOutput(Point p, Point& out) const {
    double x = p.X, y = p.Y;
    cairo_matrix_transform_point(&D2O, &x, &y);
    if (!Finite(x) || !Finite(y)) return false;
    out = {std::clamp(x, -kCoordLimit, kCoordLimit), std::clamp(y, -kCoordLimit, kCoordLimit)};
    return true;
}

Point Canvas::Impl::LogicalToDevice(Point p) const {
    cairo_matrix_transform_point(&L2D, &p.X, &p.Y);
    return p;
}

Canvas::Canvas(int width, int height) : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    d.Width = std::max(width, 0);
    d.Height = std::max(height, 0);
    d.Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, d.Width, d.Height);
    d.Cr = cairo_create(d.Surface);
    cairo_set_antialias(d.Cr, CAIRO_ANTIALIAS_GOOD);
    d.UpdateMatrices();
}

Canvas::~Canvas() {
    cairo_destroy(impl_->Cr);
    cairo_surface_destroy(impl_->Surface);
}

void Canvas::SetOutputTransform(const Transform& t) {
    if (!FiniteTransform(t)) return;
    impl_->Output = t;
    impl_->UpdateMatrices();
}

void Canvas::SetDeviceResolution(double x, double y) {
    if (!(x > 0 && y > 0 && Finite(x) && Finite(y))) return;
    impl_->PpmX = x;
    impl_->PpmY = y;
    impl_->UpdateMatrices();
}

void Canvas::SetMapMode(int mode) {
    if (mode < kMmText || mode > kMmAnisotropic) return;
    impl_->S.MapMode = mode;
    impl_->UpdateMatrices();
}

namespace {
bool Scalable(int mode) {
    return mode == kMmIsotropic || mode == kMmAnisotropic;
}
bool UsableExtent(double cx, double cy) {
    return Finite(cx) && Finite(cy) && cx != 0 && cy != 0;
}
} // namespace

void Canvas::SetWindowOrg(Point p) {
    if (!Finite(p.X) || !Finite(p.Y)) return;
    impl_->S.WindowOrg = p;
    impl_->UpdateMatrices();
}

void Canvas::SetViewportOrg(Point p) {
    if (!Finite(p.X) || !Finite(p.Y)) return;
    impl_->S.ViewportOrg = p;
    impl_->UpdateMatrices();
}

void Canvas::SetWindowExt(double cx, double cy) {
    State& s = impl_->S;
    if (!Scalable(s.MapMode) || !UsableExtent(cx, cy)) return; // fixed modes keep their own
    s.WindowExtX = cx;
    s.WindowExtY = cy;
    impl_->UpdateMatrices();
}

void Canvas::SetViewportExt(double cx, double cy) {
    State& s = impl_->S;
    if (!Scalable(s.MapMode) || !UsableExtent(cx, cy)) return;
    s.ViewportExtX = cx;
    s.ViewportExtY = cy;
    impl_->UpdateMatrices();
}

void Canvas::OffsetWindowOrg(double dx, double dy) {
    SetWindowOrg({impl_->S.WindowOrg.X + dx, impl_->S.WindowOrg.Y + dy});
}

void Canvas::OffsetViewportOrg(double dx, double dy) {
    SetViewportOrg({impl_->S.ViewportOrg.X + dx, impl_->S.ViewportOrg.Y + dy});
}

void Canvas::ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetWindowExt(impl_->S.WindowExtX * xNum / xDenom, impl_->S.WindowExtY * yNum / yDenom);
}

void Canvas::ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    if (xDenom == 0 || yDenom == 0) return;
    SetViewportExt(impl_->S.ViewportExtX * xNum / xDenom, impl_->S.ViewportExtY * yNum / yDenom);
}

void Canvas::SetWorldTransform(const Transform& t) {
    if (!FiniteTransform(t)) return;
    impl_->S.World = t;
    impl_->UpdateMatrices();
}

void Canvas::ModifyWorldTransform(const Transform& t, int mode) {
    State& s = impl_->S;
    if (mode == kMwtIdentity) {
        s.World = Transform{};
    } else {
        if (!FiniteTransform(t)) return;
        const cairo_matrix_t a = FromTransform(t), cur = FromTransform(s.World);
        cairo_matrix_t r;
        if (mode == kMwtLeftMultiply)
            cairo_matrix_multiply(&r, &a, &cur); // t applies first
        else if (mode == kMwtRightMultiply)
            cairo_matrix_multiply(&r, &cur, &a);
        else if (mode == kMwtSet)
            r = a;
        else
            return;
        const Transform n = ToTransform(r);
        if (!FiniteTransform(n)) return;
        s.World = n;
    }
    impl_->UpdateMatrices();
}

// ---- attributes ----

void Canvas::SelectPen(const Pen& pen) {
    impl_->S.SelPen = pen;
}
void Canvas::SelectBrush(const Brush& brush) {
    impl_->S.SelBrush = brush;
}
void Canvas::SelectFont(const Font& font) {
    impl_->S.SelFont = font;
}
void Canvas::SetTextColour(Colour c) {
    impl_->S.TextColour = c;
}
void Canvas::SetBkColour(Colour c) {
    impl_->S.BkColour = c;
}
void Canvas::SetBkMode(int mode) {
    if (mode == kTransparent || mode == kOpaque) impl_->S.BkMode = mode;
}
void Canvas::SetPolyFillMode(int mode) {
    if (mode == kAlternate || mode == kWinding) impl_->S.FillMode = mode;
}
void Canvas::SetRop2(int rop2) {
    if (rop2 >= 1 && rop2 <= 16) impl_->S.Rop2 = rop2;
}
void Canvas::SetTextAlign(std::uint32_t align) {
    impl_->S.TextAlign = align;
}
void Canvas::SetTextCharacterExtra(double extra) {
    if (Finite(extra)) impl_->S.CharExtra = extra;
}
// Records with advances of their own already hold it; text without them gets it.
void Canvas::SetTextJustification(double extra, int breaks) {
    if (!Finite(extra)) return;
    impl_->S.BreakExtra = extra;
    impl_->S.BreakCount = breaks;
}
void Canvas::SetMiterLimit(double limit) {
    if (Finite(limit) && limit >= 1) impl_->S.MiterLimit = limit;
}
void Canvas::SetArcDirection(int direction) {
    if (direction == 1 || direction == 2) impl_->S.ArcDirection = direction;
}
void Canvas::SetBrushOrg(Point p) {
    if (Finite(p.X) && Finite(p.Y)) impl_->S.BrushOrg = p;
}
void Canvas::SetPalette(std::vector<Colour> palette) {
    if (palette.size() > 4096) palette.resize(4096);
    impl_->Palette = std::move(palette);
    impl_->CachedDib = nullptr;
}

void Canvas::Save() {
    if (impl_->Saved.size() < kMaxSaved) impl_->Saved.push_back(impl_->S);
}

void Canvas::Restore(int level) {
    auto& saved = impl_->Saved;
    const auto count = static_cast<long long>(saved.size());
    long long keep; // states left on the stack; the one above them comes back
    if (level < 0)
        keep = count + level;
    else if (level > 0)
        keep = static_cast<long long>(level) - 1;
    else
        return;
    if (keep < 0 || keep >= count) return;
    impl_->S = std::move(saved[static_cast<std::size_t>(keep)]);
    saved.resize(static_cast<std::size_t>(keep));
    impl_->ClipDirty = true;
    impl_->UpdateMatrices();
}

// ---- the result ----

bool Canvas::Finish(std::vector<std::uint8_t>& rgb) {
    Impl& d = *impl_;
    if (cairo_surface_status(d.Surface) != CAIRO_STATUS_SUCCESS || d.Width == 0 || d.Height == 0) {
        rgb.clear(); // a size cairo could not make holds no picture
        return false;
    }
    rgb.assign(static_cast<std::size_t>(d.Width) * static_cast<std::size_t>(d.Height) * 3, 255);
    cairo_surface_flush(d.Surface);
    // Premultiplied pixels over white; nothing with any cover: no mark.
    const unsigned char* data = cairo_image_surface_get_data(d.Surface);
    const int stride = cairo_image_surface_get_stride(d.Surface);
    bool marked = false;
    std::uint8_t* out = rgb.data();
    for (int y = 0; y < d.Height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < d.Width; ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t uncovered = 255 - (p >> 24);
            marked |= uncovered != 255;
            *out++ = static_cast<std::uint8_t>(((p >> 16) & 0xFF) + uncovered);
            *out++ = static_cast<std::uint8_t>(((p >> 8) & 0xFF) + uncovered);
            *out++ = static_cast<std::uint8_t>((p & 0xFF) + uncovered);
        }
    }
    return marked;
}

} // namespace tlc::gdi
