#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/BitmapImage.h"
#include "image/PictureCrop.h"

namespace tlc {

// Reads a Windows bitmap file held in memory into new raster content.
//
// Empty input gives content without raster (an empty bitmap). Files of 1 to
// 13 bytes, and colour tables or channel masks cut short, raise EReadError
// "Stream read error"; a wrong signature, planes other than 1, more than 256
// colours, unknown header sizes, depths, compressions or masks, and sizes that
// make no raster raise EInvalidGraphic "Bitmap image is not valid"; a raster
// above kMaxRasterBytes raises EOutOfResources before anything is allocated.
// Uncompressed files keep their own pixel format and colour table; run-length
// files (8- and 4-bit) become a 32-bit raster without table and keep a copy
// of the file bytes in FileCopy. FileBitCount and FileCompression tell how the
// file stored its pixels.
//
// With a crop only its top-left part is read and held (all else as above,
// the whole picture checked against the cap, and a cut run-length picture
// keeps no FileCopy); the crop receives the picture's own size.
std::shared_ptr<TBitmapImage> DecodeBitmapFile(std::span<const std::uint8_t> bytes,
                                               PictureCrop* crop = nullptr);

// The same from a file: the headers first, then only the rows (and of each
// row only the bytes) kept, straight into the raster.
std::shared_ptr<TBitmapImage> ReadBitmapFile(const std::string& fileName, PictureCrop* crop = nullptr);

} // namespace tlc
