#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Icon.h"
#include "image/Image.h"

namespace tlc::test {

// Installs a 32-bit picture of w x h whose pixels come from colourAt(x, y).
template <typename F> void InstallRaster(TImage& image, int w, int h, F colourAt, int bitCount = 32) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = static_cast<std::uint16_t>(bitCount);
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster->SetPixel(x, y, colourAt(x, y));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

// A target that refuses pixel access, as after loading an icon.
inline void InstallIcon(TImage& image) {
    auto graphic = std::make_unique<TIcon>();
    auto icon = std::make_shared<TIconImage>();
    icon->Bytes = {0, 0, 1, 0, 1, 0};
    graphic->SetImage(icon);
    image.Picture().Install(std::move(graphic));
}

inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    unsigned v = 0;
    while (in >> std::hex >> v) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

} // namespace tlc::test
