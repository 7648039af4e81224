#pragma once

// A JPEG's top-left part, read row by row through libjpeg: no buffer of the
// whole picture, and the same pixels as TurboJPEG's whole decode.
#include <cstdint>
#include <span>

#include "image/BitmapImage.h"
#include "import/CodecLibraries.h"

namespace tlc::import {

// Fills `raster` (blue, green, red rows) with the picture's top-left part of
// its size; EInvalidGraphic "JPEG file damaged: ..." as the whole decode.
void DecodeJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, TBitmapImage& raster);

} // namespace tlc::import
