#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "LogoTestSupport.h"
#include "base/Exceptions.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/PrinterModels.h"

namespace tlc {
namespace {

using test::Hex;
using test::InstallIcon;
using test::InstallRaster;
using test::ToHex;

// Row 0, the diagonal from the top-left corner and the rightmost column black.
void InstallWorkedExample(TImage& target) {
    InstallRaster(target, 16, 8, [](int x, int y) {
        return (y == 0 || x == y || x == 15) ? clBlack : clWhite;
    });
}

struct FileCase {
    int model;
    const char* bytes;
};

TEST(EncodeLogo, WorkedExampleForEachPrinter) {
    const FileCase cases[] = {
        {0, "17 00 1C 71 01 02 00 01 00 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF"},
        {1, "14 00 1D 2A 02 01 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF"},
        {2, "18 00 1B 1C 71 01 02 00 01 00 80 C0 A0 90 88 84 82 81 80 80 80 80 80 80 80 FF"},
        {3, "18 00 1B 23 01 1D 2A 01 02 01 FF FF 40 01 20 01 10 01 08 01 04 01 02 01 01 01"},
    };
    for (const FileCase& c : cases) {
        TImage target;
        InstallWorkedExample(target);
        EXPECT_EQ(ToHex(EncodeLogo(c.model, {16, 8}, target)), ToHex(Hex(c.bytes))) << "model " << c.model;
    }
}

TEST(EncodeLogo, StartUpStateWritesHeaderOnly) {
    const FileCase cases[] = {
        {0, "07 00 1C 71 01 00 00 00 00"},
        {1, "04 00 1D 2A 00 00"},
        {2, "08 00 1B 1C 71 01 00 00 00 00"},
        {3, "08 00 1B 23 01 1D 2A 01 00 00"},
    };
    for (const FileCase& c : cases) {
        // With 0 x 0 no pixel is read, so even a target that refuses pixel
        // access writes its file; an empty one does not become a bitmap.
        TImage empty, icon;
        InstallIcon(icon);
        EXPECT_EQ(ToHex(EncodeLogo(c.model, {0, 0}, empty)), ToHex(Hex(c.bytes))) << c.model;
        EXPECT_EQ(empty.Picture().Graphic(), nullptr);
        EXPECT_EQ(ToHex(EncodeLogo(c.model, {0, 0}, icon)), ToHex(Hex(c.bytes))) << c.model;
    }
}

TEST(EncodeLogo, RefreshWithoutPictureGivesTheBlankLogo) {
    TImage source, target;
    LogoGeometry geometry;
    ConvertImage(source, target, {}, LimitsOf(BuildPrinterModels(), 0), geometry);
    EXPECT_EQ(ToHex(EncodeLogo(0, geometry, target)),
              "0F 00 1C 71 01 01 00 01 00 00 00 00 00 00 00 00 00");
}

TEST(EncodeLogo, ColumnOfTwoDotsIsByte0A) {
    TImage target;
    InstallRaster(target, 8, 8, [](int x, int y) { return x == 0 && (y == 4 || y == 6) ? clBlack : clWhite; });
    const std::vector<std::uint8_t> bytes = EncodeLogo(0, {8, 8}, target);
    ASSERT_EQ(bytes.size(), 2u + 7u + 8u);
    EXPECT_EQ(bytes[9], 0x0A);
    for (std::size_t i = 10; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0x00) << i;
}

struct LargeCase {
    int model;
    LogoGeometry geometry;
    const char* prefix;
    std::size_t size;
};

TEST(EncodeLogo, LargestLogosKeepLittleEndianFields) {
    const LargeCase cases[] = {
        {0, {600, 600}, "CF AF 1C 71 01 4B 00 4B 00", 45009},
        {2, {600, 600}, "D0 AF 1B 1C 71 01 4B 00 4B 00", 45010},
        {1, {256, 384}, "04 30 1D 2A 20 30", 12294},
        {3, {568, 920}, "30 FF 1B 23 01 1D 2A 01 47 73", 65330},
    };
    for (const LargeCase& c : cases) {
        TImage target;
        InstallRaster(target, c.geometry.Width, c.geometry.Height, [](int, int) { return clWhite; });
        const std::vector<std::uint8_t> bytes = EncodeLogo(c.model, c.geometry, target);
        const std::vector<std::uint8_t> prefix = Hex(c.prefix);
        ASSERT_EQ(bytes.size(), c.size) << c.model;
        EXPECT_EQ(ToHex({bytes.begin(), bytes.begin() + static_cast<long>(prefix.size())}), ToHex(prefix));
        // The length word counts every byte after it.
        EXPECT_EQ(bytes[0] | (bytes[1] << 8), static_cast<int>(c.size - 2));
    }
}

TEST(EncodeLogo, DotsBeyondASmallerRasterAreClear) {
    TImage target;
    InstallRaster(target, 100, 50, [](int, int) { return clBlack; });
    const std::vector<std::uint8_t> bytes = EncodeLogo(0, {104, 56}, target);
    ASSERT_EQ(bytes.size(), 9u + 104u * 7u);
    for (int x = 0; x < 104; ++x) {
        for (int b = 0; b < 7; ++b) {
            const std::uint8_t want = x >= 100 ? 0x00 : (b < 6 ? 0xFF : 0xC0); // rows 48, 49 only
            ASSERT_EQ(bytes[9 + static_cast<std::size_t>(x * 7 + b)], want) << x << "," << b;
        }
    }
}

TEST(EncodeLogo, OnlyExactZeroIsBlack) {
    struct ColourCase {
        TColor colour;
        bool black;
    };
    const ColourCase cases[] = {
        {0x00000000u, true},  {0x00010101u, false}, {0x00000001u, false},
        {0x00000100u, false}, {0x00010000u, false}, {0x00FFFFFFu, false},
    };
    for (int bitCount : {32, 24}) {
        for (const ColourCase& c : cases) {
            TImage target;
            InstallRaster(target, 8, 8, [&](int, int) { return c.colour; }, bitCount);
            const std::vector<std::uint8_t> bytes = EncodeLogo(3, {8, 8}, target);
            EXPECT_EQ(bytes[10], c.black ? 0xFF : 0x00) << std::hex << c.colour << " at " << bitCount;
        }
    }
}

TEST(EncodeLogo, RefusedPixelAccessPassesThrough) {
    TImage target;
    InstallIcon(target);
    try {
        EncodeLogo(0, {8, 8}, target);
        FAIL() << "encoded an icon";
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Can only modify an image if it contains a bitmap");
    }
}

TEST(EncodeLogo, RefusesWhatNoConversionProduces) {
    TImage target;
    struct BadCase {
        int model;
        LogoGeometry geometry;
    };
    const BadCase cases[] = {
        {-1, {8, 8}},       {4, {8, 8}},        {0, {-8, 8}},       {0, {8, -8}},
        {0, {608, 8}},      {1, {480, 208}},    {1, {488, 8}},      {3, {568, 928}},
        {3, {576, 8}},      {2, {8, 2147483647}}, {0, {-2147483647 - 1, -8}},
    };
    for (const BadCase& c : cases) {
        EXPECT_THROW(EncodeLogo(c.model, c.geometry, target), EInvalidOperation)
            << c.model << ": " << c.geometry.Width << " x " << c.geometry.Height;
    }
    // Exactly at the limits is fine.
    EXPECT_EQ(EncodeLogo(1, {480, 200}, target).size(), 6u + 12000u);
    EXPECT_EQ(EncodeLogo(1, {256, 384}, target).size(), 6u + 12288u);
}

// Compares against a dot matrix read once per pixel, for rasters of several
// formats, sizes that are not multiples of 8 and rasters smaller or larger
// than the geometry.
TEST(EncodeLogo, MatchesDotMatrixForRandomPictures) {
    std::mt19937 random(4242);
    for (int round = 0; round < 60; ++round) {
        const int model = round % 4;
        const PrinterLimits limits = LimitsOf(BuildPrinterModels(), model);
        static const int kBitCounts[] = {1, 8, 16, 24, 32};
        const int bitCount = kBitCounts[round % 5];
        const int w = 1 + static_cast<int>(random() % 90);
        const int h = 1 + static_cast<int>(random() % 90);
        LogoGeometry g{static_cast<std::int32_t>(random() % 100), static_cast<std::int32_t>(random() % 100)};
        g.Width = std::min(g.Width, limits.MaxWidth);
        g.Height = std::min(g.Height, limits.MaxArea / std::max(1, g.Width));
        std::vector<TColor> pixels(static_cast<std::size_t>(w * h));
        for (TColor& p : pixels) p = random() % 3 == 0 ? clBlack : clWhite;
        TImage target;
        TRasterFormat f;
        f.Width = w;
        f.Height = (round & 1) ? -h : h; // either row order in the file
        f.BitCount = static_cast<std::uint16_t>(bitCount);
        if (bitCount == 16) {
            f.Compression = BI_BITFIELDS;
            f.RedMask = 0xF800;
            f.GreenMask = 0x07E0;
            f.BlueMask = 0x001F;
        }
        if (bitCount <= 8) f.ColourTable = {clWhite, clBlack};
        auto raster = TBitmapImage::Create(f);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) raster->SetPixel(x, y, pixels[static_cast<std::size_t>(y * w + x)]);
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(raster);
        target.Picture().Install(std::move(bitmap));

        auto black = [&](int x, int y) {
            return x < w && y < h && pixels[static_cast<std::size_t>(y * w + x)] == clBlack;
        };
        std::vector<std::uint8_t> dots;
        if (model == 3) {
            for (int y = 0; y < g.Height; ++y)
                for (int b = 0; b < g.Width / 8; ++b) {
                    std::uint8_t v = 0;
                    for (int i = 0; i < 8; ++i)
                        if (black(8 * b + i, y)) v |= static_cast<std::uint8_t>(0x80 >> i);
                    dots.push_back(v);
                }
        } else {
            for (int x = 0; x < g.Width; ++x)
                for (int b = 0; b < g.Height / 8; ++b) {
                    std::uint8_t v = 0;
                    for (int i = 0; i < 8; ++i)
                        if (black(x, 8 * b + i)) v |= static_cast<std::uint8_t>(0x80 >> i);
                    dots.push_back(v);
                }
        }
        const std::vector<std::uint8_t> bytes = EncodeLogo(model, g, target);
        const std::size_t k = LogoHeaderLength(model);
        ASSERT_EQ(bytes.size(), 2 + k + dots.size()) << round;
        EXPECT_EQ(ToHex({bytes.begin() + static_cast<long>(2 + k), bytes.end()}), ToHex(dots))
            << "round " << round << " model " << model << " " << g.Width << "x" << g.Height
            << " raster " << w << "x" << h << " at " << bitCount;
        EXPECT_EQ(bytes[0] | (bytes[1] << 8), (g.Width * g.Height / 8 + static_cast<int>(k)) & 0xFFFF);
    }
}

} // namespace
} // namespace tlc
