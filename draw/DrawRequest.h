#pragma once

#include <cstddef>
#include <cstdint>

#include "base/LittleEndian.h"

namespace tlc {

// What the drawing helper (tillora-draw) reads on its standard input: this
// header, then DataLength bytes of the picture. It answers on its standard
// output with the drawing's width and height (32-bit each) and, for a
// drawing, width x height pixels of three bytes (red, green, blue), rows top
// first. Exit status 0: done; kDrawRefused: the libraries refused the picture
// or drew nothing; anything else (a signal above all): it failed.
enum class VectorFormat : std::uint8_t { Enhanced = 0, Windows = 1, Svg = 2 };

inline constexpr std::uint8_t kDrawMagic[4] = {'T', 'L', 'C', 'D'};
inline constexpr std::size_t kDrawRequestBytes = 44;
inline constexpr int kDrawRefused = 3;
// A picture of more bytes is not sent: the readers never hold one that large.
inline constexpr std::uint32_t kMaxDrawDataBytes = 256u << 20;

struct DrawRequest {
    VectorFormat Format = VectorFormat::Enhanced;
    std::int32_t Width = 0;        // drawing size in pixels
    std::int32_t Height = 0;
    std::int32_t PictureWidth = 0; // the picture's own size in screen pixels
    std::int32_t PictureHeight = 0;
    std::uint32_t DataLength = 0;
    // A Windows metafile's placeable bounding box (logical units).
    std::int32_t FrameLeft = 0, FrameTop = 0, FrameRight = 0, FrameBottom = 0;
};

inline void StoreDrawRequest(std::uint8_t* out, const DrawRequest& r) {
    for (int k = 0; k < 4; ++k) out[k] = kDrawMagic[k];
    StoreLE32(out + 4, static_cast<std::uint32_t>(r.Format));
    StoreLE32(out + 8, static_cast<std::uint32_t>(r.Width));
    StoreLE32(out + 12, static_cast<std::uint32_t>(r.Height));
    StoreLE32(out + 16, static_cast<std::uint32_t>(r.PictureWidth));
    StoreLE32(out + 20, static_cast<std::uint32_t>(r.PictureHeight));
    StoreLE32(out + 24, r.DataLength);
    StoreLE32(out + 28, static_cast<std::uint32_t>(r.FrameLeft));
    StoreLE32(out + 32, static_cast<std::uint32_t>(r.FrameTop));
    StoreLE32(out + 36, static_cast<std::uint32_t>(r.FrameRight));
    StoreLE32(out + 40, static_cast<std::uint32_t>(r.FrameBottom));
}

// False when the header is not one of ours.
inline bool LoadDrawRequest(const std::uint8_t* in, DrawRequest& r) {
    for (int k = 0; k < 4; ++k)
        if (in[k] != kDrawMagic[k]) return false;
    const std::uint32_t format = LoadLE32(in + 4);
    if (format > 2) return false;
    r.Format = static_cast<VectorFormat>(format);
    r.Width = LoadLE32Signed(in + 8);
    r.Height = LoadLE32Signed(in + 12);
    r.PictureWidth = LoadLE32Signed(in + 16);
    r.PictureHeight = LoadLE32Signed(in + 20);
    r.DataLength = LoadLE32(in + 24);
    r.FrameLeft = LoadLE32Signed(in + 28);
    r.FrameTop = LoadLE32Signed(in + 32);
    r.FrameRight = LoadLE32Signed(in + 36);
    r.FrameBottom = LoadLE32Signed(in + 40);
    return r.Width > 0 && r.Height > 0 && r.DataLength <= kMaxDrawDataBytes;
}

} // namespace tlc
