#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "BitmapWriter.h"
#include "CountingView.h"
#include "image/BitmapFile.h"
#include "image/Icon.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/PrinterModels.h"

namespace tlc {
namespace {

using test::CountingView;

const TPrinterModels kModels = BuildPrinterModels();

TEST(PrinterModels, TableAndLookups) {
    EXPECT_EQ(kModels[0].Name, "Epson TM-T88III (NVRam)");
    EXPECT_EQ(kModels[1].Name, "Epson TM-T88I/II (SRam)");
    EXPECT_EQ(kModels[2].Name, "Star TSP-700");
    EXPECT_EQ(kModels[3].Name, "IBM TF6");
    const PrinterLimits row1 = LimitsOf(kModels, 1);
    EXPECT_EQ(row1.MaxWidth, 480);
    EXPECT_EQ(row1.MaxHeight, 384);
    EXPECT_EQ(row1.MaxArea, 98304);
    const PrinterLimits row3 = LimitsOf(kModels, 3);
    EXPECT_EQ(row3.MaxWidth, 568);
    EXPECT_EQ(row3.MaxHeight, 2040);
    EXPECT_EQ(row3.MaxArea, 522560);
    for (int index : {-1, 4, 100, -2147483647}) {
        const PrinterLimits none = LimitsOf(kModels, index);
        EXPECT_EQ(none.MaxWidth, 0);
        EXPECT_EQ(none.MaxHeight, 0);
        EXPECT_EQ(none.MaxArea, 0);
    }
}

struct GeometryCase {
    std::int32_t w, h;
    LogoGeometry rows02, row1, row3;
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.w << " x " << c.h; }

class GeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryTest, FitsEachPrinter) {
    const GeometryCase& c = GetParam();
    EXPECT_EQ(FitGeometry(c.w, c.h, LimitsOf(kModels, 0)), c.rows02);
    EXPECT_EQ(FitGeometry(c.w, c.h, LimitsOf(kModels, 2)), c.rows02);
    EXPECT_EQ(FitGeometry(c.w, c.h, LimitsOf(kModels, 1)), c.row1);
    EXPECT_EQ(FitGeometry(c.w, c.h, LimitsOf(kModels, 3)), c.row3);
    EXPECT_EQ(FitGeometry(c.w, c.h, LimitsOf(kModels, -1)), (LogoGeometry{0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, GeometryTest,
    ::testing::Values(GeometryCase{0, 0, {8, 8}, {8, 8}, {8, 8}},
                      GeometryCase{1, 1, {8, 8}, {8, 8}, {8, 8}},
                      GeometryCase{8, 8, {16, 16}, {16, 16}, {16, 16}},
                      GeometryCase{96, 96, {104, 104}, {104, 104}, {104, 104}},
                      GeometryCase{100, 50, {104, 56}, {104, 56}, {104, 56}},
                      GeometryCase{472, 376, {480, 384}, {480, 200}, {480, 384}},
                      GeometryCase{480, 204, {488, 208}, {480, 200}, {488, 208}},
                      GeometryCase{567, 919, {568, 600}, {480, 200}, {568, 920}},
                      GeometryCase{640, 480, {600, 488}, {480, 200}, {568, 488}},
                      GeometryCase{1000, 1000, {600, 600}, {480, 200}, {568, 920}},
                      GeometryCase{300, 3000, {304, 600}, {304, 320}, {304, 1712}},
                      GeometryCase{16, 3000, {24, 600}, {24, 384}, {24, 2040}},
                      // hostile sizes do not overflow on the way
                      GeometryCase{2147483647, 2147483647, {600, 600}, {480, 200}, {568, 920}}));

// A picture whose pixels are given by a function, as a 24-bit bitmap.
template <typename F> void InstallPicture(TImage& image, int w, int h, F colourAt) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = 24;
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster->SetPixel(x, y, colourAt(x, y));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

struct PixelCase {
    TColor colour;
    Thresholds thresholds;
    bool dark;
};

TEST(PixelRule, AnyChannelAtOrBelowItsThreshold) {
    const PixelCase cases[] = {
        {RGB(128, 200, 200), {128, 128, 128}, true}, // red equals its threshold
        {RGB(129, 129, 129), {128, 128, 128}, false},
        {RGB(200, 128, 200), {128, 128, 128}, true},
        {RGB(200, 200, 128), {128, 128, 128}, true},
        {RGB(255, 0, 0), {0, 0, 0}, true},
        {clBlack, {0, 0, 0}, true},
        {clWhite, {0, 0, 0}, false},
        {RGB(1, 1, 1), {0, 0, 0}, false},
        {clWhite, {255, 0, 0}, true},
        {clWhite, {0, 0, 255}, true},
        {clNone, {254, 254, 254}, false}, // outside a raster reads as white
        {0xFF000000u | RGB(10, 10, 10), {128, 128, 128}, true}, // top byte ignored
        {RGB(5, 5, 5), {-1, -1, -1}, false},                  // parsed, never clamped
        {RGB(255, 255, 255), {300, 0, 0}, true},
    };
    for (const PixelCase& c : cases) {
        EXPECT_EQ(IsDark(c.colour, c.thresholds), c.dark)
            << std::hex << c.colour << std::dec << " at " << c.thresholds.Red << ","
            << c.thresholds.Green << "," << c.thresholds.Blue;
    }
}

TEST(ThresholdText, CorrectedAsTheBoxesDo) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "0"},     {"   ", "0"},   {"abc", "0"},    {"-5", "0"},    {"000", "0"},
        {"0", "0"},    {"1", "1"},     {"007", "007"},  {"$FF", "$FF"}, {" 12", " 12"},
        {"255", "255"}, {"256", "255"}, {"300", "255"}, {"$100", "255"}, {"12 ", "0"},
        {"99999999999", "0"},  {"0x100", "255"}, {"$FFFFFFFF", "0"}, {"  12", "  12"}};
    for (const auto& [typed, kept] : cases) EXPECT_EQ(CorrectThresholdText(typed), kept) << typed;
}

TEST(Conversion, MarginStaysOutsideTheCopiedPicture) {
    for (int threshold : {0, 128, 255}) {
        TImage source, target;
        InstallPicture(source, 100, 50, [](int x, int y) { return RGB(x * 2, y * 5, 100); });
        LogoGeometry geometry;
        ConvertImage(source, target, {threshold, threshold, threshold}, LimitsOf(kModels, 0),
                     geometry);
        EXPECT_EQ(geometry, (LogoGeometry{104, 56}));
        EXPECT_EQ(target.Width(), 104);
        EXPECT_EQ(target.Height(), 56);
        EXPECT_EQ(target.Picture().Width(), 100);
        TCanvas& canvas = target.EnsureCanvas();
        for (int y = 0; y < 56; ++y) {
            for (int x = 0; x < 104; ++x) {
                const TColor got = canvas.ReadPixel(x, y);
                if (x >= 100 || y >= 50) {
                    ASSERT_EQ(got, clNone) << x << "," << y;
                } else {
                    const bool dark = x * 2 <= threshold || y * 5 <= threshold || 100 <= threshold;
                    ASSERT_EQ(got, dark ? clBlack : clWhite) << x << "," << y << " t" << threshold;
                }
            }
        }
        // The source kept its colours.
        EXPECT_EQ(source.EnsureCanvas().ReadPixel(3, 4), RGB(6, 20, 100));
    }
}

TEST(Conversion, LargePictureIsCutNotScaled) {
    TImage source, target;
    InstallPicture(source, 700, 20, [](int x, int) { return x >= 599 ? clBlack : clWhite; });
    LogoGeometry geometry;
    ConvertImage(source, target, {}, LimitsOf(kModels, 0), geometry);
    EXPECT_EQ(geometry, (LogoGeometry{600, 24}));
    EXPECT_EQ(target.EnsureCanvas().ReadPixel(598, 0), clWhite);
    EXPECT_EQ(target.EnsureCanvas().ReadPixel(599, 0), clBlack);
    // Beyond the geometry the copy keeps the source's colours.
    EXPECT_EQ(target.EnsureCanvas().ReadPixel(650, 0), clBlack);
}

TEST(Conversion, RedrawsBeforeRowsAndEveryTwentiethRow) {
    TImage source, target;
    CountingView view(target);
    InstallPicture(source, 96, 96, [](int, int) { return clWhite; });
    LogoGeometry geometry;
    ConvertImage(source, target, {}, LimitsOf(kModels, 0), geometry);
    ASSERT_EQ(geometry.Height, 104);
    EXPECT_EQ(view.repaints, 7); // before, then after rows 0, 20, 40, 60, 80, 100
}

TEST(Conversion, NoPrinterSelectedTouchesNoPixel) {
    TImage source, target;
    InstallPicture(source, 30, 30, [](int, int) { return clBlack; });
    target.SetBounds(0, 0, 50, 50);
    LogoGeometry geometry{16, 16};
    ConvertImage(source, target, {255, 255, 255}, LimitsOf(kModels, -1), geometry);
    EXPECT_EQ(geometry, (LogoGeometry{0, 0}));
    EXPECT_EQ(target.Width(), 0);
    EXPECT_EQ(target.Height(), 0);
    // Still sharing: nothing was written to the target.
    const auto* bitmap = static_cast<const TBitmap*>(target.Picture().Graphic());
    EXPECT_EQ(bitmap->ShareCount(), 2);
}

TEST(Conversion, EmptySourceGivesBlankEightByEight) {
    for (int threshold : {128, 255}) {
        TImage source, target;
        source.SetBounds(0, 0, 245, 263);
        LogoGeometry geometry;
        ConvertImage(source, target, {threshold, 128, 128}, LimitsOf(kModels, 0), geometry);
        EXPECT_EQ(geometry, (LogoGeometry{8, 8}));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(target.EnsureCanvas().ReadPixel(x, y), threshold == 255 ? clBlack : clWhite);
        // The source now holds a blank picture of its control's size.
        EXPECT_EQ(source.Picture().Width(), 245);
        ConvertImage(source, target, {}, LimitsOf(kModels, 0), geometry);
        EXPECT_EQ(geometry, (LogoGeometry{248, 264}));
    }
}

TEST(Conversion, IconFailsAtFirstWriteWithGeometrySet) {
    TImage source, target;
    auto graphic = std::make_unique<TIcon>();
    auto icon = std::make_shared<TIconImage>();
    icon->Bytes = {0, 0, 1, 0, 1, 0};
    graphic->SetImage(icon);
    source.Picture().Install(std::move(graphic));
    LogoGeometry geometry;
    try {
        ConvertImage(source, target, {}, LimitsOf(kModels, 0), geometry);
        FAIL() << "converted an icon";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Can only modify an image if it contains a bitmap");
    }
    EXPECT_EQ(geometry, (LogoGeometry{40, 40}));
    EXPECT_EQ(target.Width(), 40);
    ASSERT_NE(target.Picture().Graphic(), nullptr);
    EXPECT_EQ(target.Picture().Graphic()->Kind(), GraphicKind::Icon);
}

// Decodes a bitmap file, converts it with the default thresholds and encodes
// the logo for `model`.
std::vector<std::uint8_t> LogoOfBitmapFile(const std::vector<std::uint8_t>& file, int model) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(DecodeBitmapFile(file));
    TImage source, target;
    source.Picture().Install(std::move(bitmap));
    LogoGeometry geometry;
    ConvertImage(source, target, {128, 128, 128}, LimitsOf(kModels, model), geometry);
    return EncodeLogo(model, geometry, target);
}

// A colour table without pure black (or white) gives the logo the same
// picture gives in true colour: its dark dots are black, not the table's
// darkest entry, which the logo would count as clear.
TEST(Conversion, PalettesWithoutBlackGiveTheLogoOfTheSamePictureInTrueColour) {
    const TColor navy = RGB(0, 0, 80), grey = RGB(200, 200, 200), olive = RGB(120, 140, 20);
    struct Case {
        const char* name;
        std::uint16_t bitCount;
        std::vector<TColor> table;
    };
    std::vector<TColor> sixteen(16, grey);
    sixteen[0] = clWhite;
    sixteen[1] = navy;
    sixteen[2] = olive;
    std::vector<TColor> many(256, grey);
    many[7] = navy;
    many[0] = olive;
    many[200] = clWhite;
    const Case cases[] = {
        {"1 bit, navy and white", 1, {navy, clWhite}},
        {"4 bits, no black", 4, sixteen},
        {"8 bits, neither black nor white", 8, many},
        {"8 bits with black", 8, {grey, clBlack, olive}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto entry = [&](int x, int y) {
            return static_cast<std::uint32_t>((x * 7 + y * 3 + (x * y) % 5) % static_cast<int>(c.table.size()));
        };
        test::BitmapLayout palette;
        palette.Width = 37;
        palette.Height = 21;
        palette.BitCount = c.bitCount;
        palette.Table = c.table;
        palette.Pixels = test::PackRows(37, 21, c.bitCount, false, entry);
        test::BitmapLayout trueColour = palette;
        trueColour.BitCount = 24;
        trueColour.Table.clear();
        trueColour.Pixels = test::PackRows(37, 21, 24, false, [&](int x, int y) {
            const TColor t = c.table[entry(x, y)];
            return (RedOf(t) << 16) | (GreenOf(t) << 8) | BlueOf(t);
        });
        for (int model : {0, 3}) {
            const std::vector<std::uint8_t> expected = LogoOfBitmapFile(test::WriteBitmap(trueColour), model);
            const std::size_t header = model == 0 ? 9 : 10;
            ASSERT_NE(std::vector<std::uint8_t>(expected.begin() + header, expected.end()),
                      std::vector<std::uint8_t>(expected.size() - header, 0)); // some dots are black
            EXPECT_EQ(LogoOfBitmapFile(test::WriteBitmap(palette), model), expected) << "model " << model;
        }
    }
}

// A table longer than the raster can index, white beyond its reach: the
// target holds white, never entry 0 (black), so an all-grey picture gives a
// blank logo. One bitmap file per case, read, converted and encoded.
TEST(Conversion, LongColourTablesStoreTheNearestIndexableEntry) {
    const TColor grey = RGB(200, 200, 200);
    struct Case {
        const char* name;
        std::uint16_t bitCount;
        std::vector<TColor> table; // entry 1 is the picture's grey
        TColor whiteStoredAs;
    };
    std::vector<TColor> sixteenAndWhite(16, clBlack);
    sixteenAndWhite[1] = grey;
    sixteenAndWhite.push_back(clWhite); // entry 16: beyond 4 bits
    const Case cases[] = {
        {"1 bit, 3 colours", 1, {clBlack, grey, clWhite}, clWhite},
        {"4 bits, 17 colours", 4, sixteenAndWhite, clWhite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::BitmapLayout layout;
        layout.Width = 16;
        layout.Height = 8;
        layout.BitCount = c.bitCount;
        layout.Table = c.table;
        layout.Pixels = test::PackRows(16, 8, c.bitCount, false, [](int, int) { return 1u; });
        const std::vector<std::uint8_t> file = test::WriteBitmap(layout);
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(DecodeBitmapFile(file));
        TImage source, target;
        source.Picture().Install(std::move(bitmap));
        LogoGeometry geometry;
        ConvertImage(source, target, {128, 128, 128}, LimitsOf(kModels, 0), geometry);
        EXPECT_EQ(target.EnsureCanvas().ReadPixel(5, 5), c.whiteStoredAs);
        const std::vector<std::uint8_t> logo = EncodeLogo(0, geometry, target);
        ASSERT_GT(logo.size(), 9u + 16u);
        EXPECT_EQ(std::vector<std::uint8_t>(logo.begin() + 9, logo.end()),
                  std::vector<std::uint8_t>(logo.size() - 9, 0)); // no black dot
    }
}

} // namespace
} // namespace tlc
