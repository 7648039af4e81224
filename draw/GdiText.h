#pragma once

// Text as a device context draws it for the metafile players: the font
// chosen by face, weight and slant through fontconfig, sized and turned
// in logical units, the characters placed by the record's own advances.
#include <cairo.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "draw/GdiCanvas.h"

namespace tlc::gdi {

// The 8-bit text of a record as Unicode, read in the font's character set
// (Windows-1252 for the Western ones, the Symbol and Wingdings fonts through
// tables of their own); characters with no meaning become nothing.
// A character appended to UTF-8 text (face names, fontconfig's patterns).
void AppendUtf8(std::string& out, char32_t c);

std::u32string DecodeText8(std::string_view bytes, const Font& font);
std::u32string DecodeUtf16(std::u16string_view text);
// Wide text in the selected font: a symbol font's codes (below 0x100, or
// its own U+F020 to U+F0FF) through the font's table, as the 8-bit form.
std::u32string DecodeUtf16(std::u16string_view text, const Font& font);
// The glyph indexes of wide text drawn with kEtoGlyphIndex as characters:
// the Windows core fonts order their first 258 glyphs as the standard
// Macintosh glyph set does; any other index keeps its place as U+FFFF, which
// DrawText leaves blank (the advances still count it).
std::u32string DecodeGlyphIndexes(std::u16string_view glyphs);

struct TextSettings {
    gdi::Font Font;
    Colour TextColour{0, 0, 0};
    Colour BkColour{255, 255, 255};
    int BkMode = kOpaque;
    std::uint32_t Align = kTaLeft | kTaTop;
    double CharExtra = 0; // logical units added after each character
    // SetTextJustification: BreakExtra logical units spread over BreakCount
    // break characters (spaces), for text drawn without advances of its own.
    double BreakExtra = 0;
    int BreakCount = 0;
};

// Draws text at p on cr, whose user space is the logical coordinates (its
// matrix: logical units to output pixels; a flipped axis does not turn the
// letters upside down). dx: each character's advance in logical units
// (empty: the font's own; with kEtoPdy, x and y pairs). The opaque
// rectangle (kEtoOpaque) and the text's own background (kOpaque) are
// filled with the background colour; kEtoClipped clips to rect. Returns the
// end point of the text's advance (logical), for kTaUpdateCp.
Point DrawText(cairo_t* cr, Point p, std::u32string_view text, std::span<const double> dx,
               std::uint32_t options, const Rect* rect, const TextSettings& settings);

} // namespace tlc::gdi
