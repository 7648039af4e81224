#pragma once

// Single-byte character sets of Windows fonts as Unicode: the code pages of
// the font character sets, and the symbol fonts whose bytes name pictures.
#include <cstdint>
#include <string_view>

namespace tlc::gdi {

enum class SymbolFace { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };

// The symbol font a face name names (case does not matter), or None.
SymbolFace SymbolFaceOf(std::string_view faceName);

// The character of byte b in the symbol face; 0 where it has none that a
// font here could show.
char32_t SymbolFaceChar(SymbolFace face, std::uint8_t b);

// The Symbol font's code of character c (the table above read backwards);
// 0 when it has none.
std::uint8_t SymbolByteOf(char32_t c);

// An older character that looks like c, for the symbols Unicode encoded
// late (arrows, shapes) that the fonts here do not have; 0: none.
char32_t LookAlike(char32_t c);

// The character of byte b in the font character set (0 ANSI, 1 default,
// 238 Eastern European, 204 Russian, 161 Greek, 162 Turkish, 186 Baltic;
// others read as Windows-1252); 0 for control codes and holes.
char32_t CharsetChar(std::uint8_t charset, std::uint8_t b);

// The character of glyph index glyph in the standard Macintosh glyph order
// (which the Windows core fonts keep for their first 258 glyphs); 0: none.
char32_t StandardGlyphChar(std::uint16_t glyph);

} // namespace tlc::gdi
