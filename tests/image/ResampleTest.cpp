#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "image/Resample.h"

namespace tlc {
namespace {

std::shared_ptr<TBitmapImage> Flat(int w, int h, const std::function<TColor(int, int)>& colour) {
    TRasterFormat f;
    f.Width = w;
    f.Height = -h;
    f.BitCount = 24;
    auto image = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image->SetPixel(x, y, colour(x, y));
    return image;
}

double BlackShare(const TBitmapImage& image) {
    long black = 0;
    for (int y = 0; y < image.AbsHeight(); ++y)
        for (int x = 0; x < image.Width(); ++x) black += image.GetPixel(x, y) == clBlack;
    return static_cast<double>(black) / (static_cast<double>(image.Width()) * image.AbsHeight());
}

TEST(Dithering, FlatGreysGiveTheirShareOfBlack) {
    const struct {
        TColor grey;
        double black;
    } levels[] = {{RGB(128, 128, 128), 0.5}, {clWhite, 0.0}, {clBlack, 1.0}, {RGB(64, 64, 64), 0.75}};
    for (DitherMethod method : {DitherMethod::FloydSteinberg, DitherMethod::Atkinson, DitherMethod::Ordered})
        for (const auto& level : levels) {
            SCOPED_TRACE(::testing::Message() << int(method) << " grey " << RedOf(level.grey));
            const auto dots = Dither(*Flat(64, 48, [&](int, int) { return level.grey; }), method);
            // Atkinson drops a quarter of the error, so mid greys come out lighter.
            const double slack = method == DitherMethod::Atkinson ? 0.1 : 0.03;
            EXPECT_NEAR(BlackShare(*dots), level.black, slack);
        }
    // What the help says of Atkinson: light greys fade out, dark ones fill in.
    const auto atkinson = [](int g) {
        return BlackShare(*Dither(*Flat(64, 48, [g](int, int) { return RGB(g, g, g); }), DitherMethod::Atkinson));
    };
    EXPECT_EQ(atkinson(224), 0.0);
    EXPECT_EQ(atkinson(32), 1.0);
}

// Flat grey 96 on 4 x 2 dots, worked by hand. Errors are kept in sixteenths
// and divided with truncation when a dot takes them; a dot below 128 is black.
// Row 0: 96 black (e 96: 672 right, 480 below, 96 below right);
//        96+42 = 138 white (e -117: -819 right, -351 below left, -585 below,
//        -117 below right); 96-51 = 45 black (e 45: 315, 135, 225, 45);
//        96+19 = 115 black (e 115: 345 below left, 575 below).
// Row 1 holds 129, -354, 453, 620: 96+8 = 104 black (e 104: 728 right);
//        96+23 = 119 black (e 119: 833 right); 96+80 = 176 white (e -79:
//        -553 right); 96+4 = 100 black.
// With the 3 and the 1 swapped (the error thrown the wrong way below) row 1
// comes out black, white, black, white instead.
TEST(Dithering, FloydSteinbergSendsTheErrorRightAndDownAsWorkedByHand) {
    const auto dots = Dither(*Flat(4, 2, [](int, int) { return RGB(96, 96, 96); }), DitherMethod::FloydSteinberg);
    const bool expected[2][4] = {{true, false, true, true}, {true, true, false, true}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dots->GetPixel(x, y), expected[y][x] ? clBlack : clWhite) << x << "," << y;
}

TEST(ScalingDown, AveragesInLinearLightAndKeepsFlatColours) {
    // A fine checkerboard of black and white reflects half the light: sRGB 188,
    // not the 128 that averaging the encoded values would give.
    const auto checker = Flat(64, 40, [](int x, int y) { return ((x ^ y) & 1) ? clWhite : clBlack; });
    const auto grey = ScaleDown(*checker, 16, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(grey->GetPixel(x, y), RGB(188, 188, 188));
    // Flat colours come back exactly, also at a scale that is not a whole number.
    const auto flat = Flat(100, 77, [](int, int) { return RGB(200, 30, 7); });
    const auto small = ScaleDown(*flat, 33, 19);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 33; ++x) ASSERT_EQ(small->GetPixel(x, y), RGB(200, 30, 7));
    // A left half black and a right half white keep their edge in place.
    const auto halves = Flat(90, 9, [](int x, int) { return x < 45 ? clBlack : clWhite; });
    const auto third = ScaleDown(*halves, 30, 3);
    EXPECT_EQ(third->GetPixel(14, 1), clBlack);
    EXPECT_EQ(third->GetPixel(15, 1), clWhite);
}

} // namespace
} // namespace tlc
