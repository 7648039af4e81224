#pragma once

#include <cstddef>
#include <cstdint>

namespace tlc {

// Fills `size` bytes from the system's source of unpredictable bytes; false
// where it has none to give.
bool FillRandomBytes(std::uint8_t* data, std::size_t size);

} // namespace tlc
