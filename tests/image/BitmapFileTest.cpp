#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "base/Exceptions.h"
#include "image/BitmapFile.h"

namespace tlc {
namespace {

using test::BitmapLayout;
using test::PackRows;
using test::WriteBitmap;

std::shared_ptr<TBitmapImage> Decode(const BitmapLayout& layout) {
    const auto bytes = WriteBitmap(layout);
    return DecodeBitmapFile(bytes);
}

std::vector<TColor> Palette(int n) {
    std::vector<TColor> t;
    for (int i = 0; i < n; ++i)
        t.push_back(RGB(i * 7 % 256, 255 - i, i * 13 % 256));
    return t;
}

// ---------------------------------------------------------------------------
// Every accepted pixel layout, both row orders: what ReadPixel gives must be
// the colour written, with (0, 0) the top-left pixel as displayed.

struct LayoutCase {
    std::string name;
    std::uint32_t headerSize;
    int bitCount;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    int tableSize;
    // Raw file value and the colour it must read as; `channelBits` > 0 means
    // only the top bits of each channel are compared (widened channels).
    std::function<std::uint32_t(int, int)> raw;
    std::function<TColor(int, int)> colour;
    int channelBits = 8;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<TColor> kTable16 = Palette(16);
const std::vector<TColor> kTable256 = Palette(256);

int Index(int x, int y, int n) {
    return (x * 3 + y * 5) % n;
}
int Chan(int x, int y, int k) {
    return (x * 37 + y * 91 + k * 53) % 256;
}

std::vector<LayoutCase> LayoutCases() {
    std::vector<LayoutCase> cases;
    for (std::uint32_t header : {12u, 40u, 108u, 124u}) {
        const std::string h = std::to_string(header);
        cases.push_back({"pal1_h" + h,
                         header,
                         1,
                         BI_RGB,
                         {},
                         2,
                         [](int x, int y) { return std::uint32_t((x + y) % 2); },
                         [](int x, int y) { return (x + y) % 2 ? clWhite : clBlack; }});
        cases.push_back({"pal4_h" + h,
                         header,
                         4,
                         BI_RGB,
                         {},
                         16,
                         [](int x, int y) { return std::uint32_t(Index(x, y, 16)); },
                         [](int x, int y) { return kTable16[Index(x, y, 16)]; }});
        cases.push_back({"pal8_h" + h,
                         header,
                         8,
                         BI_RGB,
                         {},
                         256,
                         [](int x, int y) { return std::uint32_t(Index(x, y, 256)); },
                         [](int x, int y) { return kTable256[Index(x, y, 256)]; }});
        cases.push_back(
            {"rgb24_h" + h,
             header,
             24,
             BI_RGB,
             {},
             0,
             [](int x, int y) {
                 return std::uint32_t(Chan(x, y, 0) << 16 | Chan(x, y, 1) << 8 | Chan(x, y, 2));
             },
             [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); }});
    }
    // 16 bits without masks: 5-5-5, red highest; the top bit is ignored.
    cases.push_back({"rgb16_555",
                     40,
                     16,
                     BI_RGB,
                     {},
                     0,
                     [](int x, int y) {
                         return std::uint32_t(0x8000 | (Chan(x, y, 0) >> 3) << 10 |
                                              (Chan(x, y, 1) >> 3) << 5 | (Chan(x, y, 2) >> 3));
                     },
                     [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); },
                     5});
    for (std::uint32_t header : {40u, 56u, 108u, 124u}) {
        const std::string h = std::to_string(header);
        cases.push_back(
            {"rgb16_565_h" + h,
             header,
             16,
             BI_BITFIELDS,
             {0xF800, 0x07E0, 0x001F},
             0,
             [](int x, int y) {
                 return std::uint32_t((Chan(x, y, 0) >> 3) << 11 | (Chan(x, y, 1) >> 3) << 6 |
                                      (Chan(x, y, 2) >> 3));
             },
             [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); },
             5});
        // 8-8-8 in an unusual order: red lowest, blue in the top byte.
        cases.push_back(
            {"rgb32_bgr_high_h" + h,
             header,
             32,
             BI_BITFIELDS,
             {0x000000FF, 0x0000FF00, 0xFF000000},
             0,
             [](int x, int y) {
                 return std::uint32_t(Chan(x, y, 2)) << 24 | Chan(x, y, 1) << 8 | Chan(x, y, 0);
             },
             [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); }});
    }
    cases.push_back(
        {"rgb32_plain_fourth_byte_ignored",
         40,
         32,
         BI_RGB,
         {},
         0,
         [](int x, int y) {
             return std::uint32_t(0xAB000000u | Chan(x, y, 0) << 16 | Chan(x, y, 1) << 8 |
                                  Chan(x, y, 2));
         },
         [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); }});
    // A version 5 header whose mask slots hold junk: without compression 3
    // they are not used.
    cases.push_back(
        {"rgb32_plain_v5_junk_masks",
         124,
         32,
         BI_RGB,
         {0x73524742, 1, 2},
         0,
         [](int x, int y) {
             return std::uint32_t(Chan(x, y, 0) << 16 | Chan(x, y, 1) << 8 | Chan(x, y, 2));
         },
         [](int x, int y) { return RGB(Chan(x, y, 0), Chan(x, y, 1), Chan(x, y, 2)); }});
    return cases;
}

class BitmapLayoutTest : public ::testing::TestWithParam<std::tuple<LayoutCase, bool>> {};

// Each layout in both row orders, except core headers, which are always
// stored bottom row first.
std::vector<std::tuple<LayoutCase, bool>> LayoutsInBothOrders() {
    std::vector<std::tuple<LayoutCase, bool>> out;
    for (const LayoutCase& c : LayoutCases()) {
        out.emplace_back(c, false);
        if (c.headerSize != 12) out.emplace_back(c, true);
    }
    return out;
}

TEST_P(BitmapLayoutTest, EveryPixelReadsAsWritten) {
    const auto& [c, topDown] = GetParam();
    constexpr int kWidth = 13, kHeight = 5; // odd width: rows end inside a byte and are padded
    BitmapLayout layout;
    layout.HeaderSize = c.headerSize;
    layout.Width = kWidth;
    layout.Height = topDown ? -kHeight : kHeight;
    layout.BitCount = static_cast<std::uint16_t>(c.bitCount);
    layout.Compression = c.compression;
    layout.Masks = c.masks;
    if (c.tableSize == 2) layout.Table = {clBlack, clWhite};
    if (c.tableSize == 16) layout.Table = kTable16;
    if (c.tableSize == 256) layout.Table = kTable256;
    layout.Pixels = PackRows(kWidth, kHeight, c.bitCount, topDown, c.raw);

    const auto image = Decode(layout);
    ASSERT_EQ(image->Width(), kWidth);
    ASSERT_EQ(image->AbsHeight(), kHeight);
    EXPECT_EQ(image->BitCount(), c.bitCount) << "the file's own pixel format is kept";
    EXPECT_EQ(image->FileBitCount, c.bitCount);
    EXPECT_EQ(image->CoreHeader, c.headerSize == 12);
    EXPECT_EQ(image->ColourTable().size(), static_cast<std::size_t>(c.tableSize));
    EXPECT_TRUE(image->FileCopy.empty());
    const std::uint32_t keep = (0xFFu << (8 - c.channelBits)) & 0xFF;
    const TColor mask = RGB(keep, keep, keep);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(image->GetPixel(x, y) & mask, c.colour(x, y) & mask)
                << "at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Layouts, BitmapLayoutTest, ::testing::ValuesIn(LayoutsInBothOrders()),
                         [](const auto& info) {
                             return std::get<0>(info.param).name +
                                    (std::get<1>(info.param) ? "_topdown" : "_bottomup");
                         });

// ---------------------------------------------------------------------------
// Files that must fail, each with the system's message.

enum class Fails { ReadError, NotValid, OutOfResources };

struct BadCase {
    std::string name;
    std::function<std::vector<std::uint8_t>()> bytes;
    Fails expected;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

BitmapLayout Small24() {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 2;
    s.BitCount = 24;
    s.Pixels.assign(24, 0x80);
    return s;
}

std::function<std::vector<std::uint8_t>()> With(std::function<void(BitmapLayout&)> change) {
    return [change] {
        BitmapLayout s = Small24();
        change(s);
        return WriteBitmap(s);
    };
}

std::vector<BadCase> BadCases() {
    return {
        {"ten_bytes", [] { return std::vector<std::uint8_t>(10, 'B'); }, Fails::ReadError},
        {"thirteen_bytes",
         [] {
             auto b = WriteBitmap(Small24());
             b.resize(13);
             return b;
         },
         Fails::ReadError},
        {"file_header_only",
         [] {
             auto b = WriteBitmap(Small24());
             b.resize(14);
             return b;
         },
         Fails::ReadError},
        {"signature_MB", With([](BitmapLayout& s) {
             s.Signature[0] = 'M';
             s.Signature[1] = 'B';
         }),
         Fails::NotValid},
        {"signature_BA_bitmap_array", With([](BitmapLayout& s) { s.Signature[1] = 'A'; }),
         Fails::NotValid},
        {"planes_0", With([](BitmapLayout& s) { s.Planes = 0; }), Fails::NotValid},
        {"planes_2", With([](BitmapLayout& s) { s.Planes = 2; }), Fails::NotValid},
        {"core_planes_3", With([](BitmapLayout& s) {
             s.HeaderSize = 12;
             s.Planes = 3;
         }),
         Fails::NotValid},
        {"core_header_cut",
         [] {
             BitmapLayout s = Small24();
             s.HeaderSize = 12;
             auto b = WriteBitmap(s);
             b.resize(22);
             return b;
         },
         Fails::ReadError},
        {"info_header_cut",
         [] {
             auto b = WriteBitmap(Small24());
             b.resize(40);
             return b;
         },
         Fails::NotValid},
        {"header_size_16", With([](BitmapLayout& s) { s.HeaderSize = 16; }), Fails::NotValid},
        {"header_size_64", With([](BitmapLayout& s) { s.HeaderSize = 64; }), Fails::NotValid},
        {"header_size_huge", With([](BitmapLayout& s) { s.HeaderSize = 0xFFFFFFF0u; }),
         Fails::NotValid},
        {"bits_2", With([](BitmapLayout& s) {
             s.BitCount = 2;
             s.Table = Palette(4);
         }),
         Fails::NotValid},
        {"bits_0", With([](BitmapLayout& s) { s.BitCount = 0; }), Fails::NotValid},
        {"bits_64", With([](BitmapLayout& s) { s.BitCount = 64; }), Fails::NotValid},
        {"bits_30000", With([](BitmapLayout& s) { s.BitCount = 30000; }), Fails::NotValid},
        {"colours_257", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.Table = Palette(257);
         }),
         Fails::NotValid},
        {"colours_0x80000010", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.ClrUsed = 0x80000010u;
         }),
         Fails::NotValid},
        {"colour_table_cut",
         [] {
             BitmapLayout s = Small24();
             s.BitCount = 8;
             s.Table = Palette(256);
             s.Pixels.clear();
             auto b = WriteBitmap(s);
             b.resize(b.size() - 5);
             return b;
         },
         Fails::ReadError},
        {"colours_used_past_end", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.Table = Palette(4);
             s.ClrUsed = 200;
             s.Pixels.clear();
         }),
         Fails::ReadError},
        {"core_table_cut",
         [] {
             BitmapLayout s = Small24();
             s.HeaderSize = 12;
             s.BitCount = 8;
             s.Table = Palette(100); // a core header always reads 256 entries
             s.Pixels.clear();
             return WriteBitmap(s);
         },
         Fails::ReadError},
        {"mask_block_cut",
         [] {
             BitmapLayout s = Small24();
             s.BitCount = 16;
             s.Compression = BI_BITFIELDS;
             s.Masks = {0xF800, 0x07E0};
             s.Pixels.clear();
             return WriteBitmap(s);
         },
         Fails::ReadError},
        {"masks_overlap", With([](BitmapLayout& s) {
             s.BitCount = 32;
             s.Compression = BI_BITFIELDS;
             s.Masks = {0xFF00, 0xFFF0, 0xFF};
         }),
         Fails::NotValid},
        {"masks_zero_blue", With([](BitmapLayout& s) {
             s.BitCount = 16;
             s.Compression = BI_BITFIELDS;
             s.Masks = {0xFF00, 0xFF, 0};
         }),
         Fails::NotValid},
        {"masks_with_gaps", With([](BitmapLayout& s) {
             s.BitCount = 32;
             s.Compression = BI_BITFIELDS;
             s.Masks = {0xF0F0, 0xF0000, 0xF};
         }),
         Fails::NotValid},
        {"bitfields_on_24_bits", With([](BitmapLayout& s) { s.Compression = BI_BITFIELDS; }),
         Fails::NotValid},
        {"compression_4_jpeg", With([](BitmapLayout& s) { s.Compression = 4; }), Fails::NotValid},
        {"compression_5_png", With([](BitmapLayout& s) { s.Compression = 5; }), Fails::NotValid},
        {"compression_garbage", With([](BitmapLayout& s) { s.Compression = 0x98FFFFC7u; }),
         Fails::NotValid},
        {"rle8_on_4_bits", With([](BitmapLayout& s) {
             s.BitCount = 4;
             s.Table = Palette(16);
             s.Compression = BI_RLE8;
         }),
         Fails::NotValid},
        {"rle4_on_8_bits", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.Table = Palette(16);
             s.Compression = BI_RLE4;
         }),
         Fails::NotValid},
        {"rle8_top_down", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.Table = Palette(16);
             s.Compression = BI_RLE8;
             s.Height = -2;
         }),
         Fails::NotValid},
        {"width_0", With([](BitmapLayout& s) { s.Width = 0; }), Fails::NotValid},
        {"width_negative", With([](BitmapLayout& s) { s.Width = -127; }), Fails::NotValid},
        {"height_0", With([](BitmapLayout& s) { s.Height = 0; }), Fails::NotValid},
        {"height_int_min", With([](BitmapLayout& s) { s.Height = INT32_MIN; }), Fails::NotValid},
        // Above the raster cap: refused before anything is allocated.
        {"width_int_max", With([](BitmapLayout& s) { s.Width = INT32_MAX; }), Fails::OutOfResources},
        {"height_int_max", With([](BitmapLayout& s) { s.Height = INT32_MAX; }),
         Fails::OutOfResources},
        {"3000000_by_2000000", With([](BitmapLayout& s) {
             s.Width = 3000000;
             s.Height = 2000000;
         }),
         Fails::OutOfResources},
        {"one_over_the_cap", With([](BitmapLayout& s) {
             s.BitCount = 8;
             s.Table = Palette(2);
             s.Width = 65536;
             s.Height = 4097;
         }),
         Fails::OutOfResources},
        {"rle_raster_over_the_cap", With([](BitmapLayout& s) {
             s.BitCount = 4;
             s.Table = Palette(16);
             s.Compression = BI_RLE4;
             s.Width = 131168;
             s.Height = 4096;
         }),
         Fails::OutOfResources},
    };
}

class BitmapRefusedTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BitmapRefusedTest, FailsWithTheSystemsMessage) {
    const auto bytes = GetParam().bytes();
    switch (GetParam().expected) {
    case Fails::ReadError:
        try {
            DecodeBitmapFile(bytes);
            FAIL() << "loaded";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        break;
    case Fails::NotValid:
        try {
            DecodeBitmapFile(bytes);
            FAIL() << "loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
        }
        break;
    case Fails::OutOfResources:
        try {
            DecodeBitmapFile(bytes);
            FAIL() << "loaded";
        } catch (const EOutOfResources& e) {
            EXPECT_STREQ(e.what(), "Out of system resources");
        }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Refused, BitmapRefusedTest, ::testing::ValuesIn(BadCases()),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Loading rules.

TEST(BitmapFile, EmptyFileIsAnEmptyBitmap) {
    const auto image = DecodeBitmapFile({});
    EXPECT_FALSE(image->HasRaster());
    EXPECT_EQ(image->Width(), 0);
    EXPECT_EQ(image->AbsHeight(), 0);
}

TEST(BitmapFile, OneBitBlackAndWhiteReadExactly) {
    BitmapLayout s;
    s.Width = 9;
    s.Height = 3;
    s.BitCount = 1;
    s.Table = {RGB(0, 0, 0), RGB(255, 255, 255)};
    s.Pixels = PackRows(9, 3, 1, false, [](int x, int) { return std::uint32_t(x == 8); });
    const auto image = Decode(s);
    EXPECT_EQ(image->GetPixel(0, 0), 0u);
    EXPECT_EQ(image->GetPixel(8, 2), 0x00FFFFFFu);
}

TEST(BitmapFile, TopDownAndBottomUpReadTheSame) {
    auto make = [](bool topDown) {
        BitmapLayout s;
        s.Width = 100;
        s.Height = topDown ? -50 : 50;
        s.Pixels = PackRows(100, 50, 24, topDown, [](int x, int y) {
            return std::uint32_t(x * 2 << 16 | y * 5 << 8 | (x ^ y));
        });
        return Decode(s);
    };
    const auto up = make(false), down = make(true);
    EXPECT_EQ(up->Height(), 50);
    EXPECT_EQ(down->Height(), -50) << "the stored order stays in the description";
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(up->GetPixel(x, y), down->GetPixel(x, y));
    EXPECT_EQ(up->GetPixel(3, 0), RGB(6, 0, 3));
}

TEST(BitmapFile, GapBeforePixelsIsSkippedByTheFileHeaderOffset) {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 1;
    s.BitCount = 8;
    s.Table = Palette(4);
    s.Gap = 100;
    s.Pixels = {3, 2, 1, 0};
    const auto image = Decode(s);
    EXPECT_EQ(image->GetPixel(0, 0), s.Table[3]);
    EXPECT_EQ(image->GetPixel(3, 0), s.Table[0]);
}

TEST(BitmapFile, UnusablePixelOffsetFallsBackToRightAfterTheTable) {
    for (std::uint32_t offset : {0u, 20u, 54u + 15u /* inside the table */, 0xFFFFFF00u}) {
        BitmapLayout s;
        s.Width = 4;
        s.Height = 1;
        s.BitCount = 8;
        s.Table = Palette(4);
        s.PixelOffset = offset;
        s.Pixels = {3, 2, 1, 0};
        const auto image = Decode(s);
        EXPECT_EQ(image->GetPixel(0, 0), s.Table[3]) << offset;
        EXPECT_EQ(image->GetPixel(3, 0), s.Table[0]) << offset;
    }
}

TEST(BitmapFile, PixelOffsetAtTheEndOfTheFileIsNotHonoured) {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 1;
    s.BitCount = 8;
    s.Table = Palette(4);
    s.Pixels = {1, 1, 1, 1};
    auto bytes = WriteBitmap(s);
    test::SetLE32(bytes, 10, static_cast<std::uint32_t>(bytes.size()));
    EXPECT_EQ(DecodeBitmapFile(bytes)->GetPixel(2, 0), s.Table[1]);
}

TEST(BitmapFile, CoreHeaderReadsAllTwoHundredFiftySixThreeByteEntries) {
    BitmapLayout s;
    s.HeaderSize = 12;
    s.Width = 4;
    s.Height = 1;
    s.BitCount = 8;
    s.Table = Palette(256);
    s.PixelOffset = 0; // not consulted: the pixels follow the 768 table bytes
    s.Pixels = {255, 0, 128, 7};
    const auto image = Decode(s);
    ASSERT_EQ(image->ColourTable().size(), 256u);
    EXPECT_EQ(image->GetPixel(0, 0), s.Table[255]);
    EXPECT_EQ(image->GetPixel(2, 0), s.Table[128]);
    EXPECT_EQ(image->GetPixel(3, 0), s.Table[7]);
    EXPECT_TRUE(image->CoreHeader);
}

TEST(BitmapFile, ColoursUsedZeroMeansTheFullTableAndFewerAreRead) {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 1;
    s.BitCount = 4;
    s.Table = Palette(16);
    s.ClrUsed = 0;
    s.Pixels = {0xF0, 0x12, 0, 0};
    EXPECT_EQ(Decode(s)->ColourTable().size(), 16u);
    EXPECT_EQ(Decode(s)->GetPixel(0, 0), s.Table[15]);

    s.Table = Palette(3);
    s.ClrUsed = 3;
    const auto image = Decode(s);
    EXPECT_EQ(image->ColourTable().size(), 3u);
    EXPECT_EQ(image->ClrUsed, 3u);
    EXPECT_EQ(image->GetPixel(0, 0), clBlack) << "an index past the table reads black";
    EXPECT_EQ(image->GetPixel(2, 0), s.Table[1]);
    EXPECT_EQ(image->GetPixel(3, 0), s.Table[2]);
}

TEST(BitmapFile, ShortPixelDataLoadsWithTheMissingBytesZero) {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 3;
    s.BitCount = 24;
    s.Pixels = PackRows(4, 3, 24, false, [](int, int) { return 0xFFFFFFu; });
    s.Pixels.resize(12 + 5); // the bottom row and 5 bytes of the middle one
    const auto image = Decode(s);
    EXPECT_EQ(image->GetPixel(3, 2), clWhite);
    EXPECT_EQ(image->GetPixel(0, 1), clWhite);
    EXPECT_EQ(image->GetPixel(1, 1), RGB(0, 255, 255)) << "blue and green supplied, red not";
    EXPECT_EQ(image->GetPixel(2, 1), clBlack);
    EXPECT_EQ(image->GetPixel(0, 0), clBlack);
}

TEST(BitmapFile, ImageSizeLimitsThePixelBytesAndNeverOverfillsTheRaster) {
    BitmapLayout s;
    s.Width = 4;
    s.Height = 2;
    s.BitCount = 8;
    s.Table = Palette(4);
    s.Pixels = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
    s.SizeImage = 4; // only the bottom row
    auto image = Decode(s);
    EXPECT_EQ(image->GetPixel(0, 1), s.Table[1]);
    EXPECT_EQ(image->GetPixel(0, 0), s.Table[0]);

    s.SizeImage = 0xFFFFFFF0u; // larger than the raster and the file
    image = Decode(s);
    EXPECT_EQ(image->Pixels().size(), 8u);
    EXPECT_EQ(image->GetPixel(0, 0), s.Table[2]);
}

TEST(BitmapFile, DescriptionComesFromTheFile) {
    BitmapLayout s = Small24();
    s.XPelsPerMeter = 3780;
    s.YPelsPerMeter = 1890;
    s.BitCount = 8;
    s.Table = Palette(5);
    s.ClrImportant = 2;
    s.Pixels.assign(8, 0);
    const auto image = Decode(s);
    EXPECT_EQ(image->XPelsPerMeter, 3780);
    EXPECT_EQ(image->YPelsPerMeter, 1890);
    EXPECT_EQ(image->ClrUsed, 5u);
    EXPECT_EQ(image->ClrImportant, 2u);
    EXPECT_EQ(image->FileCompression, BI_RGB);
    EXPECT_FALSE(image->CoreHeader);
}

TEST(BitmapFile, MasksInsideTheHeaderAreUsedOnlyWithCompressionThree) {
    BitmapLayout s;
    s.HeaderSize = 108;
    s.Width = 1;
    s.Height = 1;
    s.BitCount = 16;
    s.Compression = BI_BITFIELDS;
    s.Masks = {0xF800, 0x07E0, 0x001F};
    s.Pixels = {0xE0, 0x07, 0, 0}; // all green in 5-6-5
    EXPECT_EQ(Decode(s)->GetPixel(0, 0), RGB(0, 255, 0));
    s.Compression = BI_RGB; // 5-5-5: the same word is green 31 and blue 0
    s.Pixels = {0xE0, 0x03, 0, 0};
    EXPECT_EQ(Decode(s)->GetPixel(0, 0), RGB(0, 255, 0));
}

// ---------------------------------------------------------------------------
// Run-length files become a 32-bit raster without table; pixels never
// written stay 0.

struct RleCase {
    std::string name;
    std::uint16_t bitCount;
    std::int32_t width, height;
    std::vector<std::uint8_t> data;
    // Expected rows, top row first, as table indices; -1 for never written.
    std::vector<std::vector<int>> rows;
};

void PrintTo(const RleCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<RleCase> RleCases() {
    return {
        {"rle8_encoded_runs_and_end_of_line",
         8,
         5,
         2,
         {3, 1, 2, 2, 0, 0, /* row 2 */ 5, 4, 0, 1},
         {{4, 4, 4, 4, 4}, {1, 1, 1, 2, 2}}},
        {"rle8_absolute_run_odd_length_padded",
         8,
         5,
         1,
         {0, 3, 5, 6, 7, 0 /* pad */, 2, 1, 0, 1},
         {{5, 6, 7, 1, 1}}},
        {"rle8_early_end_of_bitmap_leaves_zero",
         8,
         3,
         2,
         {2, 3, 0, 1, 9, 9},
         {{-1, -1, -1}, {3, 3, -1}}},
        {"rle8_delta_skips_right_and_up",
         8,
         4,
         3,
         {1, 2, 0, 2, 2, 1, 1, 3, 0, 1},
         {{-1, -1, -1, -1}, {-1, -1, -1, 3}, {2, -1, -1, -1}}},
        {"rle8_run_past_row_end_is_clipped",
         8,
         3,
         2,
         {200, 1, 0, 0, 1, 2, 0, 1},
         {{2, -1, -1}, {1, 1, 1}}},
        {"rle8_absolute_past_row_end_is_clipped", 8, 2, 1, {0, 4, 1, 2, 3, 4, 0, 1}, {{1, 2}}},
        {"rle8_delta_past_the_top_ends_decoding",
         8,
         2,
         2,
         {0, 2, 0, 200, 1, 1, 0, 1},
         {{-1, -1}, {-1, -1}}},
        {"rle8_data_without_end_marker", 8, 2, 2, {2, 1, 0, 0, 1, 2}, {{2, -1}, {1, 1}}},
        {"rle8_absolute_cut_by_the_end_of_data", 8, 4, 1, {0, 4, 1, 2}, {{1, 2, -1, -1}}},
        {"rle8_index_past_table_reads_black", 8, 2, 1, {2, 200, 0, 1}, {{-2, -2}}},
        {"rle8_delta_within_the_row",
         8,
         6,
         1,
         {1, 1, 0, 2, 3, 0, 2, 2, 0, 1},
         {{1, -1, -1, -1, 2, 2}}},
        {"rle8_delta_after_absolute_run_keeps_the_column",
         8,
         6,
         2,
         {0, 3, 1, 2, 3, 0, 0, 2, 1, 1, 1, 4, 0, 1},
         {{-1, -1, -1, -1, 4, -1}, {1, 2, 3, -1, -1, -1}}},
        {"rle8_end_of_line_after_clipped_run",
         8,
         2,
         3,
         {9, 1, 0, 0, 0, 0, 1, 2, 0, 1},
         {{2, -1}, {-1, -1}, {1, 1}}},
        {"rle8_delta_cut_by_the_end_of_data",
         8,
         3,
         2,
         {1, 5, 0, 2, 1},
         {{-1, -1, -1}, {5, -1, -1}}},
        {"rle4_alternating_nibbles", 4, 5, 1, {5, 0x12, 0, 1}, {{1, 2, 1, 2, 1}}},
        {"rle4_absolute_odd_count_padded_to_words",
         4,
         6,
         1,
         {0, 3, 0x34, 0x50, 3, 0x77, 0, 1},
         {{3, 4, 5, 7, 7, 7}}},
        {"rle4_absolute_five_nibbles",
         4,
         6,
         1,
         {0, 5, 0x12, 0x34, 0x50, 0 /* pad */, 1, 0x66, 0, 1},
         {{1, 2, 3, 4, 5, 6}}},
    };
}

class BitmapRunLengthTest : public ::testing::TestWithParam<RleCase> {};

TEST_P(BitmapRunLengthTest, DecodesAsTheFormatDefines) {
    const RleCase& c = GetParam();
    BitmapLayout s;
    s.Width = c.width;
    s.Height = c.height;
    s.BitCount = c.bitCount;
    s.Compression = c.bitCount == 8 ? BI_RLE8 : BI_RLE4;
    s.Table = Palette(c.bitCount == 8 ? 10 : 16);
    s.Pixels = c.data;
    const auto bytes = WriteBitmap(s);
    const auto image = DecodeBitmapFile(bytes);
    ASSERT_EQ(image->Width(), c.width);
    ASSERT_EQ(image->AbsHeight(), c.height);
    EXPECT_EQ(image->BitCount(), 32);
    EXPECT_TRUE(image->ColourTable().empty());
    EXPECT_EQ(image->FileBitCount, c.bitCount);
    EXPECT_EQ(image->FileCompression, s.Compression);
    EXPECT_EQ(image->FileCopy, bytes);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const int want = c.rows[y][x];
            const TColor expected = want < 0 ? clBlack : want == -2 ? clBlack : s.Table[want];
            EXPECT_EQ(image->GetPixel(x, y), expected) << "at " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(RunLength, BitmapRunLengthTest, ::testing::ValuesIn(RleCases()),
                         [](const auto& info) { return info.param.name; });

// The plain reading of the format, one pixel at a time into a cleared
// raster; the reader must agree with it on any data, valid or not.
std::vector<std::vector<int>> ReferenceRunLength(const std::vector<std::uint8_t>& d, bool nibbles,
                                                 int w, int h) {
    std::vector<std::vector<int>> rows(h, std::vector<int>(w, -1)); // top row first
    long x = 0, row = 0;
    std::size_t i = 0;
    auto put = [&](long px, int index) {
        if (px < w && row < h) rows[h - 1 - row][px] = index;
    };
    while (i + 1 < d.size() && row < h) {
        const int count = d[i], value = d[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(x + k, nibbles ? (k % 2 ? value & 15 : value >> 4) : value);
            x += count;
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= d.size()) break;
            x += d[i];
            row += d[i + 1];
            i += 2;
        } else {
            const std::size_t bytes = nibbles ? (value + 1) / 2 : value;
            for (int k = 0; k < value; ++k) {
                const std::size_t at = i + (nibbles ? k / 2 : k);
                if (at >= d.size()) break;
                put(x + k, nibbles ? (k % 2 ? d[at] & 15 : d[at] >> 4) : d[at]);
            }
            x += value;
            i += std::min(d.size() - i, (bytes + 1) & ~std::size_t{1});
        }
    }
    return rows;
}

// Random run-length data (valid or not) for a w x h picture: runs, absolute
// runs, ends of line, moves, and stray bytes that break the pairing.
std::vector<std::uint8_t> RandomRunLength(std::uint32_t& seed, bool nibbles, int ops, int maxUp) {
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    std::vector<std::uint8_t> data;
    for (int k = 0; k < ops; ++k) {
        switch (next() % 8) {
        case 0:
            data.insert(data.end(), {0, 0});
            break;
        case 1:
            data.insert(data.end(),
                        {0, 2, std::uint8_t(next() % 9), std::uint8_t(next() % (maxUp + 1))});
            break;
        case 2: {
            const int n = 3 + next() % 20;
            data.insert(data.end(), {0, std::uint8_t(n)});
            const int bytes = nibbles ? (n + 1) / 2 : n;
            for (int b = 0; b < bytes + (bytes % 2); ++b)
                data.push_back(std::uint8_t(next() % 16));
            break;
        }
        case 3:
            data.push_back(std::uint8_t(next())); // a stray byte
            break;
        default:
            data.insert(data.end(), {std::uint8_t(1 + next() % 30), std::uint8_t(next() % 16)});
        }
    }
    if (next() % 2) data.insert(data.end(), {0, 1});
    return data;
}

void ExpectPlainReading(const std::vector<std::uint8_t>& data, bool nibbles, int w, int h,
                        const std::string& what) {
    BitmapLayout s;
    s.Width = w;
    s.Height = h;
    s.BitCount = nibbles ? 4 : 8;
    s.Compression = nibbles ? BI_RLE4 : BI_RLE8;
    s.Table = Palette(16);
    s.Pixels = data;
    const auto image = Decode(s);
    const auto want = ReferenceRunLength(data, nibbles, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(image->GetPixel(x, y),
                      want[y][x] < 0 || want[y][x] >= 16 ? clBlack : s.Table[want[y][x]])
                << what << " at " << x << "," << y << " in " << w << "x" << h;
}

TEST(BitmapFile, RunLengthAgreesWithThePlainReadingOnRandomData) {
    std::uint32_t seed = 12345;
    for (int trial = 0; trial < 2000; ++trial) {
        const bool nibbles = trial % 2;
        const int w = 1 + static_cast<int>(seed % 40), h = 1 + static_cast<int>((seed >> 8) % 12);
        const auto data = RandomRunLength(seed, nibbles, static_cast<int>(seed % 60), 2);
        ExpectPlainReading(data, nibbles, w, h, "trial " + std::to_string(trial));
        if (HasFatalFailure()) return;
    }
}

TEST(BitmapFile, RunLengthAgreesWithThePlainReadingOnTallAndWidePictures) {
    // Tall and narrow, and rows wider than the reader's blocks: the raster is
    // built in many blocks, entered by ends of line and by long moves up.
    std::uint32_t seed = 777;
    const struct {
        int w, h, ops, maxUp;
    } sizes[] = {
        {1, 150000, 8000, 255}, {3, 70000, 3000, 255}, {30000, 9, 300, 2}, {70000, 4, 200, 1}};
    for (const auto& size : sizes)
        for (bool nibbles : {false, true}) {
            const auto data = RandomRunLength(seed, nibbles, size.ops, size.maxUp);
            ExpectPlainReading(data, nibbles, size.w, size.h, "size " + std::to_string(size.w));
            if (HasFatalFailure()) return;
        }
}

TEST(BitmapFile, RunLengthRoundTripOfTheTestWriter) {
    auto index = [](int x, int y) { return static_cast<std::uint8_t>(x < 20 ? 1 : (x * y) % 7); };
    BitmapLayout s;
    s.Width = 61;
    s.Height = 9;
    s.BitCount = 8;
    s.Compression = BI_RLE8;
    s.Table = Palette(7);
    s.Pixels = test::EncodeRle8(61, 9, index);
    const auto image = Decode(s);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 61; ++x)
            ASSERT_EQ(image->GetPixel(x, y), s.Table[index(x, y)]);
}

} // namespace
} // namespace tlc
