#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tlc {

// A metafile's records and what the libraries need beside them.
struct MetafileSource {
    std::span<const std::uint8_t> Data; // the whole file
    bool Enhanced = true;               // false: refused (Windows metafiles have a player of their own)
    std::int32_t Width = 0;  // size in screen pixels
    std::int32_t Height = 0;
    bool Messages = false;   // let the libraries' warnings through
};

// The enhanced metafile turned into an SVG document by libemf2svg, or an
// empty string when it refuses it. Text bytes that are not valid UTF-8
// (symbol and other 8-bit fonts) are re-encoded so the document stays
// well-formed.
std::string MetafileToSvg(const MetafileSource& image);

} // namespace tlc
