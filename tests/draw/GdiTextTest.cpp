#include "draw/GdiText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// fontconfig keeps a block it allocates while reading its configuration
// (once a process, under its XML parser) where the leak checker of the
// sanitizer build cannot see it; every test here that draws text loads it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace tlc::gdi {
namespace {

TEST(GdiText, BytesReadInTheFontsCharacterSet) {
    struct Case {
        const char* Face;
        std::uint8_t CharSet;
        std::string Bytes;
        std::u32string Expected;
    } cases[] = {
        {"Arial", 0, "\x80" "A\xE9", U"\u20ACA\u00E9"},  // Windows-1252
        {"Arial", 0, "a\nb\x81", U"ab"},                  // control codes and holes dropped
        {"Symbol", 2, "a\xA5p", U"\u03B1\u221E\u03C0"},   // the Symbol font's own table
        {"Arial", 204, "\xC0\xFF", U"\u0410\u044F"},      // Russian
        {"Arial", 161, "\xC1", U"\u0391"},                // Greek
        {"Arial", 238, "\x8A\xB3", U"\u0160\u0142"},      // Eastern European
        {"Wingdings", 2, "J\xFC", U"\u263A\u2713"},      // pictures as the characters Unicode gave them
    };
    for (const Case& c : cases) {
        Font font;
        font.FaceName = c.Face;
        font.CharSet = c.CharSet;
        EXPECT_EQ(DecodeText8(c.Bytes, font), c.Expected) << c.Face << " " << int(c.CharSet);
    }
    EXPECT_EQ(DecodeUtf16(u"a\U0001F600b"), U"a\U0001F600b");
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    EXPECT_EQ(DecodeUtf16(lone), U"ab");
    Font symbol;
    symbol.FaceName = "Symbol";
    EXPECT_EQ(DecodeUtf16(u"a\uF062", symbol), U"\u03B1\u03B2"); // a symbol font's codes, plain or its own
    // Glyph indexes of the core fonts' standard order; an unknown one keeps its place.
    const char16_t glyphs[] = {36, 3, 68, 98, 2000, 0};
    EXPECT_EQ(DecodeGlyphIndexes(glyphs), U"A a\u00C4\uFFFF");
}

// Ink of a drawing: the bounds of pixels darker than mid grey.
struct Ink {
    int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
    std::vector<int> Columns; // dark pixels per column
};

class Surface {
public:
    Surface(int w, int h) : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)) {
        cr_ = cairo_create(surface_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
    }
    ~Surface() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    cairo_t* Cr() { return cr_; }
    Ink Measure() {
        cairo_surface_flush(surface_);
        const int w = cairo_image_surface_get_width(surface_), h = cairo_image_surface_get_height(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        Ink ink;
        ink.Columns.assign(static_cast<std::size_t>(w), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto px = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
                if (((px >> 8) & 0xFF) >= 128) continue; // green channel
                ink.Left = std::min(ink.Left, x);
                ink.Right = std::max(ink.Right, x);
                ink.Top = std::min(ink.Top, y);
                ink.Bottom = std::max(ink.Bottom, y);
                ++ink.Columns[static_cast<std::size_t>(x)];
            }
        return ink;
    }

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

TextSettings Settings(std::uint32_t align) {
    TextSettings s;
    s.Font.FaceName = "Arial";
    s.Font.Height = -24;
    s.BkMode = kTransparent;
    s.Align = align;
    return s;
}

TEST(GdiText, TextLandsWhereItsAlignmentSays) {
    struct Case {
        std::uint32_t Align;
        const char* Name;
    } cases[] = {{kTaLeft | kTaBaseline, "left"}, {kTaRight | kTaBaseline, "right"}, {kTaCenter | kTaBaseline, "centre"},
                 {kTaLeft | kTaTop, "top"}, {kTaLeft | kTaBottom, "bottom"}};
    for (const Case& c : cases) {
        Surface s(300, 100);
        const Point end = DrawText(s.Cr(), {150, 50}, U"HHHH", {}, 0, nullptr, Settings(c.Align));
        const Ink ink = s.Measure();
        ASSERT_GT(ink.Right, ink.Left) << c.Name;
        const int centre = (ink.Left + ink.Right) / 2;
        switch (c.Align & kTaCenter) {
        case kTaRight: EXPECT_LE(ink.Right, 151) << c.Name; EXPECT_GT(ink.Right, 140) << c.Name; break;
        case kTaCenter: EXPECT_NEAR(centre, 150, 3) << c.Name; break;
        default: EXPECT_GE(ink.Left, 150) << c.Name; EXPECT_LT(ink.Left, 160) << c.Name; break;
        }
        switch (c.Align & kTaBaseline) {
        case kTaTop: EXPECT_GE(ink.Top, 50) << c.Name; EXPECT_LT(ink.Top, 60) << c.Name; break;
        case kTaBottom: EXPECT_LT(ink.Bottom, 46) << c.Name; EXPECT_GT(ink.Bottom, 35) << c.Name; break;
        default: EXPECT_NEAR(ink.Bottom, 49, 1) << c.Name; EXPECT_LT(ink.Top, 35) << c.Name; break;
        }
        if ((c.Align & kTaCenter) == kTaLeft) {
            EXPECT_NEAR(end.X, ink.Right, 6) << c.Name;
        }
    }
}

TEST(GdiText, GivenAdvancesPlaceEachCharacter) {
    Surface s(300, 100);
    const double dx[] = {100, 100, 0};
    DrawText(s.Cr(), {20, 50}, U"lll", dx, 0, nullptr, Settings(kTaBaseline));
    const Ink ink = s.Measure();
    // Three thin strokes a hundred pixels apart, nothing between them.
    std::vector<int> strokes;
    for (int x = 0; x < static_cast<int>(ink.Columns.size()); ++x)
        if (ink.Columns[static_cast<std::size_t>(x)] > 0 && (x == 0 || ink.Columns[static_cast<std::size_t>(x - 1)] == 0))
            strokes.push_back(x);
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_NEAR(strokes[1] - strokes[0], 100, 1);
    EXPECT_NEAR(strokes[2] - strokes[1], 100, 1);
}

TEST(GdiText, LettersStayUprightWhenTheLogicalYAxisPointsUp) {
    for (const bool up : {false, true}) {
        Surface s(300, 100);
        // Logical units: y up from the output's bottom edge in the flipped case.
        if (up) {
            cairo_translate(s.Cr(), 0, 100);
            cairo_scale(s.Cr(), 1, -1);
        }
        TextSettings settings = Settings(kTaBaseline);
        settings.Font.Underline = true;
        DrawText(s.Cr(), {20, 50}, U"HHH", {}, 0, nullptr, settings);
        const Ink ink = s.Measure();
        // Letters above the baseline (row 50), the underline just below it.
        EXPECT_LT(ink.Top, 35) << up;
        EXPECT_GT(ink.Bottom, 50) << up;
        EXPECT_LT(ink.Bottom, 56) << up;
        EXPECT_GE(ink.Left, 20) << up;

        // Turned a quarter counter-clockwise as seen, whichever way y points:
        // the text runs up from the point, its letters on the baseline's left.
        Surface turned(100, 300);
        if (up) {
            cairo_translate(turned.Cr(), 0, 300);
            cairo_scale(turned.Cr(), 1, -1);
        }
        settings.Font.Underline = false;
        settings.Font.Escapement = 900;
        DrawText(turned.Cr(), {60, 150}, U"HHH", {}, 0, nullptr, settings);
        const Ink column = turned.Measure();
        EXPECT_LT(column.Bottom, 151) << up;
        EXPECT_LT(column.Top, 120) << up;
        EXPECT_LE(column.Right, 60) << up;
        EXPECT_GT(column.Left, 35) << up;
    }
}

} // namespace
} // namespace tlc::gdi
