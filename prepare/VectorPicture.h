#pragma once

#include <cstdint>
#include <memory>

#include "image/BitmapImage.h"
#include "image/Graphic.h"

namespace tlc {

// A vector picture (a metafile) drawn into a raster of width x height pixels
// for the conversion; null when this build draws none, and the conversion then
// refuses the picture as it refuses any graphic without pixels.
std::shared_ptr<TBitmapImage> DrawVectorPicture(const TGraphic& graphic, std::int32_t width,
                                                std::int32_t height);

} // namespace tlc
