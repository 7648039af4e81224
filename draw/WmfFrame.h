#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "draw/GdiCanvas.h"
#include "draw/WmfPlayer.h"

namespace tlc::wmf {

// Sets the canvas up as a program playing a placeable metafile does and
// stretches the picture's frame onto width x height pixels (see WmfFrame.cpp
// for which frame); records: the metafile from its header on, start: where
// the records begin. False when the frame is empty.
bool SetUpPage(std::span<const std::uint8_t> records, std::size_t start, const WindowsMetafileFrame& frame,
               int width, int height, gdi::Canvas& canvas);

} // namespace tlc::wmf
