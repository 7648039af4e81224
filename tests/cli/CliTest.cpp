#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "BitmapWriter.h"
#include "ExpectedLogos.h"
#include "Sha256.h"
#include "TempDir.h"
#include "cli/Cli.h"
#include "image/Image.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/LogoReader.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::uint8_t> ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A 24-bit bitmap file of a picture that exercises all three channels.
std::vector<std::uint8_t> TestBitmap(int w, int h) {
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, [](int x, int y) {
        const std::uint32_t red = ((x + y) * 3) & 255, green = (y * 9) & 255, blue = (x * 5) & 255;
        return (red << 16) | (green << 8) | blue;
    });
    return test::WriteBitmap(layout);
}

// The test picture of the expected-logo table, as a 24-bit bitmap file.
std::vector<std::uint8_t> ExpectedPictureBitmap(int w, int h) {
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, test::ExpectedPictureRgb);
    return test::WriteBitmap(layout);
}

class CliTest : public ::testing::Test {
protected:
    test::TempDir tmp_{"tlc-cli"};
    const fs::path dir_ = tmp_.Path();
};

// Whether dot (x, y) is black in a logo file of `model` that is w dots wide
// and h high, read straight from the bytes.
bool FileDot(const std::vector<std::uint8_t>& file, int model, int w, int h, int x, int y) {
    const std::size_t k = model == 0 ? 7 : model == 1 ? 4 : 8;
    const std::size_t at = model == 3 ? static_cast<std::size_t>(y * (w / 8) + x / 8)
                                      : static_cast<std::size_t>(x * (h / 8) + y / 8);
    const int bit = model == 3 ? x % 8 : y % 8;
    return file[2 + k + at] & (0x80 >> bit);
}

TEST_F(CliTest, ConvertWritesTheExpectedFilesAndShowGivesBackTheDots) {
    for (const char* name : {"small", "w479", "a420x300"}) {
        const auto* picture = std::find_if(std::begin(test::kExpectedPictures), std::end(test::kExpectedPictures),
                                           [&](const test::ExpectedPicture& p) { return p.Name == std::string(name); });
        ASSERT_NE(picture, std::end(test::kExpectedPictures));
        const fs::path pictureFile = dir_ / (std::string(name) + ".bmp");
        WriteBytes(pictureFile, ExpectedPictureBitmap(picture->Width, picture->Height));
        int checked = 0;
        for (const test::ExpectedLogo& e : test::kExpectedLogos) {
            if (e.Picture != std::string(name)) continue;
            SCOPED_TRACE(::testing::Message() << name << " printer " << e.Printer << " thresholds "
                                              << e.ThresholdSet);
            const test::ExpectedThresholds& t = test::kExpectedThresholdSets[e.ThresholdSet];
            const fs::path logo = dir_ / "logo-out.rsc";
            const CliRun convert =
                Cli({"convert", pictureFile.string(), "--printer", std::to_string(e.Printer), "--thresholds",
                     std::to_string(t.Red) + "," + std::to_string(t.Green) + "," + std::to_string(t.Blue), "-o",
                     logo.string()});
            ASSERT_EQ(convert.status, 0) << convert.err;
            const std::vector<std::uint8_t> file = ReadBytes(logo);
            ASSERT_EQ(file.size(), e.Size);
            ASSERT_EQ(test::Sha256Hex(file), e.Sha256);
            ++checked;

            const fs::path pbm = dir_ / "dots.pbm";
            const CliRun show = Cli({"show", logo.string(), "-o", pbm.string()});
            ASSERT_EQ(show.status, 0) << show.err;
            const std::vector<std::uint8_t> p = ReadBytes(pbm);
            const std::string head = "P4\n" + std::to_string(e.Width) + " " + std::to_string(e.Height) + "\n";
            ASSERT_GE(p.size(), head.size());
            ASSERT_EQ(std::string(p.begin(), p.begin() + static_cast<long>(head.size())), head);
            const std::size_t rowBytes = static_cast<std::size_t>(e.Width + 7) / 8;
            ASSERT_EQ(p.size(), head.size() + rowBytes * static_cast<std::size_t>(e.Height));
            for (int y = 0; y < e.Height; ++y)
                for (int x = 0; x < e.Width; ++x) {
                    const bool shown = p[head.size() + static_cast<std::size_t>(y) * rowBytes +
                                         static_cast<std::size_t>(x / 8)] &
                                       (0x80 >> (x % 8));
                    ASSERT_EQ(shown, FileDot(file, e.Printer, e.Width, e.Height, x, y)) << x << "," << y;
                }
        }
        EXPECT_EQ(checked, 8);
    }
}

TEST_F(CliTest, ShowWritesAWindowsBitmapThatLoadsBack) {
    const fs::path picture = dir_ / "a.bmp";
    WriteBytes(picture, TestBitmap(20, 9));
    ASSERT_EQ(Cli({"convert", picture.string(), "--printer", "star"}).status, 0);
    ASSERT_TRUE(fs::exists(dir_ / "logo.rsc")); // default: beside the picture
    const fs::path bmp = dir_ / "dots.bmp";
    ASSERT_EQ(Cli({"show", (dir_ / "logo.rsc").string(), "-o", bmp.string()}).status, 0);
    const DecodedLogo logo = DecodeLogo(ReadBytes(dir_ / "logo.rsc"));
    EXPECT_EQ(logo.Model, 2);
    TPicture loaded;
    loaded.LoadFile(bmp.string());
    ASSERT_EQ(loaded.Width(), logo.Width);
    ASSERT_EQ(loaded.Height(), logo.Height);
    const TBitmapImage& im = static_cast<const TBitmap*>(loaded.Graphic())->Image();
    for (int y = 0; y < logo.Height; ++y)
        for (int x = 0; x < logo.Width; ++x)
            ASSERT_EQ(im.GetPixel(x, y), logo.Black(x, y) ? clBlack : clWhite) << x << "," << y;
}

TEST_F(CliTest, ErrorsUseTheSystemsMessagesAndBatchGoesOn) {
    WriteBytes(dir_ / "good.bmp", TestBitmap(8, 8));
    WriteBytes(dir_ / "bad.bmp", {'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0});
    WriteBytes(dir_ / "photo.jpg", {1, 2, 3});
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    const CliRun batch = Cli({"convert", (dir_ / "missing.bmp").string(), (dir_ / "bad.bmp").string(),
                           (dir_ / "photo.jpg").string(), (dir_ / "good.bmp").string(), "-d",
                           out.string()});
    EXPECT_EQ(batch.status, 1);
    EXPECT_NE(batch.err.find("Cannot open file " + (dir_ / "missing.bmp").string()), std::string::npos);
    EXPECT_NE(batch.err.find("Bitmap image is not valid"), std::string::npos);
    EXPECT_NE(batch.err.find("Unknown picture file extension (.jpg)"), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "good.rsc")); // the batch went on
    EXPECT_FALSE(fs::exists(out / "bad.rsc"));

    const fs::path nowhere = dir_ / "no-such-folder" / "logo.rsc";
    const CliRun unwritable = Cli({"convert", (dir_ / "good.bmp").string(), "-o", nowhere.string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Unable to create the file " + nowhere.string()), std::string::npos);

    EXPECT_EQ(Cli({"convert", (dir_ / "good.bmp").string(), "--printer", "epsilon"}).status, 2);
    EXPECT_EQ(Cli({"convert", (dir_ / "good.bmp").string(), "-t", "1,2"}).status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    EXPECT_EQ(Cli({"--help"}).status, 0);
}

TEST_F(CliTest, ShowRefusesDamagedFilesAndWarnsOfPrinterLimits) {
    const fs::path picture = dir_ / "p.bmp";
    WriteBytes(picture, TestBitmap(30, 30));
    const fs::path logo = dir_ / "logo.rsc";
    ASSERT_EQ(Cli({"convert", picture.string(), "-o", logo.string()}).status, 0);
    std::vector<std::uint8_t> bytes = ReadBytes(logo);

    struct Damage {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.end() - 1);
    std::vector<std::uint8_t> lengthened = bytes;
    lengthened.push_back(0);
    std::vector<std::uint8_t> badLength = bytes;
    badLength[0] ^= 1;
    std::vector<std::uint8_t> unknown = bytes;
    unknown[2] = 0x1E;
    for (const Damage& d : {Damage{"truncated", truncated}, Damage{"lengthened", lengthened},
                            Damage{"length word", badLength}, Damage{"unknown header", unknown},
                            Damage{"one byte", {7}}}) {
        SCOPED_TRACE(d.name);
        WriteBytes(dir_ / "damaged.rsc", d.bytes);
        const CliRun show = Cli({"show", (dir_ / "damaged.rsc").string()});
        EXPECT_EQ(show.status, 1);
        EXPECT_EQ(std::count(show.err.begin(), show.err.end(), '\n'), 1) << show.err;
    }

    // The blank logo of a fresh start breaks the printers' lower bounds.
    WriteBytes(dir_ / "blank.rsc", {0x07, 0x00, 0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00});
    const CliRun blank = Cli({"show", (dir_ / "blank.rsc").string()});
    EXPECT_EQ(blank.status, 0);
    EXPECT_NE(blank.err.find("FS q: X = 0 is outside 1 to 1023"), std::string::npos) << blank.err;
    EXPECT_NE(blank.err.find("FS q: Y = 0 is outside 1 to 288"), std::string::npos);
}

TEST(PrinterCommandWarnings, NamesEachBrokenLimit) {
    EXPECT_TRUE(PrinterCommandWarnings(0, 75, 75).empty());
    EXPECT_TRUE(PrinterCommandWarnings(1, 32, 48).empty()); // 1536 exactly
    EXPECT_EQ(PrinterCommandWarnings(1, 60, 48).size(), 1u); // 480 x 384: above 1536
    EXPECT_EQ(PrinterCommandWarnings(2, 1024, 289).size(), 2u);
    EXPECT_TRUE(PrinterCommandWarnings(3, 71, 115).empty());
    EXPECT_EQ(PrinterCommandWarnings(3, 72, 114).size(), 1u); // 65664 bytes of data
    EXPECT_EQ(PrinterCommandWarnings(3, 73, 0).size(), 2u);
}

} // namespace
} // namespace tlc
