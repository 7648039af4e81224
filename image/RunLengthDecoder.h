#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "base/Types.h"
#include "image/PixelBuffer.h"

namespace tlc {

// Colours of the 32-bit raster a run-length file becomes, as B, G, R, 0.
using PaletteBGRX = std::array<std::array<std::uint8_t, 4>, 256>;

// The table's colours; indices beyond the table read black.
PaletteBGRX MakePalette(const std::vector<TColor>& table);

// Run-length data as the format defines it: pairs of (count, index) for
// encoded runs, and escapes (0, 0) end of line, (0, 1) end of bitmap,
// (0, 2, dx, dy) move right and up, (0, n, ...) n pixels given one by one,
// padded to 16 bits. Rows run bottom row first. Runs past the end of a row are
// clipped, a move past the last row ends the picture, and data that ends
// early leaves the rest 0. Every step takes at least two bytes, so decoding
// ends with the data.
class RunLengthDecoder {
public:
    // A picture `height` rows high of which the top `keepRows` rows and the
    // left `keepWidth` columns (at most the picture's width) are kept; runs
    // past the kept columns are clipped as runs past the row's end.
    RunLengthDecoder(std::span<const std::uint8_t> data, bool nibbles, const PaletteBGRX& palette,
                     std::int64_t keepWidth, std::int64_t height, std::int64_t keepRows)
        : data_(data), nibbles_(nibbles), palette_(palette), width_(keepWidth), height_(height),
          base_(height - keepRows) {}

    // The kept part as a 32-bit raster, rows top row first. The raster is
    // built in blocks of rows small enough to stay in the cache: each block
    // is cleared (unless the memory came zero) and decoded into at once, so
    // the raster is written once, in order, and is never cleared as a whole.
    // Blocks go top first, that is from the end of the data back; the first
    // pass notes where the data enters each block.
    PixelBuffer Decode();
    // The same block by block, top block first, without the raster: `block`
    // gets each block's rows (top first) and how many there are; null for a
    // block the data never enters, whose rows are all 0.
    void DecodeBlocks(const std::function<void(const std::uint8_t* rows, std::int64_t count)>& block);

private:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    // Where decoding stands: the next byte, the column and the row (0 =
    // bottom); row -1 for a block the data never enters.
    struct State {
        std::size_t offset = 0;
        std::int64_t x = 0;
        std::int64_t row = -1;
    };

    std::size_t AbsoluteBytes(unsigned count) const {
        const std::size_t used = nibbles_ ? (count + 1) / 2 : count;
        return (used + 1) & ~std::size_t{1};
    }
    std::vector<State> FindBlockEntries(std::int64_t blockRows) const;
    void DecodeBlock(State state, std::int64_t high, std::uint8_t* out, std::size_t rowBytes) const;

    std::span<const std::uint8_t> data_;
    bool nibbles_;
    const PaletteBGRX& palette_;
    std::int64_t width_;  // the kept columns
    std::int64_t height_; // the picture's rows
    std::int64_t base_;   // the lowest kept row (0 = bottom)
};

} // namespace tlc
