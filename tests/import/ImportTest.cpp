#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "PictureEncoders.h"
#include "import/ImportCases.h"
#include "base/Exceptions.h"
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

std::uint32_t Crc(const std::uint8_t* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(n)));
}
void PutBE32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

struct Damage {
    const char* name;
    std::vector<std::uint8_t> file;
    const char* message; // the start of the message
    bool tooLarge = false;
};

std::vector<Damage> DamagedFiles() {
    std::vector<Damage> cases;
    const auto png = test::EncodePngRgba(16, 9, AlphaRampOverBlack);
    const auto jpeg = test::EncodeJpeg(37, 21, TJPF_RGB, TJSAMP_420, RgbPixels(37, 21), TJFLAG_PROGRESSIVE);
    const std::vector<Rgba> palette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    const auto gif = test::EncodeGif(40, 30, palette, [](int x, int y) { return (x ^ y) & 1; }, -1, false);
    const auto webp = test::EncodeWebpLossless(16, 7, Colours);
    auto cut = [](const std::vector<std::uint8_t>& b, std::size_t n) {
        return std::vector<std::uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    };
    for (auto [name, file, format] : {std::tuple{"png", png, "PNG"}, std::tuple{"jpeg", jpeg, "JPEG"},
                                      std::tuple{"gif", gif, "GIF"}, std::tuple{"webp", webp, "WebP"}}) {
        const std::string prefix = std::string(format) + " file damaged: ";
        static std::vector<std::string> keep;
        keep.push_back(prefix);
        cases.push_back({name, cut(file, file.size() / 2), keep.back().c_str()});
        cases.push_back({name, cut(file, 16), keep.back().c_str()});
    }
    // Hostile sizes, refused before any pixel memory.
    auto hugePng = png;
    PutBE32(hugePng, 16, 100000);
    PutBE32(hugePng, 20, 100000);
    PutBE32(hugePng, 29, Crc(&hugePng[12], 17));
    cases.push_back({"png 100000 x 100000", hugePng, "PNG picture too large: 100000 x 100000", true});
    auto zeroPng = png;
    PutBE32(zeroPng, 16, 0);
    PutBE32(zeroPng, 29, Crc(&zeroPng[12], 17));
    cases.push_back({"png width 0", zeroPng, "PNG file damaged: ", false});
    auto hugeJpeg = jpeg;
    for (std::size_t i = 2; i + 8 < hugeJpeg.size(); ++i)
        if (hugeJpeg[i] == 0xFF && (hugeJpeg[i + 1] == 0xC0 || hugeJpeg[i + 1] == 0xC2)) {
            // 60000 x 60000: inside JPEG's own limit of 65500, far above our cap.
            hugeJpeg[i + 5] = hugeJpeg[i + 7] = 0xEA;
            hugeJpeg[i + 6] = hugeJpeg[i + 8] = 0x60;
            break;
        }
    cases.push_back({"jpeg 60000 x 60000", hugeJpeg, "JPEG picture too large: 60000 x 60000", true});
    auto hugeGif = gif;
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = 0xFF;
    cases.push_back({"gif screen 65535 x 65535", hugeGif, "GIF picture too large: 65535 x 65535", true});
    auto noImage = cut(gif, 13 + 3 * 2);
    noImage.push_back(0x3B); // trailer straight after the colour table
    cases.push_back({"gif without a picture", noImage, "GIF file damaged: the file holds no picture"});
    // Lossless WebP: 14 bits of width - 1 and of height - 1 after the 0x2F signature.
    auto hugeWebp = webp;
    for (std::size_t i = 0; i + 4 < hugeWebp.size(); ++i)
        if (std::memcmp(&hugeWebp[i], "VP8L", 4) == 0) {
            const std::size_t at = i + 9;
            const std::uint32_t v = 0x3FFFu | (0x3FFFu << 14) | (hugeWebp[at + 3] & 0xF0u) << 24;
            for (int k = 0; k < 4; ++k) hugeWebp[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
            break;
        }
    cases.push_back({"webp 16384 x 16384", hugeWebp, "WebP picture too large: 16384 x 16384", true});
    return cases;
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
                   {"webp", [](std::span<const std::uint8_t> b) { return DecodeWebpFile(b); }}};
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
            ++count;
        }
    EXPECT_GT(count, 0);
}

} // namespace
} // namespace tlc
