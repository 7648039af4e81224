// Text of the device context: the characters decoded, then drawn by
// DrawText in logical units with the context's settings.
#include <cmath>

#include "draw/GdiCanvasImpl.h"
#include "draw/GdiText.h"

namespace tlc::gdi {

// Where the text can reach, generously (logical units, any angle): for the
// masked clip, whose drawing groups are only as large as their reach.
bool Canvas::Impl::TextReach(Point p, std::size_t length, std::span<const double> dx, const Rect* rect,
                             Path& reach) const {
    const Impl& d = *this;
    const Font& font = d.S.SelFont;
    const double em = std::max(std::fabs(font.Height), 2 * std::fabs(font.Width));
    if (!(em > 0) || !std::isfinite(em)) return false; // a default size: no estimate
    double advance = 2 * em * static_cast<double>(length) + std::fabs(d.S.CharExtra) * static_cast<double>(length);
    if (d.S.BreakCount > 0) advance += std::fabs(d.S.BreakExtra) / d.S.BreakCount * static_cast<double>(length);
    for (const double v : dx) advance += std::fabs(v);
    const double r = advance + 2 * em;
    if (!std::isfinite(r)) return false;
    if (!d.AddRect(reach, {p.X - r, p.Y - r, p.X + r, p.Y + r})) return false;
    return !rect || d.AddRect(reach, *rect);
}

void Canvas::Impl::Text(Point p, std::u32string_view text, std::span<const double> dx, std::uint32_t options,
                        const Rect* rect) {
    Impl& d = *this;
    if (d.InPath) return;
    const bool updateCp = d.S.TextAlign & kTaUpdateCp;
    if (updateCp) p = d.S.Position;
    Path reach;
    if (!d.BeginDraw(TextReach(p, text.size(), dx, rect, reach) ? &reach : nullptr)) return;
    TextSettings settings;
    settings.Font = d.S.SelFont;
    settings.TextColour = d.S.TextColour;
    settings.BkColour = d.S.BkColour;
    settings.BkMode = d.S.BkMode;
    settings.Align = d.S.TextAlign;
    settings.CharExtra = d.S.CharExtra;
    settings.BreakExtra = d.S.BreakExtra;
    settings.BreakCount = d.S.BreakCount;
    cairo_save(d.Cr);
    cairo_set_matrix(d.Cr, &d.L2O);
    const Point end = DrawText(d.Cr, p, text, dx, options, rect, settings);
    cairo_restore(d.Cr);
    d.EndDraw();
    d.ClipDirty = true; // the text may have clipped to its rectangle
    if (updateCp) d.S.Position = end;
}

void Canvas::TextOut8(Point p, std::string_view bytes, std::span<const double> dx, std::uint32_t options,
                      const Rect* rect) {
    impl_->Text(p, DecodeText8(bytes, impl_->S.SelFont), dx, options, rect);
}

void Canvas::TextOutWide(Point p, std::u16string_view text, std::span<const double> dx, std::uint32_t options,
                         const Rect* rect) {
    impl_->Text(p, options & kEtoGlyphIndex ? DecodeGlyphIndexes(text) : DecodeUtf16(text, impl_->S.SelFont), dx,
                options, rect);
}

} // namespace tlc::gdi
