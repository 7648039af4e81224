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
