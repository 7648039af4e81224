#include "image/RasterFormat.h"

#include <limits>

namespace tlc {

std::size_t RowStride(std::int32_t width, int bitCount) {
    if (width < 0 || bitCount <= 0) return 0;
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<unsigned>(bitCount);
    const std::uint64_t stride = ((bits + 31) & ~std::uint64_t{31}) / 8;
    if (stride > std::numeric_limits<std::uint32_t>::max()) return 0;
    return static_cast<std::size_t>(stride);
}

} // namespace tlc
