#pragma once

#include <cstddef>
#include <cstdint>

namespace tlc {

// Maps every page of a fresh buffer that is about to be written in one go,
// rather than one fault per page as the writes reach it. A hint only.
void PrefaultPages(void* data, std::size_t bytes);

// The size of a large page, and `size` bytes (a multiple of it) of fresh
// zero pages aligned to one with the large-page hint, so that each fills
// with one fault; nullptr where unavailable. UnmapLargePages gives them back.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;
std::uint8_t* MapLargePages(std::size_t size);
void UnmapLargePages(std::uint8_t* data, std::size_t size);

} // namespace tlc
