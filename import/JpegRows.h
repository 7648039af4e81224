#pragma once

// A JPEG's top-left part, read row by row through libjpeg: no buffer of the
// whole picture, and the same pixels as TurboJPEG's whole decode.
#include <cstdint>
#include <functional>
#include <span>

#include "image/BitmapImage.h"
#include "import/CodecLibraries.h"

namespace tlc::import {

// Which rows of a JPEG to read, and where each goes.
struct JpegRowRequest {
    unsigned ScaleNum = 1, ScaleDenom = 1; // libjpeg's scaled DCT
    bool Cmyk = false;                      // rows of C, M, Y, K as Adobe writes them (255: no ink), else B, G, R
    unsigned Width = ~0u, Height = ~0u;     // at most this top-left part of the scaled picture
    std::function<void(const std::uint8_t* pixels)> Row; // each row in turn, top first
};

// Reads the rows a request asks for, stopping where the data breaks off;
// EInvalidGraphic "JPEG file damaged: ..." as the whole decode, and what
// `Row` throws, passed on.
void ReadJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, const JpegRowRequest& request);

// Fills `raster` (blue, green, red rows) with the picture's top-left part of
// its size; EInvalidGraphic "JPEG file damaged: ..." as the whole decode.
void DecodeJpegRows(const LibjpegLibrary& lib, std::span<const std::uint8_t> bytes, TBitmapImage& raster);

} // namespace tlc::import
