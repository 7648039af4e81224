// Small files that claim huge pictures, and endless standard input, under an
// address-space limit far below the pictures' claimed size: each is converted
// or refused in its own words, never by running out of memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "BitmapWriter.h"
#include "FileHelpers.h"
#include "PictureEncoders.h"
#include "TempDir.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TLC_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TLC_ASAN 1
#endif

namespace tlc {
namespace {

namespace fs = std::filesystem;

// Address space for the program: its code, libraries and a few rows.
constexpr int kLimitKiB = 128 * 1024;

[[maybe_unused]] std::vector<std::uint8_t> Bitmap(std::int32_t width, std::int32_t height, int bitCount,
                                                  std::uint32_t compression, std::vector<TColor> table,
                                                  std::vector<std::uint8_t> pixels) {
    test::BitmapLayout layout;
    layout.Width = width;
    layout.Height = height;
    layout.BitCount = static_cast<std::uint16_t>(bitCount);
    layout.Compression = compression;
    layout.Table = std::move(table);
    layout.Pixels = std::move(pixels);
    return test::WriteBitmap(layout);
}

struct Bomb {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;
    int status;
    const char* says; // on standard error, for a refusal
};

TEST(Bombs, TinyFilesClaimingHugePicturesAreFittedOrRefusedInLittleMemory) {
#if defined(TLC_ASAN) || defined(_WIN32)
    GTEST_SKIP() << "the address-space limit cannot work here";
#else
    const std::vector<TColor> greys = [] {
        std::vector<TColor> t;
        for (int k = 0; k < 256; ++k) t.push_back(RGB(k, k, k));
        return t;
    }();
    const Bomb bombs[] = {
        {"wide-1bit.bmp", [] { return Bitmap(2147483647, 1, 1, BI_RGB, {clBlack, clWhite}, std::vector<std::uint8_t>(56, 0x55)); },
         1, "Picture too large to scale: 2147483647 x 1 pixels"},
        {"square-24bit.bmp", [] { return Bitmap(9000, 9000, 24, BI_RGB, {}, std::vector<std::uint8_t>(72, 0x80)); }, 0, ""},
        // One run, an end of line and the end: the rest of 8192 x 8192 is 0.
        {"rle8.bmp", [&] { return Bitmap(8192, 8192, 8, BI_RLE8, greys, {0xFF, 0x07, 0, 0, 0xFF, 0x08, 0, 1}); }, 0, ""},
        // An 8800 x 8800 screen with a 1 x 1 frame: 35 bytes.
        {"screen.gif",
         [] {
             return std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0x60, 0x22, 0x60, 0x22, 0x80, 0, 0,
                                              0, 0, 0, 0xFF, 0xFF, 0xFF, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,
                                              2, 2, 0x44, 1, 0, 0x3B};
         },
         0, ""},
        {"white-9000.png",
         [] {
             std::vector<std::uint8_t> rows(std::size_t{9000} * 1125, 0xFF);
             return test::EncodePng(test::PngHeader(9000, 9000, 1, SPNG_COLOR_TYPE_GRAYSCALE), rows);
         },
         0, ""},
    };
    const test::TempDir tmp("tlc-bombs");
    const std::string dir = tmp.Path().string();
    const std::string program = TLC_LOGO_PROGRAM;
    const auto run = [&](const std::string& command) {
        const std::string line = "ulimit -v " + std::to_string(kLimitKiB) + "; exec " + command + " 2>'" + dir + "/err'";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto said = [&] {
        const std::vector<std::uint8_t> bytes = test::ReadBytes(tmp.Path() / "err");
        return std::string(bytes.begin(), bytes.end());
    };
    for (const Bomb& bomb : bombs) {
        SCOPED_TRACE(bomb.name);
        const fs::path file = tmp.Path() / bomb.name;
        test::WriteBytes(file, bomb.bytes());
        ASSERT_LT(fs::file_size(file), 1u << 20);
        EXPECT_EQ(run(program + " convert '" + file.string() + "' --fit -o '" + dir + "/out.rsc' >/dev/null"),
                  bomb.status)
            << said();
        if (bomb.status != 0) {
            EXPECT_NE(said().find(bomb.says), std::string::npos) << said();
        }
    }
    if (fs::exists("/dev/zero")) {
        EXPECT_EQ(run(program + " info - </dev/zero >/dev/null"), 1);
        EXPECT_NE(said().find("Standard input holds no bitmap, icon or metafile"), std::string::npos) << said();
    }
#endif
}

} // namespace
} // namespace tlc
