// Writes a few small pictures of each imported format as fuzzing seeds:
// tlc_fuzz_seeds FOLDER makes FOLDER/png, FOLDER/jpeg, FOLDER/gif, FOLDER/webp,
// FOLDER/tiff.
#include <filesystem>
#include <fstream>

#include "PictureEncoders.h"

namespace fs = std::filesystem;
using namespace tlc::test;

static void Put(const fs::path& folder, const char* name, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path root = argv[1];
    auto colours = [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 13), static_cast<std::uint8_t>(y * 21),
                    static_cast<std::uint8_t>(x * y), static_cast<std::uint8_t>(x * 17)};
    };
    Put(root / "png", "rgba.png", EncodePngRgba(16, 9, colours));
    Put(root / "png", "grey16-interlaced.png",
        EncodePng(PngHeader(9, 7, 16, SPNG_COLOR_TYPE_GRAYSCALE, true), std::vector<std::uint8_t>(9 * 7 * 2, 0x5A)));
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 24 * 16; ++i) rgb.insert(rgb.end(), {std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(i * 7)});
    Put(root / "jpeg", "baseline.jpg", EncodeJpeg(24, 16, TJPF_RGB, TJSAMP_420, rgb));
    Put(root / "jpeg", "progressive.jpg", EncodeJpeg(24, 16, TJPF_RGB, TJSAMP_444, rgb, TJFLAG_PROGRESSIVE));
    Put(root / "jpeg", "grey.jpg", EncodeJpeg(24, 16, TJPF_GRAY, TJSAMP_GRAY, std::vector<std::uint8_t>(24 * 16, 90)));
    Put(root / "jpeg", "cmyk.jpg", EncodeJpeg(24, 16, TJPF_CMYK, TJSAMP_444, std::vector<std::uint8_t>(24 * 16 * 4, 200)));
    const std::vector<Rgba> palette = {{0, 0, 0, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {9, 9, 9, 255}};
    Put(root / "gif", "plain.gif", EncodeGif(12, 9, palette, [](int x, int y) { return (x + y) % 4; }, -1, false));
    Put(root / "gif", "transparent-interlaced.gif",
        EncodeGif(12, 9, palette, [](int x, int y) { return (x * y) % 4; }, 2, true));
    Put(root / "webp", "lossless.webp", EncodeWebpLossless(16, 9, colours));
    Put(root / "tiff", "rgba-turned.tif",
        EncodeTiff({16, 9, 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_UNASSALPHA, ORIENTATION_RIGHTTOP, RgbaBytes(16, 9, colours)}));
    Put(root / "tiff", "bilevel.tif",
        EncodeTiff({16, 4, 1, 1, PHOTOMETRIC_MINISWHITE, -1, ORIENTATION_TOPLEFT, std::vector<std::uint8_t>(8, 0x3C)}));
    return 0;
}
