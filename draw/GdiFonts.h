#pragma once

// The fonts a device context's text is drawn in: fontconfig's choice for a
// Windows font (face, weight, slant), the fallbacks for characters it lacks,
// and what each face measures the way Windows measures it.
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "draw/GdiCanvas.h"
#include "draw/GdiCharsets.h"

namespace tlc::gdi {

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
    // Fonts tried for a character the chosen face lacks.
    static constexpr int kMaxFonts = 24;

    // symbolCodes: the text is the Symbol font's, so a clone of that font,
    // which maps its own codes, draws what it has by those codes.
    FontChoice(FcFontSet* fonts, FcPattern* pattern, bool symbolCodes) : fonts_(fonts), pattern_(pattern) {
        for (int k = 0; fonts_ && k < fonts_->nfont && static_cast<int>(usable_.size()) < kMaxFonts; ++k) {
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

// The fonts for a Windows font, kept for the next text that asks for them.
FontChoice& ChooseFonts(const Font& font);
// What face measures, from its own tables.
FaceMetrics Measure(cairo_font_face_t* face);

} // namespace tlc::gdi
