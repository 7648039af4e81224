#pragma once

#include <cstdint>

namespace tlc {

// The row loops of true colour, each picked once for the processor's best
// instruction set (RowLoops.cpp). `n` dots from `p` (3 or 4 bytes each, B G R).

// 1 where any channel is at or below its limit.
void DarkDots3(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n,
               std::uint8_t blue, std::uint8_t green, std::uint8_t red);
void DarkDots4(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n,
               std::uint8_t blue, std::uint8_t green, std::uint8_t red);
// 1 unless all three bytes are 0.
void NonBlack24(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n);
// The grey v stored at the dots whose flag is non-zero.
void StoreGrey24(std::uint8_t* __restrict p, const std::uint8_t* __restrict f, std::int32_t n,
                 std::uint8_t v);

} // namespace tlc
