#pragma once

#include <cstdint>
#include <memory>

#include "image/BitmapImage.h"
#include "image/Metafile.h"

namespace tlc {

// A metafile drawn into a 24-bit raster of width x height pixels over white,
// stretched to it. Both programs convert vector pictures through this one
// drawing, so they give the same logo for the same file, size and printer.
// Throws EInvalidGraphic when the picture cannot be drawn: damaged, too slow
// or too large to draw.
std::shared_ptr<TBitmapImage> DrawMetafile(const TMetafileImage& image, std::int32_t width,
                                           std::int32_t height);

// Whether the drawing libraries' own warnings reach standard error; off
// unless asked for (a person looking into one picture).
void ShowDrawingMessages(bool shown);

} // namespace tlc
