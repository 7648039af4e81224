#include "draw/EmfPlayer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tlc::gdi {
namespace {

// An enhanced metafile: the header (frame 0..100 mm on a reference device of
// one pixel a millimetre, so 100 x 100 device pixels), then records of
// 32-bit fields.
struct Emf {
    std::vector<std::uint8_t> Bytes;
    void Put32(std::uint32_t v) {
        for (int k = 0; k < 4; ++k) Bytes.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    Emf() {
        Add(1, {0, 0, 99, 99, 0, 0, 10000, 10000, 0x464D4520, 0x10000, 0, 0, 8, 0, 0, 0, 100, 100, 100, 100});
    }
    // A record of type t and the given fields; size: its stated size when
    // not its true one.
    Emf& Add(std::uint32_t t, std::initializer_list<std::uint32_t> fields, std::uint32_t size = 0) {
        return Add(t, std::vector<std::uint32_t>(fields), size);
    }
    Emf& Add(std::uint32_t t, const std::vector<std::uint32_t>& fields, std::uint32_t size = 0) {
        Put32(t);
        Put32(size ? size : static_cast<std::uint32_t>(8 + 4 * fields.size()));
        for (std::uint32_t f : fields) Put32(f);
        return *this;
    }
    Emf& End() { return Add(14, {0, 16, 20}); }
};

constexpr std::uint32_t kRectangle = 43, kSelectObject = 37, kExtCreatePen = 95, kMoveTo = 27, kLineTo = 54,
                        kSetMapMode = 17, kSetWindowExt = 9, kSetViewportExt = 11, kExtTextOutW = 84,
                        kPolyPolygon16 = 91, kPolygon16 = 86, kExtSelectClipRgn = 75;
constexpr std::uint32_t kBlackBrush = 0x80000004;

bool Dark(const std::vector<std::uint8_t>& rgb, int x, int y) { return rgb[(y * 100 + x) * 3] < 128; }

TEST(EmfPlayer, DefaultObjectsAndPenWidthsAsTheDeviceContextHasThem) {
    Emf emf;
    // Drawn before any object is chosen: the white brush and the black pen.
    emf.Add(kRectangle, {10, 10, 40, 40});
    emf.Add(kSelectObject, {kBlackBrush}).Add(kRectangle, {60, 10, 90, 40});
    // A quarter-size mapping: a geometric pen 40 logical units wide is 10
    // pixels, a cosmetic one a pixel whatever width it states.
    emf.Add(kSetMapMode, {8}).Add(kSetWindowExt, {400, 400}).Add(kSetViewportExt, {100, 100});
    emf.Add(kExtCreatePen, {1, 0, 0, 0, 0, 0x10000 | 0x200, 40, 0, 0, 0, 0}).Add(kSelectObject, {1});
    emf.Add(kMoveTo, {40, 200}).Add(kLineTo, {360, 200});
    emf.Add(kExtCreatePen, {2, 0, 0, 0, 0, 0, 40, 0, 0, 0, 0}).Add(kSelectObject, {2});
    emf.Add(kMoveTo, {40, 320}).Add(kLineTo, {360, 320}).End();
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(PlayEnhancedMetafile(emf.Bytes, 100, 100, rgb));
    ASSERT_EQ(rgb.size(), 100u * 100 * 3);
    EXPECT_TRUE(Dark(rgb, 10, 25));  // the pen's edge
    EXPECT_FALSE(Dark(rgb, 25, 25)); // the white brush inside
    EXPECT_TRUE(Dark(rgb, 75, 25));
    auto thickness = [&](int from, int to) {
        int n = 0;
        for (int y = from; y < to; ++y) n += Dark(rgb, 50, y);
        return n;
    };
    EXPECT_GE(thickness(40, 62), 9);
    EXPECT_LE(thickness(40, 62), 11);
    EXPECT_GE(thickness(72, 88), 1);
    EXPECT_LE(thickness(72, 88), 2);
}

// A rectangle, then one record whose inner counts or offsets do not fit it.
TEST(EmfPlayer, RecordsWhoseInnerSizesDoNotFitRefuseThePicture) {
    struct Case {
        const char* What;
        std::uint32_t Type;
        std::vector<std::uint32_t> Fields;
        std::uint32_t StatedSize;
    };
    // EMR_EXTTEXTOUTW: bounds, mode, scales, then the text's reference
    // point, count, string offset, options, rectangle, advances' offset.
    const std::vector<std::uint32_t> text = {0, 0, 0, 0, 1, 0, 0, 20, 20, 2, 76, 0, 0, 0, 0, 0, 80,
                                             0x00420041, 10, 10};
    std::vector<std::uint32_t> farString = text, farAdvances = text;
    farString[10] = 0x0002004C;
    farAdvances[16] = 84;
    const std::vector<Case> cases = {
        {"text intact", kExtTextOutW, text, 0},
        {"the text's string past the record", kExtTextOutW, farString, 0},
        {"the text's advances past the record", kExtTextOutW, farAdvances, 0},
        {"more points than the record holds", kPolygon16, {0, 0, 0, 0, 3, 0x00010001, 0x00020002}, 0},
        {"counts adding up past the points", kPolyPolygon16, {0, 0, 0, 0, 1, 2, 5, 0x00010001, 0x00020002}, 0},
        {"more region rectangles than its bytes", kExtSelectClipRgn, {48, 5, 32, 1, 2, 32, 0, 0, 9, 9, 0, 0, 9, 9},
         0},
        {"a record past the end of the file", kRectangle, {0, 0, 5, 5}, 4000},
    };
    for (const Case& c : cases) {
        Emf emf;
        emf.Add(kRectangle, {10, 10, 40, 40});
        emf.Add(c.Type, c.Fields, c.StatedSize);
        emf.End();
        std::vector<std::uint8_t> rgb;
        EXPECT_EQ(PlayEnhancedMetafile(emf.Bytes, 100, 100, rgb), std::string(c.What) == "text intact") << c.What;
    }
}

} // namespace
} // namespace tlc::gdi
