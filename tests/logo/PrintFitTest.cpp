#include <gtest/gtest.h>

#include "logo/PrintFit.h"
#include "logo/Conversion.h"

namespace tlc {

void PrintTo(const PictureSize& s, std::ostream* os) { *os << s.Width << " x " << s.Height; }

namespace {

struct FitCase {
    int model;
    std::int32_t width, height, maxWidth;
    PictureSize expected;
};

TEST(FitPictureSize, LargestSizeEachPrinterHoldsWhole) {
    const FitCase cases[] = {
        // Rows 0 and 2 (600, 600, 999999): the width they print (512 and
        // 576 dots) or the height limit.
        {0, 4000, 3000, 0, {511, 383}}, {0, 3000, 4000, 0, {450, 600}}, {2, 1000, 1000, 0, {575, 575}},
        {0, 600, 600, 0, {511, 511}},   {0, 512, 100, 0, {511, 100}},   {0, 511, 100, 0, {511, 100}},
        {2, 4000, 3000, 0, {575, 431}}, {0, 16, 3000, 0, {3, 600}},
        {0, 4000, 3000, 512, {511, 383}}, {0, 100, 50, 0, {100, 50}}, // never enlarged
        {2, 100, 50, 64, {63, 32}},      // the logo, with its margin, is 64 wide
        {0, 4000, 3000, 600, {600, 450}}, // the operator's width, past the printable one
        // Row 1 (480, 384, 98304): the area limit decides a square.
        {1, 1000, 1000, 0, {311, 311}}, {1, 4000, 3000, 0, {359, 269}}, {1, 1200, 300, 0, {480, 120}},
        {1, 16, 3000, 0, {2, 384}},
        // Row 3 (568, 2040, 522560).
        {3, 4000, 3000, 0, {568, 426}}, {3, 3000, 4000, 0, {568, 757}}, {3, 16, 3000, 0, {11, 2040}},
        {3, 1000, 1000, 0, {568, 568}},
    };
    const TPrinterModels models = BuildPrinterModels();
    for (const FitCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "model " << c.model << ", " << c.width << " x " << c.height
                                          << ", at most " << c.maxWidth);
        const PrinterLimits limits = LimitsOf(models, c.model);
        const PictureSize got = FitPictureSize(c.width, c.height, limits, c.maxWidth);
        EXPECT_EQ(got, c.expected);
        // Nothing of the scaled picture is cut by the logo's geometry, the
        // logo keeps to the width asked for, and one column more would not.
        const LogoGeometry g = FitGeometry(got.Width, got.Height, limits);
        EXPECT_GE(g.Width, got.Width);
        EXPECT_GE(g.Height, got.Height);
        const std::int32_t widest = c.maxWidth ? c.maxWidth : limits.PrintableWidth ? limits.PrintableWidth : limits.MaxWidth;
        EXPECT_LE(g.Width, widest);
        if (got.Width < c.width && got.Width < limits.MaxWidth) {
            const std::int32_t h = (c.height * (got.Width + 1) * 2 + c.width) / (c.width * 2);
            const LogoGeometry more = FitGeometry(got.Width + 1, h, limits);
            EXPECT_TRUE(more.Width < got.Width + 1 || more.Height < h || more.Width > widest);
        }
    }
    // No printer: nothing to fit to.
    EXPECT_EQ(FitPictureSize(4000, 3000, LimitsOf(models, 7)), (PictureSize{4000, 3000}));
}

TEST(PrintWidthWarning, OnlyWhereTheMakerPublishesAPrintableWidth) {
    EXPECT_EQ(PrintWidthWarning(0, 600),
              "Epson TM-T88III (NVRam) prints 512 dots across: columns 512 to 599 of this "
              "600-dot logo will not print");
    EXPECT_EQ(PrintWidthWarning(0, 520),
              "Epson TM-T88III (NVRam) prints 512 dots across: columns 512 to 519 of this "
              "520-dot logo will not print");
    EXPECT_EQ(PrintWidthWarning(0, 512), "");
    // Only the picture's columns count: a 512-dot picture loses its margin only.
    EXPECT_EQ(PrintWidthWarning(0, 520, 512), "");
    EXPECT_EQ(PrintWidthWarning(0, 520, 515),
              "Epson TM-T88III (NVRam) prints 512 dots across: columns 512 to 514 of this "
              "520-dot logo will not print");
    EXPECT_EQ(PrintWidthWarning(2, 584),
              "Star TSP-700 prints 576 dots across: columns 576 to 583 of this 584-dot logo will not print");
    EXPECT_EQ(PrintWidthWarning(2, 576), "");
    EXPECT_EQ(PrintWidthWarning(2, 584, 576), "");
    for (int model : {1, 3, -1, 4}) EXPECT_EQ(PrintWidthWarning(model, 600), "") << model;
}

} // namespace
} // namespace tlc
