// The row operations of TBitmapImage: runs of dots along a row, each giving
// exactly what GetPixel or SetPixel would dot for dot.
#include "image/BitmapImage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/LittleEndian.h"
#include "image/RowLoops.h"

namespace tlc {

namespace {

// 0x00BBGGRR to the bytes B, G, R, 0 of a 32-bit pixel, as one word.
inline std::uint32_t ToBGRX(TColor c) {
    return static_cast<std::uint32_t>(BlueOf(c)) | (static_cast<std::uint32_t>(GreenOf(c)) << 8) |
           (static_cast<std::uint32_t>(RedOf(c)) << 16);
}

// The dots of a 1-bit byte, one byte each: 1 where the bit is set, the
// first dot (bit 7) first.
constexpr std::array<std::array<std::uint8_t, 8>, 256> SpreadBits() {
    std::array<std::array<std::uint8_t, 8>, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k) table[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>((b >> (7 - k)) & 1);
    return table;
}
constexpr auto kSpreadBits = SpreadBits();

} // namespace

TBitmapImage::ChannelTables TBitmapImage::ChannelTables::AtMost(std::int32_t red, std::int32_t green,
                                                              std::int32_t blue) {
    ChannelTables t;
    for (int v = 0; v < 256; ++v) {
        t.Red[v] = v <= red ? 1 : 0;
        t.Green[v] = v <= green ? 1 : 0;
        t.Blue[v] = v <= blue ? 1 : 0;
    }
    const auto inByte = [](std::int32_t limit) { return limit >= 0 && limit <= 255; };
    t.Limits = inByte(red) && inByte(green) && inByte(blue);
    t.RedLimit = static_cast<std::uint8_t>(std::clamp(red, 0, 255));
    t.GreenLimit = static_cast<std::uint8_t>(std::clamp(green, 0, 255));
    t.BlueLimit = static_cast<std::uint8_t>(std::clamp(blue, 0, 255));
    return t;
}

void TBitmapImage::ClassifyRow(std::int32_t x, std::int32_t y, std::int32_t count,
                               const ChannelTables& t, std::uint8_t* out) const {
    const auto classify = [&t](TColor c) {
        return static_cast<std::uint8_t>(t.Red[RedOf(c)] | t.Green[GreenOf(c)] | t.Blue[BlueOf(c)]);
    };
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) {
        std::fill(out, out + std::max(count, 0), classify(clNone));
        return;
    }
    std::fill(out, out + (first - x), classify(clNone));
    std::fill(out + (end - x), out + count, classify(clNone));
    std::uint8_t* o = out + (first - x);
    const std::int32_t n = end - first;
    const std::uint8_t* row = Row(y);
    switch (format_.BitCount) {
    case 24: {
        const std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (t.Limits) return DarkDots3(p, o, n, t.BlueLimit, t.GreenLimit, t.RedLimit);
        for (std::int32_t i = 0; i < n; ++i, p += 3)
            o[i] = static_cast<std::uint8_t>(t.Blue[p[0]] | t.Green[p[1]] | t.Red[p[2]]);
        return;
    }
    case 32:
        if (!masked_) {
            const std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
            if (t.Limits) return DarkDots4(p, o, n, t.BlueLimit, t.GreenLimit, t.RedLimit);
            for (std::int32_t i = 0; i < n; ++i, p += 4)
                o[i] = static_cast<std::uint8_t>(t.Blue[p[0]] | t.Green[p[1]] | t.Red[p[2]]);
            return;
        }
        break;
    case 8:
    case 4:
    case 1: {
        // Each table colour once, then one look-up per dot.
        std::uint8_t byIndex[256];
        const int entries = 1 << format_.BitCount;
        for (int k = 0; k < entries; ++k) byIndex[k] = classify(lookup_[static_cast<std::size_t>(k)]);
        if (format_.BitCount == 8) {
            const std::uint8_t* p = row + first;
            for (std::int32_t i = 0; i < n; ++i) o[i] = byIndex[p[i]];
        } else if (format_.BitCount == 4) {
            for (std::int32_t i = 0; i < n; ++i) {
                const std::int32_t px = first + i;
                o[i] = byIndex[(row[px >> 1] >> ((px & 1) ? 0 : 4)) & 0x0F];
            }
        } else {
            const auto dot = [&](std::int32_t i) {
                const std::int32_t px = first + i;
                o[i] = byIndex[(row[px >> 3] >> (7 - (px & 7))) & 1];
            };
            std::int32_t i = 0;
            for (; i < n && ((first + i) & 7) != 0; ++i) dot(i);
            // Whole bytes: eight dots at once, each 0 or 1 spread to a byte
            // and scaled to its class (no carries: both are at most 255).
            const std::uint64_t dark = byIndex[1], light = byIndex[0];
            for (; i + 8 <= n; i += 8) {
                std::uint64_t ones;
                std::memcpy(&ones, kSpreadBits[row[(first + i) >> 3]].data(), 8);
                const std::uint64_t eight = ones * dark + (0x0101010101010101ull - ones) * light;
                std::memcpy(o + i, &eight, 8);
            }
            for (; i < n; ++i) dot(i);
        }
        return;
    }
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i) o[i] = classify(GetPixel(first + i, y));
}

void TBitmapImage::NonBlackRow(std::int32_t x, std::int32_t y, std::int32_t count,
                               std::uint8_t* out) const {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) {
        std::fill(out, out + std::max(count, 0), std::uint8_t{1});
        return;
    }
    std::fill(out, out + (first - x), std::uint8_t{1});
    std::fill(out + (end - x), out + count, std::uint8_t{1});
    std::uint8_t* o = out + (first - x);
    const std::int32_t n = end - first;
    const std::uint8_t* row = Row(y);
    if (format_.BitCount == 32 && !masked_) {
        const std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
        for (std::int32_t i = 0; i < n; ++i)
            o[i] = (LoadLE32(p + 4 * i) & 0x00FFFFFFu) != 0 ? 1 : 0;
        return;
    }
    if (format_.BitCount == 24) {
        NonBlack24(row + static_cast<std::size_t>(first) * 3, o, n);
        return;
    }
    // Other formats: what every channel test gives.
    ChannelTables lit;
    for (int v = 0; v < 256; ++v) lit.Red[v] = lit.Green[v] = lit.Blue[v] = v != 0 ? 1 : 0;
    ClassifyRow(first, y, n, lit, o);
}

void TBitmapImage::StoreWhere(std::int32_t x, std::int32_t y, std::int32_t count,
                              const std::uint8_t* flags, TColor c) {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) return;
    const std::uint8_t* f = flags + (first - x);
    const std::int32_t n = end - first;
    std::uint8_t* row = Row(y);
    // As StoreGrey24: every dot written, no branch.
    switch (format_.BitCount) {
    case 24: {
        const auto b = static_cast<std::uint8_t>(BlueOf(c)), g = static_cast<std::uint8_t>(GreenOf(c)),
                   r = static_cast<std::uint8_t>(RedOf(c));
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (b == g && g == r) return StoreGrey24(p, f, n, b); // black, white, greys
        for (std::int32_t i = 0; i < n; ++i, p += 3) {
            const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
            p[0] = static_cast<std::uint8_t>((p[0] & ~m) | (b & m));
            p[1] = static_cast<std::uint8_t>((p[1] & ~m) | (g & m));
            p[2] = static_cast<std::uint8_t>((p[2] & ~m) | (r & m));
        }
        return;
    }
    case 32:
    case 16: {
        const std::uint32_t v = masked_ ? ToMasked(c) : ToBGRX(c);
        if (format_.BitCount == 16) {
            std::uint8_t* p = row + static_cast<std::size_t>(first) * 2;
            for (std::int32_t i = 0; i < n; ++i) {
                const auto m = static_cast<std::uint16_t>(-(f[i] != 0));
                const auto old = static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
                const auto w = static_cast<std::uint16_t>((old & ~m) | (v & m));
                p[2 * i] = static_cast<std::uint8_t>(w);
                p[2 * i + 1] = static_cast<std::uint8_t>(w >> 8);
            }
            return;
        }
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
        for (std::int32_t i = 0; i < n; ++i) {
            const std::uint32_t m = 0u - static_cast<std::uint32_t>(f[i] != 0);
            StoreLE32(p + 4 * i, (LoadLE32(p + 4 * i) & ~m) | (v & m));
        }
        return;
    }
    case 8: {
        const auto v = static_cast<std::uint8_t>(NearestIndex(c));
        std::uint8_t* p = row + first;
        for (std::int32_t i = 0; i < n; ++i) {
            const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
            p[i] = static_cast<std::uint8_t>((p[i] & ~m) | (v & m));
        }
        return;
    }
    case 1: {
        const unsigned v = NearestIndex(c);
        if (v > 1) break;
        std::int32_t i = 0;
        for (; i < n && ((first + i) & 7) != 0; ++i)
            if (f[i]) SetPixel(first + i, y, c);
        // Whole bytes: the eight flags as a mask of bits, the first to bit 7.
        for (; i + 8 <= n; i += 8) {
            unsigned m = 0;
            for (int k = 0; k < 8; ++k) m |= (f[i + k] != 0 ? 0x80u : 0u) >> k;
            std::uint8_t& b = row[(first + i) >> 3];
            b = static_cast<std::uint8_t>((b & ~m) | (v != 0 ? m : 0u));
        }
        for (; i < n; ++i)
            if (f[i]) SetPixel(first + i, y, c);
        return;
    }
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i)
        if (f[i]) SetPixel(first + i, y, c);
}

void TBitmapImage::FillRow(std::int32_t x, std::int32_t y, std::int32_t count, TColor c) {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) return;
    const std::int32_t n = end - first;
    std::uint8_t* row = Row(y);
    switch (format_.BitCount) {
    case 24: {
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (BlueOf(c) == GreenOf(c) && GreenOf(c) == RedOf(c)) {
            std::memset(p, BlueOf(c), static_cast<std::size_t>(n) * 3);
            return;
        }
        for (std::int32_t i = 0; i < n; ++i, p += 3) {
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
        }
        return;
    }
    case 32:
        if (!masked_) {
            const std::uint32_t v = ToBGRX(c);
            std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
            for (std::int32_t i = 0; i < n; ++i) StoreLE32(p + 4 * i, v);
            return;
        }
        break;
    case 8:
        std::memset(row + first, NearestIndex(c), static_cast<std::size_t>(n));
        return;
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i) SetPixel(first + i, y, c);
}

} // namespace tlc
