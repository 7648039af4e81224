#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tlc {

// A metafile's records and what the libraries need beside them.
struct MetafileSource {
    std::span<const std::uint8_t> Data; // enhanced: whole file; Windows: after the placeable header
    bool Enhanced = true;
    std::int32_t Width = 0;  // size in screen pixels
    std::int32_t Height = 0;
    bool Messages = false;   // let the libraries' warnings through
};

// The metafile turned into an SVG document by the metafile libraries
// (libemf2svg for enhanced metafiles, libwmf for Windows ones), or an empty
// string when they refuse it. Text bytes that are not valid UTF-8 (symbol
// and other 8-bit fonts) are re-encoded so the document stays well-formed.
std::string MetafileToSvg(const MetafileSource& image);

} // namespace tlc
