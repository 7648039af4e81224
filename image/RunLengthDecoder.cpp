#include "image/RunLengthDecoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/Exceptions.h"

namespace tlc {

namespace {

// `count` copies of one 4-byte pixel; long runs double what is written.
void Fill(std::uint8_t* out, std::size_t count, const std::uint8_t* pixel) {
    std::memcpy(out, pixel, 4);
    std::size_t done = 1;
    while (done < count) {
        const std::size_t step = std::min(done, count - done);
        std::memcpy(out + done * 4, out, step * 4);
        done += step;
    }
}

} // namespace

PaletteBGRX MakePalette(const std::vector<TColor>& table) {
    PaletteBGRX palette{};
    for (std::size_t i = 0; i < table.size() && i < palette.size(); ++i) {
        palette[i] = {static_cast<std::uint8_t>(BlueOf(table[i])),
                      static_cast<std::uint8_t>(GreenOf(table[i])),
                      static_cast<std::uint8_t>(RedOf(table[i])), 0};
    }
    return palette;
}

PixelBuffer RunLengthDecoder::Decode() {
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    const std::int64_t rows = height_ - base_;
    const std::int64_t blockRows =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(kBlockBytes / rowBytes));
    const std::vector<State> entries = FindBlockEntries(blockRows);
    PixelBuffer pixels;
    try {
        pixels = PixelBuffer::Uninitialised(rowBytes * static_cast<std::size_t>(rows));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    std::size_t at = 0;
    for (std::size_t b = entries.size(); b-- > 0;) {
        const std::int64_t low = base_ + static_cast<std::int64_t>(b) * blockRows;
        const std::int64_t high = std::min(low + blockRows, height_);
        const std::size_t blockBytes = static_cast<std::size_t>(high - low) * rowBytes;
        if (!pixels.MadeZero()) std::memset(pixels.data() + at, 0, blockBytes);
        if (entries[b].row >= 0) DecodeBlock(entries[b], high, pixels.data() + at, rowBytes);
        at += blockBytes;
    }
    return pixels;
}

void RunLengthDecoder::DecodeBlocks(const std::function<void(const std::uint8_t*, std::int64_t)>& block) {
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    const std::int64_t blockRows =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(kBlockBytes / rowBytes));
    const std::vector<State> entries = FindBlockEntries(blockRows);
    std::vector<std::uint8_t> rows;
    for (std::size_t b = entries.size(); b-- > 0;) {
        const std::int64_t low = base_ + static_cast<std::int64_t>(b) * blockRows;
        const std::int64_t high = std::min(low + blockRows, height_);
        if (entries[b].row < 0) {
            block(nullptr, high - low);
            continue;
        }
        try {
            rows.assign(static_cast<std::size_t>(high - low) * rowBytes, 0);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        DecodeBlock(entries[b], high, rows.data(), rowBytes);
        block(rows.data(), high - low);
    }
}

// The state on first entering each block of `blockRows` kept rows. Rows only
// go up, so one pass over the data finds them all.
std::vector<RunLengthDecoder::State> RunLengthDecoder::FindBlockEntries(std::int64_t blockRows) const {
    const auto blockOf = [&](std::int64_t row) { return row < base_ ? -1 : (row - base_) / blockRows; };
    std::vector<State> entries(static_cast<std::size_t>((height_ - base_ + blockRows - 1) / blockRows));
    if (base_ == 0) entries[0] = {0, 0, 0};
    const std::size_t n = data_.size();
    std::size_t i = 0;
    std::int64_t row = 0, x = 0;
    while (i + 1 < n) {
        const unsigned count = data_[i], value = data_[i + 1];
        i += 2;
        if (count > 0) {
            x += count;
            continue;
        }
        if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= n) break;
            x += data_[i];
            const unsigned up = data_[i + 1];
            i += 2;
            if (up == 0) continue;
            const std::int64_t from = row;
            row += up;
            if (row >= height_) break;
            if (blockOf(row) == blockOf(from)) continue;
        } else {
            x += value;
            i += std::min(n - i, AbsoluteBytes(value));
            continue;
        }
        if (row >= height_) break;
        if (row < base_) continue;
        State& entry = entries[static_cast<std::size_t>(blockOf(row))];
        if (entry.row < 0) entry = {i, x, row};
    }
    return entries;
}

// Decodes from `state` until the data leaves the block below `high`; `out`
// holds the block's rows top first (row high - 1 first).
void RunLengthDecoder::DecodeBlock(State state, std::int64_t high, std::uint8_t* out,
                                   std::size_t rowBytes) const {
    const std::size_t n = data_.size();
    std::size_t i = state.offset;
    std::int64_t x = state.x, row = state.row;
    auto rowOut = [&] { return out + static_cast<std::size_t>(high - 1 - row) * rowBytes; };
    while (i + 1 < n && row < high) {
        const unsigned count = data_[i], value = data_[i + 1];
        i += 2;
        if (count > 0) {
            const std::int64_t end = std::min<std::int64_t>(x + count, width_);
            if (x < end) {
                std::uint8_t* line = rowOut();
                if (!nibbles_) {
                    Fill(line + x * 4, static_cast<std::size_t>(end - x), palette_[value].data());
                } else {
                    const unsigned hi = value >> 4, lo = value & 0x0F;
                    for (std::int64_t px = x; px < end; ++px)
                        std::memcpy(line + px * 4, palette_[((px - x) & 1) ? lo : hi].data(), 4);
                }
            }
            x += count;
            continue;
        }
        if (value == 0) {
            x = 0;
            ++row;
            continue;
        }
        if (value == 1) return;
        if (value == 2) {
            if (i + 1 >= n) return;
            x += data_[i];
            row += data_[i + 1];
            i += 2;
            continue;
        }
        const std::size_t used = nibbles_ ? (value + 1) / 2 : value;
        const std::size_t available = std::min(used, n - i);
        const std::size_t given = std::min<std::size_t>(value, nibbles_ ? available * 2 : available);
        const std::int64_t end = std::min<std::int64_t>(x + static_cast<std::int64_t>(given), width_);
        if (x < end) {
            std::uint8_t* line = rowOut();
            const std::uint8_t* src = data_.data() + i;
            for (std::int64_t px = x; px < end; ++px) {
                const std::int64_t k = px - x;
                const unsigned index =
                    nibbles_ ? ((k & 1) ? (src[k >> 1] & 0x0F) : (src[k >> 1] >> 4)) : src[k];
                std::memcpy(line + px * 4, palette_[index].data(), 4);
            }
        }
        x += value;
        i += std::min(n - i, AbsoluteBytes(value));
    }
}

} // namespace tlc
