#include <gtest/gtest.h>

#include <random>

#include "BitmapWriter.h"
#include "image/BitmapFile.h"
#include "image/Resample.h"
#include "image/RowScaler.h"

// A bitmap scaled row by row as it is read gives the dots of the whole
// picture read and then scaled down.
namespace tlc {
namespace {

using namespace test;

struct Case {
    const char* name;
    int bitCount;
    std::uint32_t compression;
    std::int32_t width, height; // height negative: top row first
    std::int32_t toWidth, toHeight;
    double given; // share of the pixel bytes the file holds
};

std::vector<std::uint8_t> CaseFile(const Case& c) {
    std::mt19937 random(static_cast<unsigned>(c.width * 7919 + c.height));
    const std::int32_t rows = c.height < 0 ? -c.height : c.height;
    // Bands of equal rows between noisy ones, so that repeated rows are met too.
    const auto value = [&](int x, int y) -> std::uint32_t {
        if ((y / 5) % 3 == 1) return static_cast<std::uint32_t>(y * 37 + x / 9) * 2654435761u >> 8;
        return random();
    };
    BitmapLayout layout;
    layout.Width = c.width;
    layout.Height = c.height;
    layout.BitCount = static_cast<std::uint16_t>(c.bitCount);
    layout.Compression = c.compression;
    if (c.bitCount <= 8)
        for (int k = 0; k < (c.bitCount == 8 ? 200 : 1 << c.bitCount); ++k)
            layout.Table.push_back(static_cast<TColor>(random() & 0xFFFFFF));
    if (c.compression == BI_RLE8)
        layout.Pixels = EncodeRle8(c.width, rows, [&](int x, int y) { return static_cast<std::uint8_t>(value(x, y)); });
    else
        layout.Pixels = PackRows(c.width, rows, c.bitCount, c.height < 0, value);
    layout.Pixels.resize(static_cast<std::size_t>(static_cast<double>(layout.Pixels.size()) * c.given));
    layout.SizeImage = 0;
    return WriteBitmap(layout);
}

TEST(ScaledRead, BitmapRowsGiveTheDotsOfTheWholePictureScaled) {
    const Case cases[] = {
        {"1-bit, bottom row first", 1, BI_RGB, 301, 207, 97, 64, 1.0},
        {"4-bit, top row first", 4, BI_RGB, 190, -333, 61, 100, 1.0},
        {"8-bit with 200 colours", 8, BI_RGB, 257, 255, 200, 13, 1.0},
        {"24-bit, a third of the rows given", 24, BI_RGB, 403, 300, 120, 90, 0.34},
        {"24-bit, top row first, cut in a row", 24, BI_RGB, 403, -300, 11, 299, 0.5},
        {"32-bit, one row tall", 32, BI_RGB, 999, 1, 17, 1, 1.0},
        {"8-bit run-length", 8, BI_RLE8, 350, 211, 100, 60, 1.0},
        {"8-bit run-length, cut short", 8, BI_RLE8, 350, 211, 70, 42, 0.4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> file = CaseFile(c);
        const auto whole = DecodeBitmapFile(file);
        const auto expected = ScaleDown(*whole, c.toWidth, c.toHeight);
        PictureCrop crop;
        crop.ScaleTo = [&](std::int32_t w, std::int32_t h) {
            EXPECT_EQ(w, whole->Width());
            EXPECT_EQ(h, whole->AbsHeight());
            return std::pair{c.toWidth, c.toHeight};
        };
        const auto scaled = DecodeBitmapFile(file, &crop);
        ASSERT_EQ(scaled->Width(), c.toWidth);
        ASSERT_EQ(scaled->AbsHeight(), c.toHeight);
        EXPECT_TRUE(scaled->Pixels() == expected->Pixels());
        EXPECT_EQ(crop.PictureWidth, whole->Width());
    }
}

} // namespace
} // namespace tlc
