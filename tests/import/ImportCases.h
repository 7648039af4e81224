#pragma once

// The imported formats' test pictures, shared by the import tests and by the
// program that writes them to files for the Windows build's comparison.

#include <zlib.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "PictureEncoders.h"
#include "base/Types.h"
#include "import/ImportedPicture.h"

namespace tlc::test::import_cases {

using test::Rgba;

// A black square whose cover ramps from none at the left to full at the
// right: over white paper each column is the grey 255 - alpha.
inline Rgba AlphaRampOverBlack(int x, int /*y*/) { return {0, 0, 0, static_cast<std::uint8_t>(x * 17)}; }

// A picture with all three channels moving.
inline Rgba Colours(int x, int y) {
    return {static_cast<std::uint8_t>(x * 13 + y), static_cast<std::uint8_t>(y * 21),
            static_cast<std::uint8_t>(255 - x * 7), 255};
}

struct DecodeCase {
    const char* name;
    ImportFormat format;
    int width, height;
    std::function<std::vector<std::uint8_t>()> file;
    std::function<TColor(int x, int y)> expected; // as composed over white
};

inline TColor Opaque(Rgba p) { return RGB(p.R, p.G, p.B); }

// Pixels deflate cannot shrink, for a file larger than libspng's chunk cache.
inline Rgba Noise(int x, int y) {
    const std::uint32_t v = (static_cast<std::uint32_t>(x) * 2654435761u) ^ (static_cast<std::uint32_t>(y) * 2246822519u);
    const std::uint32_t h = (v ^ (v >> 15)) * 2654435761u;
    return {static_cast<std::uint8_t>(h >> 24), static_cast<std::uint8_t>(h >> 16), static_cast<std::uint8_t>(h >> 8), 255};
}

inline std::uint32_t Crc(const std::uint8_t* p, std::size_t n) {
    return static_cast<std::uint32_t>(crc32(0, p, static_cast<uInt>(n)));
}
inline void PutBE32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

inline std::vector<DecodeCase> LosslessCases() {
    const std::vector<Rgba> palette = {{255, 0, 0, 255}, {0, 0, 0, 255}, {10, 200, 30, 255}, {0, 0, 0, 0}};
    auto paletteIndex = [](int x, int y) { return (x + 2 * y) % 4; };
    auto paletteColour = [=](int x, int y) {
        const int i = paletteIndex(x, y);
        return i == 3 ? clWhite : Opaque(palette[static_cast<std::size_t>(i)]);
    };
    return {
        {"png alpha ramp over a black square", ImportFormat::Png, 16, 9,
         [] { return test::EncodePngRgba(16, 9, AlphaRampOverBlack); },
         [](int x, int) { return RGB(255 - x * 17, 255 - x * 17, 255 - x * 17); }},
        {"png palette with a transparent entry, 2 bits", ImportFormat::Png, 11, 5,
         [=] {
             std::vector<std::uint8_t> rows;
             for (int y = 0; y < 5; ++y) {
                 std::vector<std::uint8_t> row(3, 0);
                 for (int x = 0; x < 11; ++x)
                     row[x / 4] |= static_cast<std::uint8_t>(paletteIndex(x, y) << (6 - 2 * (x % 4)));
                 rows.insert(rows.end(), row.begin(), row.end());
             }
             return test::EncodePng(test::PngHeader(11, 5, 2, SPNG_COLOR_TYPE_INDEXED), rows, palette);
         },
         paletteColour},
        {"png 16 bits a channel, interlaced", ImportFormat::Png, 13, 10,
         [] {
             return test::EncodePng(test::PngHeader(13, 10, 16, SPNG_COLOR_TYPE_TRUECOLOR, true),
                                    test::RgbRows(13, 10, Colours, 16));
         },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
        {"png of more than 8 MiB", ImportFormat::Png, 1800, 1800,
         [] {
             return test::EncodePng(test::PngHeader(1800, 1800, 8, SPNG_COLOR_TYPE_TRUECOLOR),
                                    test::RgbRows(1800, 1800, Noise));
         },
         [](int x, int y) { return Opaque(Noise(x, y)); }},
        {"png with five text chunks before its pixels", ImportFormat::Png, 21, 6,
         [] {
             return test::EncodePng(test::PngHeader(21, 6, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(21, 6, Colours),
                                    {}, 5);
         },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
        {"png rgb 8 bits", ImportFormat::Png, 21, 6,
         [] { return test::EncodePng(test::PngHeader(21, 6, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(21, 6, Colours)); },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
        {"png grey + alpha: a ramp of cover over black, grey opaque, nothing", ImportFormat::Png, 16, 3,
         [] {
             std::vector<std::uint8_t> rows;
             for (int y = 0; y < 3; ++y)
                 for (int x = 0; x < 16; ++x) {
                     const std::uint8_t ramp = static_cast<std::uint8_t>(x * 17);
                     rows.insert(rows.end(), {y == 1 ? ramp : std::uint8_t{0},
                                              y == 0 ? ramp : y == 1 ? std::uint8_t{255} : std::uint8_t{0}});
                 }
             return test::EncodePng(test::PngHeader(16, 3, 8, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA), rows);
         },
         [](int x, int y) {
             const int grey = y == 0 ? 255 - x * 17 : y == 1 ? x * 17 : 255;
             return RGB(grey, grey, grey);
         }},
        {"png grey with black transparent (tRNS)", ImportFormat::Png, 8, 2,
         [] {
             std::vector<std::uint8_t> rows;
             for (int y = 0; y < 2; ++y)
                 for (int x = 0; x < 8; ++x) rows.push_back(static_cast<std::uint8_t>((x % 4) * 60));
             auto png = test::EncodePng(test::PngHeader(8, 2, 8, SPNG_COLOR_TYPE_GRAYSCALE), rows);
             // tRNS of a grey picture: the one grey (two bytes) that is not there, here 0.
             std::vector<std::uint8_t> chunk = {0, 0, 0, 2, 't', 'R', 'N', 'S', 0, 0, 0, 0, 0, 0};
             PutBE32(chunk, 10, Crc(&chunk[4], 6));
             png.insert(png.begin() + 33, chunk.begin(), chunk.end());
             return png;
         },
         [](int x, int) { return x % 4 == 0 ? clWhite : RGB((x % 4) * 60, (x % 4) * 60, (x % 4) * 60); }},
        {"tiff rgb + unassociated alpha ramp over black", ImportFormat::Tiff, 16, 9,
         [] {
             return test::EncodeTiff({16, 9, 4, 8, PHOTOMETRIC_RGB, EXTRASAMPLE_UNASSALPHA, ORIENTATION_TOPLEFT,
                                      test::RgbaBytes(16, 9, AlphaRampOverBlack)});
         },
         [](int x, int) { return RGB(255 - x * 17, 255 - x * 17, 255 - x * 17); }},
        {"tiff rgb 8 bits", ImportFormat::Tiff, 21, 6,
         [] {
             return test::EncodeTiff({21, 6, 3, 8, PHOTOMETRIC_RGB, -1, ORIENTATION_TOPLEFT, test::RgbRows(21, 6, Colours)});
         },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
        {"tiff 1 bit, 0 is white", ImportFormat::Tiff, 10, 3,
         [] {
             std::vector<std::uint8_t> rows;
             for (int y = 0; y < 3; ++y) rows.insert(rows.end(), {static_cast<std::uint8_t>(0xA5 >> y), 0x40});
             return test::EncodeTiff({10, 3, 1, 1, PHOTOMETRIC_MINISWHITE, -1, ORIENTATION_TOPLEFT, rows});
         },
         [](int x, int y) {
             const unsigned bits = (0xA5u >> y) << 8 | 0x40u;
             return (bits >> (15 - x)) & 1 ? clBlack : clWhite;
         }},
        {"gif with a transparent colour, interlaced", ImportFormat::Gif, 10, 13,
         [=] { return test::EncodeGif(10, 13, palette, paletteIndex, 3, true); }, paletteColour},
        {"lossless webp with alpha", ImportFormat::Webp, 16, 7,
         [] {
             return test::EncodeWebpLossless(16, 7, [](int x, int y) {
                 return y < 4 ? AlphaRampOverBlack(x, y) : Colours(x, y);
             });
         },
         [](int x, int y) {
             return y < 4 ? RGB(255 - x * 17, 255 - x * 17, 255 - x * 17) : Opaque(Colours(x, y));
         }},
    };
}

inline std::vector<std::uint8_t> RgbPixels(int w, int h) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = Colours(x, y);
            rgb.insert(rgb.end(), {p.R, p.G, p.B});
        }
    return rgb;
}

struct Damage {
    const char* name;
    std::vector<std::uint8_t> file;
    const char* message; // the start of the message
    bool tooLarge = false;
};

inline std::vector<Damage> DamagedFiles() {
    std::vector<Damage> cases;
    const auto png = test::EncodePngRgba(16, 9, AlphaRampOverBlack);
    const auto jpeg = test::EncodeJpeg(37, 21, TJPF_RGB, TJSAMP_420, RgbPixels(37, 21), TJFLAG_PROGRESSIVE);
    const std::vector<Rgba> palette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    const auto gif = test::EncodeGif(40, 30, palette, [](int x, int y) { return (x ^ y) & 1; }, -1, false);
    const auto webp = test::EncodeWebpLossless(16, 7, Colours);
    const auto tiff = test::EncodeTiff({21, 6, 3, 8, PHOTOMETRIC_RGB, -1, ORIENTATION_TOPLEFT, RgbPixels(21, 6)});
    auto cut = [](const std::vector<std::uint8_t>& b, std::size_t n) {
        return std::vector<std::uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
    };
    for (auto [name, file, format] : {std::tuple{"png", png, "PNG"}, std::tuple{"jpeg", jpeg, "JPEG"},
                                      std::tuple{"gif", gif, "GIF"}, std::tuple{"webp", webp, "WebP"},
                                      std::tuple{"tiff", tiff, "TIFF"}}) {
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

} // namespace tlc::test::import_cases
