// A conversion without scaling reads no dot beyond the printer's largest
// logo, so a reader asked to keep only the picture's top-left part must give
// the same logo, byte for byte, on every printer, from a file and from memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "PictureEncoders.h"
#include "TempDir.h"
#include "base/Exceptions.h"
#include "image/BitmapImage.h"
#include "image/Image.h"
#include "image/PictureFile.h"
#include "image/Resample.h"
#include "import/ImportedPicture.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/PrinterModels.h"

namespace tlc {
namespace {

// Colours that cross the thresholds everywhere, up to the last row and column.
std::uint8_t Index(int x, int y) {
    return static_cast<std::uint8_t>((x * 7 + y * 3 + (x * y) % 11) % 200);
}
TColor Colour(int x, int y) {
    const int i = Index(x, y);
    return RGB(i, (i * 5) % 256, 255 - i);
}

std::vector<TColor> Table() {
    std::vector<TColor> table(256);
    for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = RGB(i, (i * 5) % 256, 255 - i);
    return table;
}

std::vector<std::uint8_t> Rgb(int w, int h) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TColor c = Colour(x, y);
            rgb.insert(rgb.end(), {static_cast<std::uint8_t>(RedOf(c)), static_cast<std::uint8_t>(GreenOf(c)),
                                   static_cast<std::uint8_t>(BlueOf(c))});
        }
    return rgb;
}

constexpr std::array<std::uint8_t, 2> kSos = {0xFF, 0xDA};

std::vector<std::uint8_t> Grey(int w, int h) {
    std::vector<std::uint8_t> grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey.push_back(Index(x, y));
    return grey;
}

struct Kind {
    const char* name;
    std::function<std::vector<std::uint8_t>(int w, int h)> file;
};

const std::vector<Kind>& Kinds() {
    static const std::vector<Kind> kinds = {
        {"24-bit.bmp",
         [](int w, int h) {
             test::BitmapLayout s;
             s.Width = w;
             s.Height = h;
             s.Pixels = test::PackRows(w, h, 24, false, [](int x, int y) {
                 const TColor c = Colour(x, y);
                 return static_cast<std::uint32_t>(RedOf(c) << 16 | GreenOf(c) << 8 | BlueOf(c));
             });
             return test::WriteBitmap(s);
         }},
        {"8-bit-top-down.bmp",
         [](int w, int h) {
             test::BitmapLayout s;
             s.Width = w;
             s.Height = -h;
             s.BitCount = 8;
             s.Table = Table();
             s.Pixels = test::PackRows(w, h, 8, true, [](int x, int y) { return Index(x, y); });
             return test::WriteBitmap(s);
         }},
        {"run-length.bmp",
         [](int w, int h) {
             test::BitmapLayout s;
             s.Width = w;
             s.Height = h;
             s.BitCount = 8;
             s.Compression = BI_RLE8;
             s.Table = Table();
             // Runs as well as single dots: every fourth column repeats.
             s.Pixels = test::EncodeRle8(w, h, [](int x, int y) { return Index(x / 4 * 4, y); });
             return test::WriteBitmap(s);
         }},
        {"picture.png",
         [](int w, int h) {
             return test::EncodePng(test::PngHeader(w, h, 8, SPNG_COLOR_TYPE_TRUECOLOR), Rgb(w, h));
         }},
        {"picture.jpg", [](int w, int h) { return test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, Rgb(w, h)); }},
        {"picture-444.jpg", [](int w, int h) { return test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_444, Rgb(w, h)); }},
        {"grey.jpg", [](int w, int h) { return test::EncodeJpeg(w, h, TJPF_GRAY, TJSAMP_GRAY, Grey(w, h)); }},
    };
    return kinds;
}

std::vector<std::uint8_t> Logo(TPicture& loaded, int printer) {
    TImage source, target;
    source.SetAutoSize(true);
    source.Picture().CopyPicture(loaded);
    LogoGeometry geometry;
    ConvertImage(source, target, Thresholds{100, 120, 140}, LimitsOf(BuildPrinterModels(), printer), geometry);
    return EncodeLogo(printer, geometry, target);
}

TEST(PictureCrop, KeepingTheTopLeftPartGivesTheSameLogoOnEveryPrinter) {
    const test::TempDir dir("tlc-crop");
    const TPrinterModels models = BuildPrinterModels();
    // Around each printer's limits, one side or both beyond, and a small one.
    std::vector<std::pair<int, int>> sizes = {{37, 23}};
    for (const PrinterModel& m : models)
        for (const auto& [dw, dh] : {std::pair{-1, 1}, std::pair{1, -1}, std::pair{9, 13}, std::pair{0, 0}})
            sizes.emplace_back(m.MaxWidth + dw, m.MaxHeight + dh);
    for (const Kind& kind : Kinds())
        for (const auto& [w, h] : sizes) {
            const std::vector<std::uint8_t> bytes = kind.file(w, h);
            const std::string path = (dir.Path() / kind.name).string();
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            TPicture whole;
            LoadPictureByContent(whole, path);
            for (int printer = 0; printer < kPrinterModelCount; ++printer) {
                SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(w) + " x " + std::to_string(h) +
                             " on " + models[static_cast<std::size_t>(printer)].Name);
                const std::vector<std::uint8_t> expected = Logo(whole, printer);
                for (const bool fromFile : {true, false}) {
                    PictureCrop crop;
                    crop.Width = models[static_cast<std::size_t>(printer)].MaxWidth;
                    crop.Height = models[static_cast<std::size_t>(printer)].MaxHeight;
                    ImportHints hints;
                    hints.Crop = &crop;
                    TPicture cut;
                    if (fromFile)
                        LoadPictureByContent(cut, path, hints);
                    else if (InstallImportedPicture(cut, bytes, hints) == ImportFormat::None)
                        cut.Install(DecodeGraphic(GraphicKind::Bitmap, bytes, &crop));
                    EXPECT_EQ(crop.PictureWidth, w);
                    EXPECT_EQ(crop.PictureHeight, h);
                    EXPECT_EQ(cut.Width(), std::min(w, crop.Width));
                    EXPECT_EQ(cut.Height(), std::min(h, crop.Height));
                    EXPECT_EQ(Logo(cut, printer), expected) << (fromFile ? "from the file" : "from memory");
                }
            }
        }
}

// Thresholds hide a colour one step off: the kept JPEG pixels themselves
// must be the whole decode's, also where a cut splits a block or a colour
// sample, and where the picture's own edge is kept.
TEST(PictureCrop, KeptJpegPixelsAreTheWholeDecodesOnes) {
    struct Case {
        int subsampling, flags, width, height, keptWidth, keptHeight;
    };
    for (const Case& c : {Case{TJSAMP_420, 0, 700, 650, 601, 601}, Case{TJSAMP_420, 0, 700, 650, 602, 601},
                          Case{TJSAMP_420, TJFLAG_PROGRESSIVE, 700, 650, 613, 601},
                          Case{TJSAMP_422, 0, 640, 650, 608, 17}, Case{TJSAMP_444, 0, 700, 650, 613, 601},
                          Case{TJSAMP_411, 0, 700, 650, 610, 601}, Case{TJSAMP_GRAY, 0, 700, 650, 601, 601},
                          Case{TJSAMP_420, 0, 603, 650, 601, 601}, Case{TJSAMP_420, 0, 600, 650, 700, 1}}) {
        SCOPED_TRACE(std::to_string(c.subsampling) + " " + std::to_string(c.keptWidth) + " x " +
                     std::to_string(c.keptHeight) + " of " + std::to_string(c.width));
        const std::vector<std::uint8_t> bytes =
            c.subsampling == TJSAMP_GRAY
                ? test::EncodeJpeg(c.width, c.height, TJPF_GRAY, TJSAMP_GRAY, Grey(c.width, c.height))
                : test::EncodeJpeg(c.width, c.height, TJPF_RGB, c.subsampling, Rgb(c.width, c.height), c.flags);
        const auto whole = DecodeJpegFile(bytes);
        PictureCrop crop;
        crop.Width = c.keptWidth;
        crop.Height = c.keptHeight;
        ImportHints hints;
        hints.Crop = &crop;
        const auto cut = DecodeJpegFile(bytes, hints);
        const int w = std::min(c.width, c.keptWidth), h = std::min(c.height, c.keptHeight);
        ASSERT_EQ(cut->Width(), w);
        ASSERT_EQ(cut->AbsHeight(), h);
        for (int y = 0; y < h; ++y)
            ASSERT_EQ(std::memcmp(cut->Row(y), whole->Row(y), static_cast<std::size_t>(w) * 3), 0) << "row " << y;
    }
}

std::string Refusal(const std::vector<std::uint8_t>& bytes, const ImportHints& hints) {
    try {
        DecodeJpegFile(bytes, hints);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "decoded";
}

// Damage within the kept rows, or a scan flood, is refused in the same words.
TEST(PictureCrop, DamagedJpegGivesTheWholeDecodesMessage) {
    const std::vector<std::uint8_t> baseline = test::EncodeJpeg(700, 650, TJPF_RGB, TJSAMP_420, Rgb(700, 650));
    const std::vector<std::uint8_t> progressive =
        test::EncodeJpeg(700, 650, TJPF_RGB, TJSAMP_420, Rgb(700, 650), TJFLAG_PROGRESSIVE);
    std::vector<std::uint8_t> flood(progressive.begin(), progressive.end() - 2);
    const auto lastScan = std::find_end(flood.begin(), flood.end(), kSos.begin(), kSos.end());
    const std::vector<std::uint8_t> scan(lastScan, flood.end());
    for (int i = 0; i < 600; ++i) flood.insert(flood.end(), scan.begin(), scan.end());
    flood.insert(flood.end(), {0xFF, 0xD9});
    PictureCrop crop;
    crop.Width = 601;
    crop.Height = 601;
    ImportHints hints;
    hints.Crop = &crop;
    for (const std::vector<std::uint8_t>& bytes :
         {std::vector<std::uint8_t>(baseline.begin(), baseline.begin() + baseline.size() / 10),
          std::vector<std::uint8_t>(progressive.begin(), progressive.begin() + progressive.size() / 2), flood}) {
        const std::string whole = Refusal(bytes, {});
        EXPECT_EQ(whole.rfind("JPEG file damaged: ", 0), 0u) << whole;
        EXPECT_EQ(Refusal(bytes, hints), whole);
    }
}

} // namespace
} // namespace tlc

namespace tlc {
namespace {

// With --fit the PNG and GIF readers scale as they decode; the result is
// the whole picture read and then scaled down, dot for dot. Bands of equal
// rows take the path that narrows a repeated row once.
TEST(ScaledRead, PngAndGifRowsGiveTheDotsOfTheWholePictureScaled) {
    const auto banded = [](int x, int y) { return (y / 4) % 3 == 1 ? (y / 12) * 5 + 1 : x * 7 + y * 3 + (x * y) % 11; };
    const auto grey = [&](int w, int h, int bits) {
        std::vector<std::uint8_t> rows(static_cast<std::size_t>((w * bits + 7) / 8) * h, 0);
        const std::size_t stride = static_cast<std::size_t>((w * bits + 7) / 8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned v = static_cast<unsigned>(banded(x, y)) & ((1u << bits) - 1);
                rows[y * stride + static_cast<std::size_t>(x * bits / 8)] |=
                    static_cast<std::uint8_t>(v << (8 - bits - x * bits % 8));
            }
        return test::EncodePng(test::PngHeader(w, h, bits, SPNG_COLOR_TYPE_GRAYSCALE), rows);
    };
    const std::vector<test::Rgba> palette = {{250, 20, 20, 255}, {0, 0, 0, 255}, {90, 200, 140, 255}, {0, 0, 0, 0}};
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
        std::int32_t width, height;
    } cases[] = {
        {"PNG, 1-bit grey", grey(333, 250, 1), 100, 75},
        {"PNG, 2-bit grey", grey(301, 199, 2), 13, 180},
        {"PNG, 4-bit grey", grey(290, 310, 4), 145, 31},
        {"PNG, true colour", test::EncodePng(test::PngHeader(257, 190, 8, SPNG_COLOR_TYPE_TRUECOLOR), Rgb(257, 190)),
         64, 47},
        {"PNG, with alpha",
         test::EncodePngRgba(240, 200,
                             [&](int x, int y) {
                                 return test::Rgba{std::uint8_t(x), std::uint8_t(banded(x, y)), 40, std::uint8_t(y)};
                             }),
         100, 99},
        {"GIF, transparent index", test::EncodeGif(271, 201, palette, [&](int x, int y) { return banded(x, y) % 4; }, 3, false),
         90, 67},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto whole = DecodeImportedPicture(c.file);
        const auto expected = ScaleDown(*whole, c.width, c.height);
        PictureCrop crop;
        crop.ScaleTo = [&](std::int32_t, std::int32_t) { return std::pair{c.width, c.height}; };
        ImportHints hints;
        hints.Crop = &crop;
        const auto scaled = DecodeImportedPicture(c.file, hints);
        ASSERT_EQ(scaled->Width(), c.width);
        ASSERT_EQ(scaled->AbsHeight(), c.height);
        EXPECT_TRUE(scaled->Pixels() == expected->Pixels());
        EXPECT_EQ(crop.PictureWidth, whole->Width());
        EXPECT_EQ(crop.PictureHeight, whole->AbsHeight());
    }
}

} // namespace
} // namespace tlc
