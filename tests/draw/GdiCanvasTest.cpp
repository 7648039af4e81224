// The device context the metafile players draw with: worked cases read
// back from its raster (over white), each where a device context's rule
// decides what shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "draw/GdiCanvas.h"

namespace tlc::gdi {
namespace {

constexpr int kSize = 40;

struct Drawing {
    std::vector<std::uint8_t> Rgb;
    bool Marked = false;
    std::uint32_t At(int x, int y) const {
        const std::uint8_t* p = Rgb.data() + (static_cast<std::size_t>(y) * kSize + x) * 3;
        return static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
};

Drawing Draw(const std::function<void(Canvas&)>& draw) {
    Canvas canvas(kSize, kSize);
    draw(canvas);
    Drawing d;
    d.Marked = canvas.Finish(d.Rgb);
    return d;
}

Brush SolidBrush(Colour c) {
    return {kBsSolid, c, kHsHorizontal, nullptr};
}
const Pen kNullPen{kPsNull, 0, {}, {}};
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0, kRed = 0xC81E1E;
constexpr Colour kRedColour{0xC8, 0x1E, 0x1E};

TEST(GdiCanvas, DefaultObjectsAndHatches) {
    // A fresh context draws with the black pen round the white stock brush.
    const Drawing plain = Draw([](Canvas& c) { c.Rectangle({5, 5, 35, 35}); });
    EXPECT_TRUE(plain.Marked);
    EXPECT_EQ(plain.At(5, 20), kBlack);
    EXPECT_EQ(plain.At(20, 5), kBlack);
    EXPECT_EQ(plain.At(34, 20), kBlack); // the right and bottom edges are left out
    EXPECT_EQ(plain.At(20, 34), kBlack);
    EXPECT_EQ(plain.At(35, 20), kWhite);
    EXPECT_EQ(plain.At(20, 20), kWhite);
    EXPECT_EQ(plain.At(2, 2), kWhite);

    // A hatch leaves gaps that show what is under it when the background is
    // transparent, and the background colour when it is opaque.
    for (const int mode : {kTransparent, kOpaque}) {
        const Drawing hatched = Draw([mode](Canvas& c) {
            c.SelectPen(kNullPen);
            c.SetBkMode(mode);
            c.SetBkColour({0, 0, 255});
            c.SelectBrush(SolidBrush({255, 255, 0}));
            c.Rectangle({0, 0, 40, 40});
            c.SelectBrush({kBsHatched, kRedColour, kHsCross, nullptr});
            c.Rectangle({0, 0, 40, 40});
        });
        int lines = 0, gaps = 0;
        for (int y = 8; y < 24; ++y)
            for (int x = 8; x < 24; ++x) {
                const std::uint32_t p = hatched.At(x, y);
                lines += p == kRed;
                gaps += p == (mode == kOpaque ? 0x0000FFu : 0xFFFF00u);
            }
        EXPECT_EQ(lines + gaps, 16 * 16) << mode;
        EXPECT_GT(lines, 16 * 2) << mode;
        EXPECT_GT(gaps, 16 * 8) << mode;
    }

    // Nothing drawn at all is no mark; a null pen and null brush draw nothing.
    EXPECT_FALSE(Draw([](Canvas& c) {
                     c.SelectPen(kNullPen);
                     c.SelectBrush({kBsNull, {}, 0, nullptr});
                     c.Ellipse({0, 0, 40, 40});
                 }).Marked);
}

TEST(GdiCanvas, MappingModes) {
    // Isotropic: the viewport twice as wide as high still draws a circle
    // as a circle, at the smaller scale.
    const Drawing iso = Draw([](Canvas& c) {
        c.SetMapMode(kMmIsotropic);
        c.SetWindowExt(100, 100);
        c.SetViewportExt(40, 20);
        c.SelectPen(kNullPen);
        c.SelectBrush(SolidBrush(kRedColour));
        c.Ellipse({0, 0, 100, 100});
    });
    EXPECT_EQ(iso.At(10, 10), kRed);
    EXPECT_EQ(iso.At(10, 18), kRed);
    EXPECT_EQ(iso.At(30, 10), kWhite); // anisotropic would have reached here

    // A fixed y-up mode: hundredths of a millimetre at one pixel per
    // millimetre, the viewport origin moved down so y < 0 shows.
    const Drawing metric = Draw([](Canvas& c) {
        c.SetDeviceResolution(1, 1);
        c.SetMapMode(kMmHiMetric);
        c.SetWindowExt(1, 1); // fixed modes keep their own scale
        c.SetViewportOrg({0, 10});
        c.SelectPen(kNullPen);
        c.SelectBrush(SolidBrush(kRedColour));
        c.Rectangle({1000, -1000, 2000, -2500});
    });
    EXPECT_EQ(metric.At(15, 25), kRed);
    EXPECT_EQ(metric.At(15, 15), kWhite);
    EXPECT_EQ(metric.At(15, 35), kWhite);
    EXPECT_EQ(metric.At(5, 25), kWhite);

    // A degenerate mapping draws nothing rather than anything wrong.
    EXPECT_FALSE(Draw([](Canvas& c) {
                     c.SetOutputTransform({0, 0, 0, 0, 0, 0});
                     c.Rectangle({0, 0, 40, 40});
                 }).Marked);
}

TEST(GdiCanvas, ClippingAndItsSavedState) {
    const auto fill = [](Canvas& c) {
        c.SelectPen(kNullPen);
        c.SelectBrush(SolidBrush(kRedColour));
        c.Rectangle({0, 0, 40, 40});
    };
    // Excluding leaves a hole; intersecting keeps only the inside.
    const Drawing hole = Draw([&](Canvas& c) {
        c.ExcludeClipRect({10, 10, 30, 30});
        fill(c);
    });
    EXPECT_EQ(hole.At(20, 20), kWhite);
    EXPECT_EQ(hole.At(5, 20), kRed);
    EXPECT_EQ(hole.At(30, 30), kRed); // right and bottom edges are outside the rectangle

    // The clip is saved and brought back with the rest of the state, by a
    // relative and by an absolute level; a clip made of a path is too.
    for (const int level : {-1, 1}) {
        const Drawing restored = Draw([&](Canvas& c) {
            c.Save();
            c.IntersectClipRect({10, 10, 20, 20});
            c.Save();
            c.ExcludeClipRect({0, 0, 40, 40});
            c.Restore(level);
            fill(c);
        });
        EXPECT_EQ(restored.At(2, 2), level == 1 ? kRed : kWhite) << level;
        EXPECT_EQ(restored.At(15, 15), kRed) << level;
    }
    const Drawing byPath = Draw([&](Canvas& c) {
        c.BeginPath();
        c.Ellipse({0, 0, 40, 40});
        c.EndPath();
        c.SelectClipPath(kRgnCopy);
        fill(c);
        c.SelectClipRegion({}, kRgnCopy); // no clip again
        c.SelectBrush(SolidBrush({0, 0, 0}));
        c.Rectangle({38, 0, 40, 2});
    });
    EXPECT_EQ(byPath.At(20, 20), kRed);
    EXPECT_EQ(byPath.At(3, 3), kWhite);
    EXPECT_EQ(byPath.At(39, 0), kBlack);
}

TEST(GdiCanvas, ExtremeInputsLeaveTheContextDrawing) {
    // Each case first does what a damaged file might, then draws a red
    // square with a clean state: it must still show.
    const std::vector<std::function<void(Canvas&)>> damage = {
        [](Canvas& c) { // a clip moved out of cairo's range, step by step (a fuzzer's find)
            c.ExcludeClipRect({0, 0, 1, 1});
            for (int k = 0; k < 8; ++k)
                c.OffsetClip(1e7, 1e7);
            c.StretchDib({0, 0, 0, 0}, {0, 0, 0, 0}, nullptr, kBlackness);
            c.Rectangle({0, 0, 40, 40});
        },
        [](Canvas& c) {
            const double nan = std::nan(""), inf = 1.0 / 0.0;
            c.SetWorldTransform({inf, 0, 0, 1, 0, 0});
            c.ModifyWorldTransform({1e300, 0, 0, 1e300, 0, 0}, kMwtLeftMultiply);
            c.SelectPen({kPsUserStyle | kPsGeometric, nan, {}, {nan, -inf, 0, 1e300}});
            const std::vector<Point> points = {{nan, 0}, {1e308, -1e308}, {3, 4}, {inf, inf}};
            c.Polygon(points);
            c.PolyBezier(points);
            c.Arc({0, 0, 1e308, nan}, {nan, 0}, {0, inf});
            c.SetWindowExt(0, 0);
            c.IntersectClipRect({nan, 0, inf, 1});
        },
    };
    for (std::size_t k = 0; k < damage.size(); ++k) {
        const Drawing d = Draw([&](Canvas& c) {
            c.Save();
            damage[k](c);
            c.Restore(1);
            c.SelectClipRegion({}, kRgnCopy);
            c.SelectPen(kNullPen);
            c.SelectBrush(SolidBrush(kRedColour));
            c.Rectangle({10, 10, 30, 30});
        });
        EXPECT_EQ(d.At(20, 20), kRed) << k;
        EXPECT_EQ(d.At(35, 35), kWhite) << k;
    }
}

} // namespace
} // namespace tlc::gdi
