#include "draw/WmfPlayer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tlc {
namespace {

// A Windows metafile's records, from the 18-byte header on.
struct Records {
    std::vector<std::uint8_t> Bytes = std::vector<std::uint8_t>(18, 0);
    Records() {
        Bytes[0] = 1;
        Bytes[2] = 9;     // header words
        Bytes[5] = 3;     // version 0x300
        Bytes[10] = 4;    // objects
    }
    void Word(std::uint16_t w) {
        Bytes.push_back(static_cast<std::uint8_t>(w));
        Bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    // A record of function f and the given parameter words; size: its
    // stated size in words when not its true one.
    Records& Add(std::uint16_t f, std::initializer_list<std::uint16_t> params, std::uint32_t size = 0) {
        const std::uint32_t words = size ? size : static_cast<std::uint32_t>(3 + params.size());
        Word(static_cast<std::uint16_t>(words));
        Word(static_cast<std::uint16_t>(words >> 16));
        Word(f);
        for (std::uint16_t p : params) Word(p);
        return *this;
    }
    Records& End() { return Add(0, {}); }
};

constexpr std::uint16_t kCreateBrush = 0x02FC, kSelectObject = 0x012D, kRectangle = 0x041B, kPolygon = 0x0324,
                        kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C, kDibPatternBrush = 0x0142,
                        kCreatePen = 0x02FA;

struct Pixel {
    std::uint8_t R, G, B;
    bool operator==(const Pixel&) const = default;
};

Pixel At(const std::vector<std::uint8_t>& rgb, int width, int x, int y) {
    const std::size_t k = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[k], rgb[k + 1], rgb[k + 2]};
}

// A solid brush of colour r, g, b and a null pen selected (objects 0 and 1).
Records WithRedBrush() {
    Records r;
    r.Add(kCreateBrush, {0, 0x1EC8, 0x001E, 0}).Add(kSelectObject, {0});
    r.Add(kCreatePen, {5, 0, 0, 0, 0}).Add(kSelectObject, {1});
    return r;
}

TEST(WmfPlayer, ColoursExactAndTheRecordsWindowFillsTheOutput) {
    // The placeable box says 1000..2000, the records draw in a window of
    // their own (0..100, y downwards): the window is what fills the output.
    Records r = WithRedBrush();
    r.Add(kSetWindowOrg, {0, 0}).Add(kSetWindowExt, {100, 100});
    r.Add(kRectangle, {50, 50, 0, 0}).End(); // bottom, right, top, left
    const WindowsMetafileFrame frame{1000, 1000, 2000, 2000, 100, 100};
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(PlayWindowsMetafile(r.Bytes, frame, 40, 40, rgb));
    ASSERT_EQ(rgb.size(), 40u * 40 * 3);
    EXPECT_EQ(At(rgb, 40, 10, 10), (Pixel{0xC8, 0x1E, 0x1E}));
    EXPECT_EQ(At(rgb, 40, 30, 30), (Pixel{255, 255, 255}));
    EXPECT_EQ(At(rgb, 40, 30, 10), (Pixel{255, 255, 255}));

    // No window records: the placeable box is the frame.
    Records plain = WithRedBrush();
    plain.Add(kRectangle, {2000, 1500, 1000, 1000}).End();
    ASSERT_TRUE(PlayWindowsMetafile(plain.Bytes, frame, 40, 40, rgb));
    EXPECT_EQ(At(rgb, 40, 10, 30), (Pixel{0xC8, 0x1E, 0x1E}));
    EXPECT_EQ(At(rgb, 40, 30, 30), (Pixel{255, 255, 255}));
}

TEST(WmfPlayer, RecordsWhoseSizesDoNotFitRefuseThePicture) {
    const WindowsMetafileFrame frame{0, 0, 100, 100, 100, 100};
    struct Case {
        const char* What;
        Records Picture;
    };
    std::vector<Case> cases;
    {
        Records r = WithRedBrush();
        r.Add(kPolygon, {400, 0, 0, 50, 0, 50, 50}).End();
        cases.push_back({"polygon of more points than its record holds", r});
    }
    {
        Records r = WithRedBrush();
        // DIB pattern brush: a 40-byte header of a 64 x 64 24-bit bitmap and no bits.
        r.Add(kDibPatternBrush, {5, 0, 40, 0, 64, 0, 64, 0, 1, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})
            .Add(kSelectObject, {2})
            .Add(kRectangle, {50, 50, 0, 0})
            .End();
        cases.push_back({"pattern brush whose bitmap is larger than its record", r});
    }
    {
        Records r = WithRedBrush();
        r.Add(kRectangle, {50, 50, 0, 0}, 400).End();
        cases.push_back({"record stated longer than the file", r});
    }
    for (const Case& c : cases) {
        std::vector<std::uint8_t> rgb;
        EXPECT_FALSE(PlayWindowsMetafile(c.Picture.Bytes, frame, 20, 20, rgb)) << c.What;
    }
}

} // namespace
} // namespace tlc
