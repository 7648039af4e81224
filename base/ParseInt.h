#pragma once

#include <cstdint>
#include <string_view>

namespace tlc {

// The whole text as a 32-bit integer, or `fallback` when it is not one.
// Leading spaces; a signed decimal in range; or, unsigned, a hexadecimal
// value of at most 32 bits after "$", "x", "X", "0x" or "0X", read as two's
// complement. Nothing may follow the digits.
std::int32_t ParseIntOrDefault(std::string_view text, std::int32_t fallback);

} // namespace tlc
