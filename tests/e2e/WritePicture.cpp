// Writes the pictures the end-to-end cases load, through the libraries' own
// encoders:
//   tlc_write_picture png WIDTH HEIGHT FILE    transparent, half-transparent and opaque bands
//   tlc_write_picture jpeg WIDTH HEIGHT FILE   a photo-like colour field
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "PictureEncoders.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s png|jpeg WIDTH HEIGHT FILE\n", argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    const int w = std::atoi(argv[2]);
    const int h = std::atoi(argv[3]);
    using tlc::test::Rgba;
    std::vector<std::uint8_t> bytes;
    if (kind == "png") {
        // Dark ink in every band: shown over white, the transparent band
        // turns white and the half-transparent one grey.
        bytes = tlc::test::EncodePngRgba(w, h, [&](int x, int y) {
            const auto a = static_cast<std::uint8_t>(x < w / 3 ? 0 : x < 2 * w / 3 ? 128 : 255);
            const auto v = static_cast<std::uint8_t>((y * 255) / std::max(1, h - 1) / 2);
            return Rgba{v, v, static_cast<std::uint8_t>(v / 2), a};
        });
    } else if (kind == "jpeg") {
        const std::vector<std::uint8_t> rgb = tlc::test::RgbRows(w, h, [&](int x, int y) {
            return Rgba{static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1)),
                        static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1)),
                        static_cast<std::uint8_t>((x / 7 + y / 5) % 256), 255};
        });
        bytes = tlc::test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, rgb);
    } else {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    std::ofstream out(argv[4], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}
