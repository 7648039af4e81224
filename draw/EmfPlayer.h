#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tlc::gdi {

// Plays an enhanced metafile (the whole file) onto a width x height raster,
// its frame filling the raster: three bytes (red, green, blue) a pixel, rows
// top first, over white. False when the file is refused: not an enhanced
// metafile, a record that does not fit the file or whose inner counts and
// offsets do not fit the record, or nothing drawn at all.
bool PlayEnhancedMetafile(std::span<const std::uint8_t> data, std::int32_t width, std::int32_t height,
                          std::vector<std::uint8_t>& rgb);

} // namespace tlc::gdi
