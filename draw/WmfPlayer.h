#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tlc {

// What a Windows metafile's placeable header says of its frame.
struct WindowsMetafileFrame {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0; // logical units
    std::int32_t PictureWidth = 0, PictureHeight = 0;      // its size in screen pixels (96 per inch)
};

// Plays a Windows metafile's records (the 18-byte header onwards, as after
// the placeable header) the way a device context plays them, stretched onto
// width x height pixels over white: rgb gets three bytes a pixel, rows top
// first. False when the picture is refused: a record whose sizes do not fit,
// too much work, or nothing drawn at all.
bool PlayWindowsMetafile(std::span<const std::uint8_t> records, const WindowsMetafileFrame& frame,
                         std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& rgb);

} // namespace tlc
