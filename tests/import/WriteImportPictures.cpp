// Writes the import tests' pictures, and larger ones of the same kinds, into
// a folder, for the Windows build's comparison of its logos with the Linux
// build's (scripts/compare_windows_logos.sh). A TIFF file X-tiff.tif comes
// with a PNG X-tiff.png of the same pixels: the Linux build reads no TIFF.
// The damaged and hostile files of the tests go into FOLDER/damaged, with
// the start of each one's message in FOLDER/damaged/messages.tsv.
// Usage: tlc_write_import_pictures FOLDER
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "import/ImportCases.h"

namespace {

using namespace tlc;
using namespace tlc::test::import_cases;
using tlc::test::Rgba;

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

std::string Slug(const char* name) {
    std::string slug;
    for (const char* p = name; *p; ++p)
        slug += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '-';
    return slug;
}

// Smooth colours with edges between, the right part fading out.
Rgba Scene(int x, int y) {
    const auto a = static_cast<std::uint8_t>(x < 200 ? 255 : 255 - (x - 200) * 2);
    return {static_cast<std::uint8_t>(x * 3 + y), static_cast<std::uint8_t>((x * y / 64) & 255),
            static_cast<std::uint8_t>(255 - y),
            (x / 40 + y / 40) % 2 ? a : static_cast<std::uint8_t>(255)};
}

// An uncompressed baseline TIFF, 8 bits a channel, RGB or RGBA (unassociated
// alpha), little-endian, one strip; an orientation tag when given.
std::vector<std::uint8_t> EncodeTiff(int w, int h, bool alpha,
                                     const tlc::test::PixelFunction& pixel, int orientation = 0) {
    const int channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put16 = [&](std::uint32_t v) {
        b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const std::uint32_t entries = (alpha ? 11 : 10) + (orientation ? 1 : 0);
    const std::uint32_t ifdEnd = 8 + 2 + entries * 12 + 4;
    const std::uint32_t bitsAt = ifdEnd, pixelsAt = ifdEnd + 8;
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(w * h * channels);
    put16(entries);
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                     std::uint32_t value) {
        put16(tag);
        put16(type);
        put32(count);
        if (type == 3 && count == 1) {
            put16(value);
            put16(0);
        } else
            put32(value);
    };
    entry(256, 4, 1, static_cast<std::uint32_t>(w));
    entry(257, 4, 1, static_cast<std::uint32_t>(h));
    entry(258, 3, static_cast<std::uint32_t>(channels), bitsAt); // 8 bits each, listed below
    entry(259, 3, 1, 1);                                         // no compression
    entry(262, 3, 1, 2);                                         // RGB
    entry(273, 4, 1, pixelsAt);
    if (orientation) entry(274, 3, 1, static_cast<std::uint32_t>(orientation));
    entry(277, 3, 1, static_cast<std::uint32_t>(channels));
    entry(278, 4, 1, static_cast<std::uint32_t>(h));
    entry(279, 4, 1, pixelBytes);
    entry(284, 3, 1, 1);            // chunky
    if (alpha) entry(338, 3, 1, 2); // unassociated alpha
    put32(0);
    for (int i = 0; i < 4; ++i)
        put16(8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = pixel(x, y);
            b.insert(b.end(), {p.R, p.G, p.B});
            if (alpha) b.push_back(p.A);
        }
    return b;
}

// A GIF frame on a larger logical screen (30 x 20, the frame's 12 x 7 at
// 9, 6): what it leaves uncovered is paper.
std::vector<std::uint8_t> GifOnALargerScreen() {
    const std::vector<Rgba> palette = {
        {255, 0, 0, 255}, {0, 0, 0, 255}, {10, 200, 30, 255}, {0, 0, 0, 0}};
    std::vector<std::uint8_t> gif = test::EncodeGif(
        12, 7, palette, [](int x, int y) { return (x + y) % 4; }, 3, false);
    gif[6] = 30;
    gif[8] = 20;
    std::size_t at = 13 + 3 * (std::size_t{2} << (gif[10] & 7)); // past the colour table
    while (gif[at] == 0x21) { // extensions: label, then sub-blocks to an empty one
        at += 2;
        while (gif[at] != 0)
            at += gif[at] + 1u;
        ++at;
    }
    if (gif[at] != 0x2C) throw std::runtime_error("no image descriptor");
    gif[at + 1] = 9;
    gif[at + 3] = 6;
    return gif;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tlc_write_import_pictures FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const char* extensions[] = {"", ".png", ".jpg", ".gif", ".webp", ".tif"};
    for (const DecodeCase& c : LosslessCases())
        Write(folder / (Slug(c.name) + extensions[static_cast<int>(c.format)]), c.file());

    Write(folder / "gif-frame-on-a-larger-screen.gif", GifOnALargerScreen());

    const int w = 37, h = 21;
    std::vector<std::uint8_t> grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grey.push_back(static_cast<std::uint8_t>(x * 6 + y));
    Write(folder / "jpeg-baseline-420.jpg",
          test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, RgbPixels(w, h)));
    Write(folder / "jpeg-progressive.jpg",
          test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_444, RgbPixels(w, h), TJFLAG_PROGRESSIVE));
    Write(folder / "jpeg-greyscale.jpg", test::EncodeJpeg(w, h, TJPF_GRAY, TJSAMP_GRAY, grey));

    // Larger ones, a logo's size: more dots for the decoders to differ in.
    const int sw = 320, sh = 240;
    std::vector<std::uint8_t> scene;
    for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
            const Rgba p = Scene(x, y);
            scene.insert(scene.end(), {p.R, p.G, p.B});
        }
    Write(folder / "scene-rgba.png", test::EncodePngRgba(sw, sh, Scene));
    Write(folder / "scene-420.jpg", test::EncodeJpeg(sw, sh, TJPF_RGB, TJSAMP_420, scene));
    Write(folder / "scene-444-progressive.jpg",
          test::EncodeJpeg(sw, sh, TJPF_RGB, TJSAMP_444, scene, TJFLAG_PROGRESSIVE));
    Write(folder / "scene-rgba-tiff.tif", EncodeTiff(sw, sh, true, Scene));
    Write(folder / "scene-rgba-tiff.png", test::EncodePngRgba(sw, sh, Scene));
    Write(folder / "colours-rgb-tiff.tif", EncodeTiff(w, h, false, Colours));
    Write(folder / "colours-rgb-tiff.png", test::EncodePngRgba(w, h, Colours));
    // EXIF orientations that turn the picture a quarter: transposed (5), turned
    // clockwise (6), transversed (7); the PNG holds the picture as shown.
    Write(folder / "orientation-5-tiff.tif", EncodeTiff(w, h, false, Colours, 5));
    Write(folder / "orientation-5-tiff.png",
          test::EncodePngRgba(h, w, [](int x, int y) { return Colours(y, x); }));
    Write(folder / "orientation-6-tiff.tif", EncodeTiff(w, h, false, Colours, 6));
    Write(folder / "orientation-6-tiff.png",
          test::EncodePngRgba(h, w, [=](int x, int y) { return Colours(y, h - 1 - x); }));
    Write(folder / "orientation-7-tiff.tif", EncodeTiff(w, h, false, Colours, 7));
    Write(folder / "orientation-7-tiff.png",
          test::EncodePngRgba(h, w, [=](int x, int y) { return Colours(w - 1 - y, h - 1 - x); }));

    std::filesystem::create_directories(folder / "damaged");
    std::ofstream messages(folder / "damaged" / "messages.tsv", std::ios::binary);
    int number = 0;
    for (const Damage& d : DamagedFiles()) {
        const std::string name = std::to_string(++number) + "-" + Slug(d.name) + ".bin";
        Write(folder / "damaged" / name, d.file);
        messages << name << '\t' << d.message << '\n';
    }
    // A TIFF whose header claims 100000 x 100000 (the Windows build's alone).
    std::vector<std::uint8_t> hugeTiff = EncodeTiff(w, h, false, Colours);
    for (std::size_t entry = 10; entry < 10 + 12u * hugeTiff[8]; entry += 12)
        if (hugeTiff[entry + 1] == 1 &&
            (hugeTiff[entry] == 0 || hugeTiff[entry] == 1)) // tags 256, 257
            for (int k = 0; k < 4; ++k)
                hugeTiff[entry + 8 + k] = static_cast<std::uint8_t>(100000 >> (8 * k));
    const std::string name = std::to_string(++number) + "-tiff-100000-x-100000.bin";
    Write(folder / "damaged" / name, hugeTiff);
    messages << name << "\tTIFF picture too large: 100000 x 100000\n";
    return messages.flush() ? 0 : 1;
}
