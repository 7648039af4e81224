#include "draw/GdiText.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "draw/GdiCharsets.h"
#include "draw/GdiFonts.h"

namespace tlc::gdi {

namespace {

// Longer texts are cut: no record needs more, and the work stays bounded.
constexpr std::size_t kMaxCharacters = 16384;
// A character that keeps its place and advance but shows nothing.
constexpr char32_t kBlank = 0xFFFF;
// Letters larger than this (output pixels) are filled as outlines.
constexpr double kMaxBitmapEm = 512;

bool Finite(Point p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

Point Add(Point a, Point b) { return {a.X + b.X, a.Y + b.Y}; }
Point Scale(Point a, double s) { return {a.X * s, a.Y * s}; }
double Length(Point a) { return std::hypot(a.X, a.Y); }

// The linear part of the logical-to-output matrix applied to a vector.
Point Apply(const cairo_matrix_t& m, Point v) { return {m.xx * v.X + m.xy * v.Y, m.yx * v.X + m.yy * v.Y}; }

void SetColour(cairo_t* cr, Colour c) { cairo_set_source_rgb(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0); }

// A band along the baseline from a to a + along, between the offsets near
// and far on the side dir points to (output units).
void FillBand(cairo_t* cr, Point a, Point along, Point dir, double near, double far) {
    const Point p0 = Add(a, Scale(dir, near)), p1 = Add(a, Scale(dir, far));
    cairo_move_to(cr, p0.X, p0.Y);
    cairo_line_to(cr, p0.X + along.X, p0.Y + along.Y);
    cairo_line_to(cr, p1.X + along.X, p1.Y + along.Y);
    cairo_line_to(cr, p1.X, p1.Y);
    cairo_close_path(cr);
    cairo_fill(cr);
}

struct PlacedGlyph {
    int Font = 0;
    bool Shown = true;
    unsigned long Index = 0;
    Point At; // output units
};

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::u32string DecodeText8(std::string_view bytes, const Font& font) {
    std::u32string out;
    const SymbolFace symbol = SymbolFaceOf(font.FaceName);
    for (const char byte : bytes.substr(0, std::min(bytes.size(), kMaxCharacters))) {
        const auto b = static_cast<std::uint8_t>(byte);
        const char32_t c = symbol != SymbolFace::None ? SymbolFaceChar(symbol, b) : CharsetChar(font.CharSet, b);
        if (c != 0) out += c;
    }
    return out;
}

std::u32string DecodeUtf16(std::u16string_view text) {
    std::u32string out;
    for (std::size_t k = 0; k < text.size() && out.size() < kMaxCharacters; ++k) {
        char32_t c = text[k];
        if (c >= 0xD800 && c < 0xDC00) {
            if (k + 1 < text.size() && text[k + 1] >= 0xDC00 && text[k + 1] < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[k + 1] - 0xDC00);
                ++k;
            } else {
                continue;
            }
        } else if (c >= 0xDC00 && c < 0xE000) {
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) continue;
        out += c;
    }
    return out;
}

std::u32string DecodeUtf16(std::u16string_view text, const Font& font) {
    std::u32string out = DecodeUtf16(text);
    const SymbolFace symbol = SymbolFaceOf(font.FaceName);
    if (symbol == SymbolFace::None) return out;
    std::u32string mapped;
    for (const char32_t c : out) {
        char32_t m = c;
        if (c < 0x100) m = SymbolFaceChar(symbol, static_cast<std::uint8_t>(c));
        else if (c >= 0xF020 && c <= 0xF0FF) m = SymbolFaceChar(symbol, static_cast<std::uint8_t>(c - 0xF000));
        if (m != 0) mapped += m;
    }
    return mapped;
}

std::u32string DecodeGlyphIndexes(std::u16string_view glyphs) {
    std::u32string out;
    for (const char16_t g : glyphs.substr(0, std::min(glyphs.size(), kMaxCharacters))) {
        const char32_t c = StandardGlyphChar(g);
        out += c != 0 ? c : kBlank;
    }
    return out;
}

Point DrawText(cairo_t* cr, Point p, std::u32string_view text, std::span<const double> dx, std::uint32_t options,
               const Rect* rect, const TextSettings& settings) {
    const Font& font = settings.Font;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const double det = m.xx * m.yy - m.xy * m.yx;
    if (!Finite(p) || !std::isfinite(det) || det == 0) return p;
    text = text.substr(0, std::min(text.size(), kMaxCharacters));

    if ((options & kEtoOpaque) && rect) {
        cairo_save(cr);
        cairo_rectangle(cr, rect->Left, rect->Top, rect->Right - rect->Left, rect->Bottom - rect->Top);
        SetColour(cr, settings.BkColour);
        cairo_fill(cr);
        cairo_restore(cr);
    }
    if (text.empty()) return p;

    FontChoice& fonts = ChooseFonts(font);
    if (fonts.Count() == 0) return p;
    CairoFace& primary = fonts.Face(0);
    if (!primary.Measured) {
        primary.Metrics = Measure(primary.Face);
        primary.Measured = true;
    }
    const FaceMetrics& metrics = primary.Metrics;

    // The baseline turns counter-clockwise as seen on the output; with the
    // logical y axis pointing up (a flipped matrix) that is the other way
    // round in logical units. "Up" is the side the letters stand on.
    const bool flipped = det < 0;
    const double angle = font.Escapement / 10.0 * std::numbers::pi / 180.0;
    const Point baseLogical{std::cos(angle), flipped ? std::sin(angle) : -std::sin(angle)};
    const Point upLogical = flipped ? Point{-baseLogical.Y, baseLogical.X} : Point{baseLogical.Y, -baseLogical.X};
    const Point baseOut0 = Apply(m, baseLogical);
    const double alongScale = Length(baseOut0), acrossScale = Length(Apply(m, upLogical));
    if (!(alongScale > 0) || !(acrossScale > 0)) return p;
    const Point baseOut = Scale(baseOut0, 1 / alongScale);
    const Point downOut{-baseOut.Y, baseOut.X};

    // The em in output units: a negative height is the em, a positive one
    // the cell (ascent and descent), none a default size.
    double em = 0;
    if (font.Height < 0) em = -font.Height * acrossScale;
    else if (font.Height > 0) em = font.Height / (metrics.Ascent + metrics.Descent) * acrossScale;
    else em = 12;
    double wide = em;
    if (font.Width > 0 && metrics.AverageWidth > 0) wide = font.Width / metrics.AverageWidth * alongScale;
    // Letters under a twentieth of a pixel show nothing; a near-singular font
    // matrix would put the context into cairo's sticky error state.
    if (!std::isfinite(em) || !std::isfinite(wide) || em < 0.05 || em > 1e5 || wide > 1e5 || wide < 0.05)
        return p;

    cairo_matrix_t fontMatrix, identity;
    cairo_matrix_init(&fontMatrix, baseOut.X * wide, baseOut.Y * wide, downOut.X * em, downOut.Y * em, 0, 0);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* fontOptions = cairo_font_options_create();
    // Positions scale with the drawing: no hinting, no rounded metrics.
    cairo_font_options_set_hint_style(fontOptions, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(fontOptions, CAIRO_HINT_METRICS_OFF);
    std::map<int, cairo_scaled_font_t*> scaled;
    auto scaledFont = [&](int k) {
        auto& s = scaled[k];
        if (!s) s = cairo_scaled_font_create(fonts.Face(k).Face, &fontMatrix, &identity, fontOptions);
        return s;
    };

    // Each character's glyph and advance (output units).
    std::vector<PlacedGlyph> glyphs;
    glyphs.reserve(text.size());
    std::vector<Point> advances;
    advances.reserve(text.size());
    const bool pairs = (options & kEtoPdy) != 0;
    std::string utf8;
    const SymbolFace symbol = SymbolFaceOf(font.FaceName);
    for (std::size_t k = 0; k < text.size(); ++k) {
        char32_t c = text[k];
        // A symbol font's own codes, as wide text gives them.
        if (symbol != SymbolFace::None && c >= 0xF020 && c <= 0xF0FF) c = SymbolFaceChar(symbol, c - 0xF000);
        FontChoice::Match match;
        if (c != kBlank) match = fonts.FontFor(c);
        if (match.Font < 0) {
            if (const char32_t alike = LookAlike(c); alike != 0) match = fonts.FontFor(alike);
        }
        PlacedGlyph g;
        // No font has it: the space it takes, no box for a missing glyph.
        g.Shown = match.Font >= 0;
        g.Font = std::max(match.Font, 0);
        cairo_scaled_font_t* sf = scaledFont(g.Font);
        Point advance;
        utf8.clear();
        AppendUtf8(utf8, g.Shown ? match.Code : c);
        cairo_glyph_t* found = nullptr;
        int count = 0;
        if (cairo_scaled_font_text_to_glyphs(sf, 0, 0, utf8.data(), static_cast<int>(utf8.size()), &found, &count,
                                             nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS &&
            count > 0) {
            g.Index = found[0].index;
            cairo_text_extents_t extents;
            cairo_scaled_font_glyph_extents(sf, found, 1, &extents);
            advance = {extents.x_advance, extents.y_advance};
        }
        cairo_glyph_free(found);
        const std::size_t step = pairs ? 2 : 1;
        if (dx.size() >= (k + 1) * step) {
            Point logical = Scale(baseLogical, dx[k * step]);
            if (pairs) logical = Add(logical, Scale(upLogical, dx[k * step + 1]));
            advance = Apply(m, logical);
        } else {
            // Given advances already hold the extra space; the font's own do not.
            double extra = settings.CharExtra;
            if (c == U' ' && settings.BreakCount > 0) extra += settings.BreakExtra / settings.BreakCount;
            if (extra != 0) advance = Add(advance, Apply(m, Scale(baseLogical, extra)));
        }
        if (!Finite(advance)) advance = {};
        glyphs.push_back(g);
        advances.push_back(advance);
    }
    Point total;
    for (const Point& a : advances) total = Add(total, a);

    // The reference point: left, right or centre along the baseline; top,
    // baseline or bottom of the cell across it.
    Point origin{m.xx * p.X + m.xy * p.Y + m.x0, m.yx * p.X + m.yy * p.Y + m.y0};
    const std::uint32_t vertical = settings.Align & kTaBaseline;
    if (vertical == kTaBottom) origin = Add(origin, Scale(downOut, -metrics.Descent * em));
    else if (vertical != kTaBaseline) origin = Add(origin, Scale(downOut, metrics.Ascent * em));
    const std::uint32_t horizontal = settings.Align & kTaCenter;
    Point start = origin;
    // The advance back in logical units, for the current position.
    const Point endLogicalOffset{(m.yy * total.X - m.xy * total.Y) / det, (-m.yx * total.X + m.xx * total.Y) / det};
    Point end = Add(p, endLogicalOffset);
    if (horizontal == kTaCenter) {
        start = Add(origin, Scale(total, -0.5));
        end = p;
    } else if (horizontal == kTaRight) {
        start = Add(origin, Scale(total, -1));
        end = Add(p, Scale(endLogicalOffset, -1));
    }

    cairo_save(cr);
    if ((options & kEtoClipped) && rect) {
        cairo_rectangle(cr, rect->Left, rect->Top, rect->Right - rect->Left, rect->Bottom - rect->Top);
        cairo_clip(cr);
    }
    cairo_identity_matrix(cr);
    if (settings.BkMode == kOpaque) {
        SetColour(cr, settings.BkColour);
        FillBand(cr, start, total, downOut, -metrics.Ascent * em, metrics.Descent * em);
    }
    SetColour(cr, settings.TextColour);
    std::vector<cairo_glyph_t> run;
    Point at = start;
    for (std::size_t k = 0; k < glyphs.size();) {
        const int fontIndex = glyphs[k].Font;
        run.clear();
        for (; k < glyphs.size() && glyphs[k].Font == fontIndex; ++k) {
            if (glyphs[k].Shown) run.push_back({glyphs[k].Index, at.X, at.Y});
            at = Add(at, advances[k]);
        }
        cairo_scaled_font_t* sf = scaledFont(fontIndex);
        if (cairo_scaled_font_status(sf) != CAIRO_STATUS_SUCCESS) continue;
        cairo_set_scaled_font(cr, sf);
        if (em <= kMaxBitmapEm && wide <= kMaxBitmapEm) {
            cairo_show_glyphs(cr, run.data(), static_cast<int>(run.size()));
        } else {
            // Huge letters as outlines: their bitmaps would cost the square of the size.
            cairo_glyph_path(cr, run.data(), static_cast<int>(run.size()));
            cairo_fill(cr);
        }
    }
    const double minLine = 1.0; // a line is at least a pixel thick
    if (font.Underline) {
        const double t = std::max(metrics.UnderlineThickness * em, minLine);
        FillBand(cr, start, total, downOut, metrics.UnderlineOffset * em - t / 2, metrics.UnderlineOffset * em + t / 2);
    }
    if (font.StrikeOut) {
        const double t = std::max(metrics.StrikeThickness * em, minLine);
        FillBand(cr, start, total, downOut, -metrics.StrikeOffset * em - t / 2, -metrics.StrikeOffset * em + t / 2);
    }
    cairo_restore(cr);

    for (auto& [k, s] : scaled) cairo_scaled_font_destroy(s);
    cairo_font_options_destroy(fontOptions);
    return Finite(end) ? end : p;
}

} // namespace tlc::gdi
