// Reading a bitmap straight from its file must give what decoding the same
// bytes in memory gives, and rasters in every kind of memory (heap, large
// pages of their own) must start as asked and copy independently.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "TempDir.h"
#include "base/Exceptions.h"
#include "image/BitmapFile.h"
#include "image/Canvas.h"
#include "image/PixelBuffer.h"

namespace tlc {
namespace {

std::string Outcome(const std::function<std::shared_ptr<TBitmapImage>()>& read) {
    try {
        const auto image = read();
        std::string s = std::to_string(image->Width()) + "x" + std::to_string(image->Height()) + "x" +
                        std::to_string(image->BitCount()) + " table " +
                        std::to_string(image->ColourTable().size()) + " used " +
                        std::to_string(image->ClrUsed) + " copy " +
                        std::to_string(image->FileCopy.size()) + ":";
        s.append(image->Pixels().begin(), image->Pixels().end());
        return s;
    } catch (const Exception& e) {
        return "error " + e.Message();
    }
}

TEST(RasterStorage, FileReadMatchesMemoryDecodeIncludingShortFiles) {
    const test::TempDir temp("tlc-raster");
    const auto& folder = temp.Path();
    const std::string path = (folder / "p.bmp").string();
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        test::BitmapLayout s;
        const int bits[] = {1, 4, 8, 16, 24, 32};
        s.BitCount = static_cast<std::uint16_t>(bits[round % 6]);
        s.Width = 1 + static_cast<int>(rng() % 70);
        const int h = 1 + static_cast<int>(rng() % 40);
        const bool topDown = rng() % 3 == 0;
        s.Height = topDown ? -h : h;
        if (s.BitCount <= 8)
            for (int i = 0; i < (1 << s.BitCount); ++i) s.Table.push_back(rng() & 0xFFFFFF);
        s.Pixels = test::PackRows(s.Width, h, s.BitCount, topDown,
                                  [&](int, int) { return static_cast<std::uint32_t>(rng()); });
        std::vector<std::uint8_t> file = test::WriteBitmap(s);
        // Cut anywhere: inside the header, the table, a row, or not at all.
        if (round % 2 == 1) file.resize(rng() % (file.size() + 1));
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(file.size()) + " bytes");
        EXPECT_EQ(Outcome([&] { return ReadBitmapFile(path); }),
                  Outcome([&] { return DecodeBitmapFile(file); }));
    }
}

// Large rasters (several large pages, each side of 16 MiB): rows in the
// right places, padding kept, missing bytes zero, from the file and from
// memory, whole files and cut ones.
TEST(RasterStorage, LargeRastersHoldTheFileRowsInPlace) {
    const test::TempDir temp("tlc-large");
    const auto& folder = temp.Path();
    const std::string path = (folder / "p.bmp").string();
    std::mt19937 rng(5);
    // Rows of an odd byte count, so each ends in a byte of padding.
    for (const auto& [width, height] : {std::pair{1201, 1500}, std::pair{2401, 2400}})
        for (const bool topDown : {false, true}) {
            const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
            test::BitmapLayout s;
            s.Width = width;
            s.Height = topDown ? -height : height;
            s.BitCount = 24;
            s.Pixels = test::PackRows(width, height, 24, topDown,
                                      [&](int, int) { return static_cast<std::uint32_t>(rng()); });
            for (std::size_t i = stride - 1; i < s.Pixels.size(); i += stride) s.Pixels[i] = 0x5A;
            const std::vector<std::uint8_t> whole = test::WriteBitmap(s);
            const std::size_t header = whole.size() - s.Pixels.size();
            for (const std::size_t kept : {s.Pixels.size(), stride * 1000 + 99}) {
                SCOPED_TRACE(std::to_string(width) + (topDown ? " top-down, " : " bottom-up, ") +
                             std::to_string(kept) + " bytes");
                std::vector<std::uint8_t> expected(s.Pixels.size(), 0);
                for (std::size_t i = 0; i < kept; ++i) {
                    const std::size_t fileRow = i / stride;
                    const std::size_t row = topDown ? fileRow : static_cast<std::size_t>(height) - 1 - fileRow;
                    expected[row * stride + i % stride] = s.Pixels[i];
                }
                const std::vector<std::uint8_t> file(whole.begin(),
                                                     whole.begin() + static_cast<std::ptrdiff_t>(header + kept));
                std::ofstream(path, std::ios::binary | std::ios::trunc)
                    .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
                for (const auto& image : {ReadBitmapFile(path), DecodeBitmapFile(file)}) {
                    ASSERT_EQ(image->Pixels().size(), expected.size());
                    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image->Pixels().begin()));
                }
            }
        }
}

// Bitmaps share one large raster until one writes: each side must still
// see only its own writes, whichever writes first.
TEST(RasterStorage, LargeCopiesStayIndependentWhicheverSideWrites) {
    test::BitmapLayout layout;
    layout.Width = 2400;
    layout.Height = 2400; // 17 MB at 24 bits
    layout.BitCount = 24;
    layout.Pixels = test::PackRows(2400, 2400, 24, false,
                                   [](int x, int y) { return x == 5 && y == 5 ? 0x010203u : 0u; });
    const auto raster = DecodeBitmapFile(test::WriteBitmap(layout));
    ASSERT_EQ(raster->GetPixel(5, 5), RGB(1, 2, 3));

    TBitmap a, b, c;
    a.SetImage(raster);
    b.ShareFrom(a);
    c.ShareFrom(a);
    // b writes: b gets its own copy; a and c keep theirs.
    b.Canvas().WritePixel(5, 5, clWhite);
    b.Canvas().WritePixel(2399, 2399, clWhite);
    // a writes while b's copy still reads the pages it has not written.
    a.Canvas().WritePixel(100, 100, clBlack);
    a.Canvas().WritePixel(2000, 2000, RGB(9, 9, 9));
    // c, now the last one on the original content, writes too.
    c.Canvas().WritePixel(7, 7, RGB(4, 5, 6));

    EXPECT_EQ(a.Image().GetPixel(5, 5), RGB(1, 2, 3));
    EXPECT_EQ(a.Image().GetPixel(100, 100), clBlack);
    EXPECT_EQ(a.Image().GetPixel(7, 7), clBlack);
    EXPECT_EQ(b.Image().GetPixel(5, 5), clWhite);
    EXPECT_EQ(b.Image().GetPixel(2399, 2399), clWhite);
    EXPECT_EQ(b.Image().GetPixel(2000, 2000), clBlack);
    EXPECT_EQ(b.Image().GetPixel(7, 7), clBlack);
    EXPECT_EQ(c.Image().GetPixel(5, 5), RGB(1, 2, 3));
    EXPECT_EQ(c.Image().GetPixel(2000, 2000), clBlack);
    EXPECT_EQ(c.Image().GetPixel(7, 7), RGB(4, 5, 6));
    EXPECT_EQ(a.ShareCount(), 1);
    EXPECT_EQ(b.ShareCount(), 1);
    EXPECT_EQ(c.ShareCount(), 1);
}

// Buffers on the heap and in large pages, made again and again (freed
// memory comes back to the next buffer): zeroed ones read zero, one said to
// come zero is zero, and a copy written leaves its original alone.
TEST(RasterStorage, BuffersStartAsAskedAndCopiesAreTheirOwn) {
    // Below the prefault size, on the heap, in one large page, in several.
    for (const std::size_t size : {std::size_t{4000}, std::size_t{600'000}, std::size_t{1'080'000},
                                   std::size_t{17'000'000}})
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(std::to_string(size) + " bytes, round " + std::to_string(round));
            PixelBuffer written = PixelBuffer::Uninitialised(size);
            std::memset(written.data(), 0xAB, size);
            PixelBuffer copy(written);
            copy[0] = 1;
            copy[size - 1] = 2;
            EXPECT_EQ(written[0], 0xAB);
            EXPECT_EQ(written[size - 1], 0xAB);
            EXPECT_EQ(copy[size / 2], 0xAB);
            written = PixelBuffer();
            copy = PixelBuffer();
            const PixelBuffer again = PixelBuffer::Uninitialised(size);
            EXPECT_TRUE(!again.MadeZero() ||
                        std::all_of(again.begin(), again.end(), [](std::uint8_t b) { return b == 0; }));
            const PixelBuffer zeroed = PixelBuffer::Zeroed(size - 1000 * static_cast<std::size_t>(round));
            EXPECT_TRUE(std::all_of(zeroed.begin(), zeroed.end(), [](std::uint8_t b) { return b == 0; }));
        }
}

} // namespace
} // namespace tlc
