#include "draw/GdiText.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <string_view>
#include <tuple>
#include <vector>

#include "draw/GdiCharsets.h"

namespace tlc::gdi {

namespace {

// Longer texts are cut: no record needs more, and the work stays bounded.
constexpr std::size_t kMaxCharacters = 16384;
// A character that keeps its place and advance but shows nothing.
constexpr char32_t kBlank = 0xFFFF;
// Letters larger than this (output pixels) are filled as outlines.
constexpr double kMaxBitmapEm = 512;
// Fonts tried for a character the chosen face lacks.
constexpr int kMaxFallbackFonts = 24;

// What a face measures, per em (the font's own units divided by its em):
// the ascent and descent Windows uses for the cell, the average character
// width, and where the underline and strikeout lines go.
struct FaceMetrics {
    double Ascent = 0.9, Descent = 0.2, AverageWidth = 0.5;
    double UnderlineOffset = 0.1, UnderlineThickness = 0.05; // offset: below the baseline, to the line's centre
    double StrikeOffset = 0.3, StrikeThickness = 0.05;       // offset: above the baseline, to the line's centre
};

struct CairoFace {
    cairo_font_face_t* Face = nullptr;
    FaceMetrics Metrics;
    bool Measured = false;
};

// The fonts fontconfig ranks for one face, weight and slant, best first,
// each with its character coverage; cairo faces are made as they are needed.
class FontChoice {
public:
    // symbolCodes: the text is the Symbol font's, so a clone of that font,
    // which maps its own codes, draws what it has by those codes.
    FontChoice(FcFontSet* fonts, FcPattern* pattern, bool symbolCodes) : fonts_(fonts), pattern_(pattern) {
        for (int k = 0; fonts_ && k < fonts_->nfont && static_cast<int>(usable_.size()) < kMaxFallbackFonts; ++k) {
            const Coding coding = CodingOf(fonts_->fonts[k]);
            if (coding == Coding::Pictures || (coding == Coding::Symbol && !symbolCodes)) continue;
            usable_.push_back(fonts_->fonts[k]);
            byCode_.push_back(coding == Coding::Symbol);
        }
        faces_.resize(usable_.size());
    }
    ~FontChoice() {
        for (auto& f : faces_)
            if (f.Face) cairo_font_face_destroy(f.Face);
        if (fonts_) FcFontSetDestroy(fonts_);
        if (pattern_) FcPatternDestroy(pattern_);
    }
    FontChoice(const FontChoice&) = delete;
    FontChoice& operator=(const FontChoice&) = delete;

    int Count() const { return static_cast<int>(usable_.size()); }

    struct Match {
        int Font = -1;     // -1: no font has the character
        char32_t Code = 0; // what to look up in that font
    };
    Match FontFor(char32_t c) const {
        for (std::size_t k = 0; k < usable_.size(); ++k) {
            const char32_t code = byCode_[k] ? SymbolByteOf(c) : c;
            FcCharSet* set = nullptr;
            if (code != 0 && FcPatternGetCharSet(usable_[k], FC_CHARSET, 0, &set) == FcResultMatch &&
                FcCharSetHasChar(set, code))
                return {static_cast<int>(k), code};
        }
        return {};
    }

    CairoFace& Face(int k) {
        CairoFace& f = faces_[static_cast<std::size_t>(k)];
        if (!f.Face) {
            FcPattern* font = usable_[static_cast<std::size_t>(k)];
            FcPattern* ready = FcFontRenderPrepare(nullptr, pattern_, font);
            f.Face = cairo_ft_font_face_create_for_pattern(ready ? ready : font);
            if (ready) FcPatternDestroy(ready);
        }
        return f;
    }

private:
    // Symbol fonts whose character map gives their own codes as if they were
    // Unicode (0xAE an arrow, not the registered sign): the text here is
    // Unicode, so they would draw the wrong pictures, except clones of the
    // Symbol font asked by its codes.
    enum class Coding { Unicode, Symbol, Pictures };
    static Coding CodingOf(FcPattern* font) {
        static constexpr std::string_view kSymbol[] = {"Standard Symbols PS", "Standard Symbols L", "Symbol"};
        static constexpr std::string_view kPictures[] = {"D050000L", "Dingbats", "Wingdings", "Wingdings 2",
                                                         "Wingdings 3", "Webdings", "Marlett"};
        FcChar8* family = nullptr;
        if (FcPatternGetString(font, FC_FAMILY, 0, &family) != FcResultMatch || !family) return Coding::Unicode;
        const std::string_view name(reinterpret_cast<const char*>(family));
        if (std::find(std::begin(kSymbol), std::end(kSymbol), name) != std::end(kSymbol)) return Coding::Symbol;
        if (std::find(std::begin(kPictures), std::end(kPictures), name) != std::end(kPictures)) return Coding::Pictures;
        return Coding::Unicode;
    }

    FcFontSet* fonts_;
    FcPattern* pattern_;
    std::vector<FcPattern*> usable_; // fonts_' fonts, best first, without the ones coded otherwise
    std::vector<bool> byCode_;       // usable_'s Symbol clones
    std::vector<CairoFace> faces_;
};

// Windows face names fontconfig may not know, by what the record says they
// look like; nothing when it does not say (fontconfig's own guess then).
const char* GenericFamily(const Font& font) {
    if ((font.PitchAndFamily & 0x03) == 1) return "monospace"; // fixed pitch
    switch (font.PitchAndFamily & 0xF0) {
    case 0x10: return "serif";
    case 0x20: return "sans-serif";
    case 0x30: return "monospace";
    case 0x40: return "cursive";
    case 0x50: return "sans-serif"; // decorative: fontconfig's "fantasy" here is a dingbat font
    default: return nullptr;
    }
}

FontChoice& ChooseFonts(const Font& font) {
    using Key = std::tuple<std::string, int, bool, std::uint8_t>;
    static std::map<Key, std::unique_ptr<FontChoice>> cache;
    const int weight = font.Weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
    Key key{font.FaceName, weight, font.Italic, font.PitchAndFamily};
    if (auto found = cache.find(key); found != cache.end()) return *found->second;
    if (cache.size() >= 256) cache.clear(); // a file with ever new fonts (a choice costs about a millisecond)

    FcPattern* pattern = FcPatternCreate();
    // The symbol fonts' text arrives as Unicode: the Symbol font's clone
    // draws what it has (by its codes), a text face the rest (the Symbol
    // font's letters are a Times design); the picture fonts' characters come
    // from whichever font has them.
    const SymbolFace symbol = SymbolFaceOf(font.FaceName);
    if (symbol == SymbolFace::Symbol) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("Symbol"));
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("serif"));
    } else if (symbol != SymbolFace::None) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    } else if (!font.FaceName.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(font.FaceName.c_str()));
    if (const char* generic = GenericFamily(font))
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    FcPatternAddInteger(pattern, FC_SLANT, font.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    auto choice = std::make_unique<FontChoice>(fonts, pattern, symbol == SymbolFace::Symbol);
    return *cache.emplace(key, std::move(choice)).first->second;
}

FaceMetrics Measure(cairo_font_face_t* face) {
    FaceMetrics m;
    cairo_matrix_t unit, identity;
    cairo_matrix_init_scale(&unit, 1000, 1000);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &unit, &identity, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS) {
        if (FT_Face ft = cairo_ft_scaled_font_lock_face(scaled)) {
            const double em = ft->units_per_EM > 0 ? ft->units_per_EM : 1000.0;
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
            if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
                m.Ascent = os2->usWinAscent / em;
                m.Descent = os2->usWinDescent / em;
            } else if (ft->ascender - ft->descender > 0) {
                m.Ascent = ft->ascender / em;
                m.Descent = -ft->descender / em;
            }
            if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) m.AverageWidth = os2->xAvgCharWidth / em;
            // The average width as Windows' own fonts state it: lower-case
            // letters and the space weighted by how often English uses them.
            // Newer fonts state the mean over all their glyphs, which is far
            // wider, and would make a record's width squeeze the letters.
            static constexpr int kWeights[27] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3, 6, 35, 20, 56,
                                                 56, 17, 4,  49, 56, 71,  31, 10, 18, 3,  18, 2, 166};
            double weighted = 0;
            bool all = true;
            for (int k = 0; k < 27 && all; ++k) {
                const FT_UInt glyph = FT_Get_Char_Index(ft, k < 26 ? 'a' + k : ' ');
                all = glyph != 0 && FT_Load_Glyph(ft, glyph, FT_LOAD_NO_SCALE) == 0;
                if (all) weighted += kWeights[k] * static_cast<double>(ft->glyph->advance.x);
            }
            if (all && weighted > 0) m.AverageWidth = weighted / 1000 / em;
            if (ft->underline_thickness > 0) {
                m.UnderlineThickness = ft->underline_thickness / em;
                m.UnderlineOffset = -ft->underline_position / em;
            }
            if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
                m.StrikeThickness = os2->yStrikeoutSize / em;
                m.StrikeOffset = (os2->yStrikeoutPosition - os2->yStrikeoutSize / 2.0) / em;
            } else {
                m.StrikeThickness = m.UnderlineThickness;
                m.StrikeOffset = m.Ascent * 0.3;
            }
            cairo_ft_scaled_font_unlock_face(scaled);
        }
    }
    cairo_scaled_font_destroy(scaled);
    return m;
}

bool Finite(Point p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

Point Add(Point a, Point b) { return {a.X + b.X, a.Y + b.Y}; }
Point Scale(Point a, double s) { return {a.X * s, a.Y * s}; }
double Length(Point a) { return std::hypot(a.X, a.Y); }

// The linear part of the logical-to-output matrix applied to a vector.
Point Apply(const cairo_matrix_t& m, Point v) { return {m.xx * v.X + m.xy * v.Y, m.yx * v.X + m.yy * v.Y}; }

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
        } else if (settings.CharExtra != 0) {
            // Given advances already hold the extra space; the font's own do not.
            advance = Add(advance, Apply(m, Scale(baseLogical, settings.CharExtra)));
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
