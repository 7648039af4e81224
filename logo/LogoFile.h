#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Types.h"
#include "image/Image.h"

namespace tlc {

// Header length K of each printer's logo-definition command, by model index.
std::size_t LogoHeaderLength(int modelIndex);

// The complete logo file: the 16-bit length word, the printer's command header
// and the dot data, eight dots to a byte (column order for models 0 to 2, row
// order for model 3). A dot counts as black exactly when it reads 0. The
// first dot is read through target.EnsureCanvas().ReadPixel (which may make
// the bitmap or refuse); the rest come along the raster's rows when the
// target then holds a settled bitmap, else dot by dot the same way.
// Throws EInvalidOperation for a model index outside 0 to 3, or for a geometry
// that is negative or beyond the printer's limits (no conversion makes one);
// errors of the pixel access pass through.
std::vector<std::uint8_t> EncodeLogo(int modelIndex, const LogoGeometry& geometry, TImage& target);

} // namespace tlc
