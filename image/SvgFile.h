#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "image/Metafile.h"

namespace tlc {

// Whether the bytes hold an SVG document: text whose first element (after an
// XML declaration, comments and a document type) is <svg.
bool LooksLikeSvg(std::span<const std::uint8_t> bytes);

// An SVG document as a vector picture: its text kept whole for drawing, its
// size in screen pixels (96 per inch) from the root element's width and
// height, else its view box. EInvalidGraphic "SVG picture is not valid" when
// it is not SVG or states no usable size. The text itself is checked only
// when the picture is drawn.
std::shared_ptr<TMetafileImage> DecodeSvgFile(std::span<const std::uint8_t> bytes);

} // namespace tlc
