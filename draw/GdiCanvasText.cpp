// Text of the device context: the characters decoded, then drawn by
// DrawText in logical units with the context's settings.
#include "draw/GdiCanvasImpl.h"
#include "draw/GdiText.h"

namespace tlc::gdi {

void Canvas::Impl::Text(Point p, std::u32string_view text, std::span<const double> dx, std::uint32_t options,
                        const Rect* rect) {
    Impl& d = *this;
    if (d.InPath) return;
    const bool updateCp = d.S.TextAlign & kTaUpdateCp;
    if (updateCp) p = d.S.Position;
    if (!d.BeginDraw()) return;
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
