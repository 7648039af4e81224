#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tlc {

// An SVG document drawn by librsvg into width x height pixels, its own size
// stretched to them, over white: three bytes (red, green, blue) a pixel,
// rows top first. False when librsvg refuses the document, it has no size,
// or the drawing leaves no mark at all (nothing to show).
bool DrawSvg(std::string_view svg, std::int32_t width, std::int32_t height,
             std::vector<std::uint8_t>& rgb);

} // namespace tlc
