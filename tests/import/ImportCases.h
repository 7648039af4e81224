#pragma once

// The imported formats' test pictures, shared by the import tests and by the
// program that writes them to files for the Windows build's comparison.

#include <functional>
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
        {"png with five text chunks before its pixels", ImportFormat::Png, 21, 6,
         [] {
             return test::EncodePng(test::PngHeader(21, 6, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(21, 6, Colours),
                                    {}, 5);
         },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
        {"png rgb 8 bits", ImportFormat::Png, 21, 6,
         [] { return test::EncodePng(test::PngHeader(21, 6, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(21, 6, Colours)); },
         [](int x, int y) { return Opaque(Colours(x, y)); }},
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

} // namespace tlc::test::import_cases
