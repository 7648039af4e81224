#pragma once

// Builds bitmap files in memory for tests and benchmarks, field by field,
// including deliberately damaged ones.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "base/Types.h"
#include "image/Bitmap.h"

namespace tlc::test {

inline void PutLE16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}
inline void SetLE32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k)
        out[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

struct BitmapLayout {
    std::int32_t Width = 4;
    std::int32_t Height = 2;       // negative: rows stored top row first
    std::uint32_t HeaderSize = 40; // 12 (core), 40, 52, 56, 108, 124, or anything to test
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = BI_RGB;
    std::optional<std::uint32_t> SizeImage; // default: the pixel bytes written
    std::int32_t XPelsPerMeter = 2835;
    std::int32_t YPelsPerMeter = 2835;
    std::optional<std::uint32_t> ClrUsed; // default: the table's size (0 for core)
    std::uint32_t ClrImportant = 0;
    std::vector<std::uint32_t> Masks; // written after a 40-byte header, or inside a longer one
    std::vector<TColor> Table;        // written as given
    std::size_t Gap = 0;              // bytes of 0xEE between table and pixels
    std::optional<std::uint32_t> PixelOffset; // default: where the pixels are
    std::vector<std::uint8_t> Pixels;         // file order, rows padded
    char Signature[2] = {'B', 'M'};
};

inline std::vector<std::uint8_t> WriteBitmap(const BitmapLayout& s) {
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(s.Signature[0]));
    out.push_back(static_cast<std::uint8_t>(s.Signature[1]));
    PutLE32(out, 0); // file size, set below
    PutLE32(out, 0);
    PutLE32(out, 0); // pixel offset, set below
    const bool core = s.HeaderSize == 12;
    PutLE32(out, s.HeaderSize);
    if (core) {
        PutLE16(out, static_cast<std::uint32_t>(s.Width));
        PutLE16(out, static_cast<std::uint32_t>(s.Height));
        PutLE16(out, s.Planes);
        PutLE16(out, s.BitCount);
    } else {
        const std::size_t start = out.size() - 4;
        PutLE32(out, static_cast<std::uint32_t>(s.Width));
        PutLE32(out, static_cast<std::uint32_t>(s.Height));
        PutLE16(out, s.Planes);
        PutLE16(out, s.BitCount);
        PutLE32(out, s.Compression);
        PutLE32(out, s.SizeImage.value_or(static_cast<std::uint32_t>(s.Pixels.size())));
        PutLE32(out, static_cast<std::uint32_t>(s.XPelsPerMeter));
        PutLE32(out, static_cast<std::uint32_t>(s.YPelsPerMeter));
        PutLE32(out, s.ClrUsed.value_or(static_cast<std::uint32_t>(s.Table.size())));
        PutLE32(out, s.ClrImportant);
        if (s.HeaderSize > 40) {
            // An absurd header size is only declared, not written out.
            const std::size_t written = std::min<std::size_t>(s.HeaderSize, 4096);
            for (std::size_t k = 0; k < s.Masks.size() && out.size() - start < written; ++k)
                PutLE32(out, s.Masks[k]);
            while (out.size() - start < written)
                out.push_back(0);
        } else {
            for (std::uint32_t m : s.Masks)
                PutLE32(out, m);
        }
    }
    for (TColor c : s.Table) {
        out.push_back(static_cast<std::uint8_t>(BlueOf(c)));
        out.push_back(static_cast<std::uint8_t>(GreenOf(c)));
        out.push_back(static_cast<std::uint8_t>(RedOf(c)));
        if (!core) out.push_back(0);
    }
    out.insert(out.end(), s.Gap, 0xEE);
    const std::size_t pixelStart = out.size();
    out.insert(out.end(), s.Pixels.begin(), s.Pixels.end());
    SetLE32(out, 2, static_cast<std::uint32_t>(out.size()));
    SetLE32(out, 10, s.PixelOffset.value_or(static_cast<std::uint32_t>(pixelStart)));
    return out;
}

// Rows of raw pixel values (a table index, a 16- or 32-bit word, or 0xRRGGBB
// for 24 bits) in file order: bottom row first unless `topDown`.
inline std::vector<std::uint8_t> PackRows(std::int32_t width, std::int32_t height, int bitCount,
                                          bool topDown,
                                          const std::function<std::uint32_t(int, int)>& value) {
    const std::size_t stride =
        ((static_cast<std::size_t>(width) * bitCount + 31) & ~std::size_t{31}) / 8;
    std::vector<std::uint8_t> out(stride * static_cast<std::size_t>(height), 0);
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int y = topDown ? fileRow : height - 1 - fileRow;
        std::uint8_t* row = out.data() + static_cast<std::size_t>(fileRow) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = value(x, y);
            switch (bitCount) {
            case 1:
                row[x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<std::uint8_t>((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<std::uint8_t>(v);
                break;
            case 16:
                row[2 * x] = static_cast<std::uint8_t>(v);
                row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            case 24:
                row[3 * x] = static_cast<std::uint8_t>(v);           // blue
                row[3 * x + 1] = static_cast<std::uint8_t>(v >> 8);  // green
                row[3 * x + 2] = static_cast<std::uint8_t>(v >> 16); // red
                break;
            default:
                for (int k = 0; k < 4; ++k)
                    row[4 * x + k] = static_cast<std::uint8_t>(v >> (8 * k));
            }
        }
    }
    return out;
}

// 8-bit run-length data, bottom row first: runs of equal indices (up to 255),
// absolute runs for stretches of at least three differing ones, end of line
// after every row, end of bitmap at the end.
inline std::vector<std::uint8_t> EncodeRle8(std::int32_t width, std::int32_t height,
                                            const std::function<std::uint8_t(int, int)>& index) {
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
    for (int fileRow = 0; fileRow < height; ++fileRow) {
        const int y = height - 1 - fileRow;
        for (int x = 0; x < width; ++x)
            row[x] = index(x, y);
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 255 && row[x + run] == row[x])
                ++run;
            if (run >= 2) {
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(row[x]);
                x += run;
                continue;
            }
            // Collect differing pixels until a pair repeats.
            int lit = 1;
            while (x + lit < width && lit < 255 &&
                   !(x + lit + 1 < width && row[x + lit] == row[x + lit + 1]))
                ++lit;
            if (lit < 3) {
                for (int k = 0; k < lit; ++k) {
                    out.push_back(1);
                    out.push_back(row[x + k]);
                }
            } else {
                out.push_back(0);
                out.push_back(static_cast<std::uint8_t>(lit));
                out.insert(out.end(), row.begin() + x, row.begin() + x + lit);
                if (lit % 2) out.push_back(0);
            }
            x += lit;
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

} // namespace tlc::test
