#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/Canvas.h"

namespace tlc {
namespace {

struct FormatCase {
    std::string name;
    TRasterFormat format;
    // Colours that the format holds exactly and must read back unchanged.
    std::vector<TColor> exact;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

TRasterFormat Format(int bpp, std::vector<TColor> table = {}, std::uint32_t compression = BI_RGB,
                     std::uint32_t r = 0, std::uint32_t g = 0, std::uint32_t b = 0) {
    TRasterFormat f;
    f.Width = 13; // odd, so that 1- and 4-bit rows end inside a byte
    f.Height = 5;
    f.BitCount = static_cast<std::uint16_t>(bpp);
    f.Compression = compression;
    f.RedMask = r;
    f.GreenMask = g;
    f.BlueMask = b;
    f.ColourTable = std::move(table);
    return f;
}

class PixelFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PixelFormatTest, WrittenColoursReadBackAndStayInTheirPixel) {
    auto image = TBitmapImage::Create(GetParam().format);
    for (TColor c : GetParam().exact) {
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x) image->SetPixel(x, y, clWhite);
        image->SetPixel(5, 2, c);
        EXPECT_EQ(image->GetPixel(5, 2), c) << std::hex << c;
        // Neighbours in the same byte and row are untouched.
        EXPECT_EQ(image->GetPixel(4, 2), clWhite);
        EXPECT_EQ(image->GetPixel(6, 2), clWhite);
        EXPECT_EQ(image->GetPixel(5, 1), clWhite);
        EXPECT_EQ(image->GetPixel(5, 3), clWhite);
    }
    EXPECT_EQ(image->GetPixel(-1, 0), clNone);
    EXPECT_EQ(image->GetPixel(13, 0), clNone);
    EXPECT_EQ(image->GetPixel(0, 5), clNone);
    EXPECT_EQ(image->GetPixel(0, -1), clNone);
}

const std::vector<TColor> kBlackWhite = {clBlack, clWhite};

INSTANTIATE_TEST_SUITE_P(
    Formats, PixelFormatTest,
    ::testing::Values(
        FormatCase{"bits1", Format(1, kBlackWhite), {clBlack, clWhite}},
        FormatCase{"bits4", Format(4, {clBlack, RGB(255, 0, 0), clWhite, RGB(0, 0, 255)}),
                   {clBlack, RGB(255, 0, 0), RGB(0, 0, 255)}},
        FormatCase{"bits8", Format(8, {RGB(1, 2, 3), clWhite, clBlack, RGB(9, 8, 7)}),
                   {clBlack, RGB(1, 2, 3), RGB(9, 8, 7)}},
        FormatCase{"bits16_555", Format(16), {clBlack, RGB(255, 0, 0), RGB(0, 255, 0), RGB(8, 16, 255)}},
        FormatCase{"bits16_565", Format(16, {}, BI_BITFIELDS, 0xF800, 0x07E0, 0x001F),
                   {clBlack, RGB(255, 0, 255), RGB(0, 4, 0), RGB(0, 255, 0)}},
        FormatCase{"bits24", Format(24), {clBlack, RGB(1, 2, 3), RGB(254, 128, 7)}},
        FormatCase{"bits32", Format(32), {clBlack, RGB(1, 2, 3), RGB(254, 128, 7)}},
        FormatCase{"bits32_masks", Format(32, {}, BI_BITFIELDS, 0xFF, 0xFF00, 0xFF0000),
                   {clBlack, RGB(1, 2, 3), RGB(254, 128, 7)}}),
    [](const auto& info) { return info.param.name; });

TEST(PixelFormat, SixteenBitChannelsWidenToFullScale) {
    auto image = TBitmapImage::Create(Format(16));
    image->Pixels()[0] = 0xFF;
    image->Pixels()[1] = 0x7F; // 0x7FFF: every 5-bit channel full
    EXPECT_EQ(image->GetPixel(0, 0), clWhite);
    image->SetPixel(1, 0, RGB(7, 7, 7)); // below one step of 5 bits
    EXPECT_EQ(image->GetPixel(1, 0), clBlack);
}

TEST(PixelFormat, NearestColourInTable) {
    // No pure black: 0 goes to the darkest grey, which is what reads back.
    auto image = TBitmapImage::Create(Format(8, {clWhite, RGB(200, 200, 200), RGB(40, 40, 40)}));
    image->SetPixel(0, 0, clBlack);
    EXPECT_EQ(image->GetPixel(0, 0), RGB(40, 40, 40));
    image->SetPixel(0, 0, RGB(250, 250, 250));
    EXPECT_EQ(image->GetPixel(0, 0), clWhite);
    image->SetPixel(0, 0, RGB(180, 190, 200));
    EXPECT_EQ(image->GetPixel(0, 0), RGB(200, 200, 200));
}

TEST(PixelFormat, IndexBeyondTableReadsBlack) {
    auto image = TBitmapImage::Create(Format(8, {clWhite}));
    image->Pixels()[0] = 7;
    EXPECT_EQ(image->GetPixel(0, 0), clBlack);
}

TEST(PixelFormat, RefusesUnusableFormats) {
    EXPECT_THROW(TBitmapImage::Create(Format(7)), EInvalidGraphic);
    EXPECT_THROW(TBitmapImage::Create(Format(16, {}, BI_BITFIELDS, 0xF0F0, 0x0F00, 0x000F)),
                 EInvalidGraphic); // red mask not contiguous
    EXPECT_THROW(TBitmapImage::Create(Format(16, {}, BI_BITFIELDS, 0xFF00, 0x0FF0, 0x000F)),
                 EInvalidGraphic); // overlapping masks
    TRasterFormat huge = Format(32);
    huge.Width = 100000;
    huge.Height = 100000;
    EXPECT_THROW(TBitmapImage::Create(huge), EOutOfResources);
    huge.Width = 0x7FFFFFFF;
    huge.Height = -0x7FFFFFFF;
    EXPECT_THROW(TBitmapImage::Create(huge), EOutOfResources);
}

TEST(PixelFormat, RowStride) {
    EXPECT_EQ(RowStride(1, 1), 4u);
    EXPECT_EQ(RowStride(33, 1), 8u);
    EXPECT_EQ(RowStride(3, 24), 12u);
    EXPECT_EQ(RowStride(5, 8), 8u);
    EXPECT_EQ(RowStride(0, 24), 0u);
}

TEST(SystemColours, ResolveOnlyValuesWithTopBit) {
    EXPECT_EQ(ResolveColour(0x8000000F), SystemColour(15));
    EXPECT_NE(ResolveColour(0x8000000F), 0x8000000Fu);
    EXPECT_EQ(ResolveColour(0x00123456), 0x00123456u);
    EXPECT_EQ(ResolveColour(0x80000005), clWhite); // window background
}

} // namespace
} // namespace tlc
