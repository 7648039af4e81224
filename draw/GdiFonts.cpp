#include "draw/GdiFonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace tlc::gdi {

namespace {

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

} // namespace

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

} // namespace tlc::gdi
