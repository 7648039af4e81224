#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "PictureEncoders.h"
#include "base/Exceptions.h"
#include "import/ImportCases.h"
#include "import/ImportedPicture.h"

namespace tlc {
namespace {

using namespace test::import_cases;
using test::Rgba;

void ExpectPixels(const TBitmapImage& image, int w, int h, const std::function<TColor(int, int)>& expected) {
    ASSERT_EQ(image.Width(), w);
    ASSERT_EQ(image.AbsHeight(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(image.GetPixel(x, y), expected(x, y)) << x << "," << y;
}

TEST(ImportedPictures, LosslessFormatsGiveThePixelsComposedOverWhite) {
    for (const DecodeCase& c : LosslessCases()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> file = c.file();
        EXPECT_EQ(SniffImportFormat(file), c.format);
        ExpectPixels(*DecodeImportedPicture(file), c.width, c.height, c.expected);
    }
}

TEST(ImportedPictures, JpegGivesTheLibrarysOwnDecode) {
    const int w = 37, h = 21;
    std::vector<std::uint8_t> grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) grey.push_back(static_cast<std::uint8_t>(x * 6 + y));
    struct {
        const char* name;
        std::vector<std::uint8_t> jpeg;
    } cases[] = {
        {"baseline 4:2:0", test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, RgbPixels(w, h))},
        {"progressive", test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_444, RgbPixels(w, h), TJFLAG_PROGRESSIVE)},
        {"greyscale", test::EncodeJpeg(w, h, TJPF_GRAY, TJSAMP_GRAY, grey)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> rgb = test::DecodeJpegRgb(c.jpeg, w, h);
        ExpectPixels(*DecodeImportedPicture(c.jpeg), w, h, [&](int x, int y) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            return RGB(p[0], p[1], p[2]);
        });
    }
}

TEST(ImportedPictures, CmykJpegShowsItsInksOnWhitePaper) {
    // Four bands, inks as TurboJPEG holds them (inverted, 255 = no ink): paper,
    // full black, full cyan, full magenta and yellow.
    const int w = 32, h = 16;
    const std::uint8_t bands[4][4] = {{255, 255, 255, 255}, {255, 255, 255, 0}, {0, 255, 255, 255}, {255, 0, 0, 255}};
    const TColor seen[4] = {clWhite, clBlack, RGB(0, 255, 255), RGB(255, 0, 0)};
    std::vector<std::uint8_t> cmyk;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) cmyk.insert(cmyk.end(), bands[x / 8], bands[x / 8] + 4);
    const auto jpeg = test::EncodeJpeg(w, h, TJPF_CMYK, TJSAMP_444, cmyk, 0, 100);
    const auto image = DecodeImportedPicture(jpeg);
    ASSERT_EQ(image->Width(), w);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TColor got = image->GetPixel(x, y), want = seen[x / 8];
            // Within the loss of the JPEG, away from the band edges.
            if (x % 8 < 2 || x % 8 > 5) continue;
            EXPECT_NEAR(RedOf(got), RedOf(want), 6) << x << "," << y;
            EXPECT_NEAR(GreenOf(got), GreenOf(want), 6) << x << "," << y;
            EXPECT_NEAR(BlueOf(got), BlueOf(want), 6) << x << "," << y;
        }
}

TEST(ImportedPictures, DamagedAndHostileFilesGiveOneMessageNamingTheFormat) {
    for (const Damage& d : DamagedFiles()) {
        SCOPED_TRACE(std::string(d.name) + " / " + d.message);
        try {
            DecodeImportedPicture(d.file);
            ADD_FAILURE() << "decoded";
        } catch (const EOutOfResources& e) {
            EXPECT_TRUE(d.tooLarge) << e.Message();
            EXPECT_EQ(e.Message().rfind(d.message, 0), 0u) << e.Message();
        } catch (const EInvalidGraphic& e) {
            EXPECT_FALSE(d.tooLarge) << e.Message();
            EXPECT_EQ(e.Message().rfind(d.message, 0), 0u) << e.Message();
            if (std::string(d.message).ends_with(": ")) {
                EXPECT_GT(e.Message().size(), std::strlen(d.message)) << "says what is wrong";
            }
        }
    }
}

} // namespace
} // namespace tlc

namespace tlc {
namespace {

// Inputs the fuzzers once found crashing, hanging or slow: each must end in
// a picture (named loads-...) or one of the system's errors.
TEST(ImportFuzzRegression, EveryKeptInputEndsInAPictureOrAMessage) {
    namespace fs = std::filesystem;
    // The fuzzers call each reader directly, so the inputs need not carry the
    // signature that the command line recognises.
    const std::map<std::string, std::function<std::shared_ptr<TBitmapImage>(std::span<const std::uint8_t>)>>
        readers = {{"png", [](std::span<const std::uint8_t> b) { return DecodePngFile(b); }},
                   {"jpeg", [](std::span<const std::uint8_t> b) { return DecodeJpegFile(b); }},
                   {"gif", [](std::span<const std::uint8_t> b) { return DecodeGifFile(b); }},
                   {"webp", [](std::span<const std::uint8_t> b) { return DecodeWebpFile(b); }},
                   {"tiff", [](std::span<const std::uint8_t> b) { return DecodeTiffFile(b); }}};
    int count = 0;
    for (const auto& folder : fs::directory_iterator(TLC_IMPORT_FUZZ_REGRESSIONS))
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            SCOPED_TRACE(entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            try {
                const auto image = readers.at(folder.path().filename().string())(bytes);
                EXPECT_TRUE(entry.path().filename().string().starts_with("loads-")) << "decoded";
            } catch (const Exception& e) {
                EXPECT_FALSE(e.Message().empty());
            }
            // The whole import too, as the fuzzers run it: orientation, profile, frames.
            if (SniffImportFormat(bytes) != ImportFormat::None) {
                try {
                    DecodeImportedPicture(bytes);
                } catch (const Exception& e) {
                    EXPECT_FALSE(e.Message().empty());
                }
            }
            ++count;
        }
    EXPECT_GT(count, 0);
}

} // namespace
} // namespace tlc
