#pragma once

#include <memory>

#include "image/Bitmap.h"

namespace tlc::import {

// The picture as it is meant to be seen: a 24-bit raster, rows top first, as
// the readers make it, turned and mirrored by an EXIF / TIFF orientation
// (1: as stored; 2 mirrored; 3 half a turn; 4 upside down mirrored; 5 to 8
// with rows and columns exchanged). Orientation 1 returns `raster` itself.
std::shared_ptr<TBitmapImage> Orient(std::shared_ptr<TBitmapImage> raster, int orientation);

} // namespace tlc::import
