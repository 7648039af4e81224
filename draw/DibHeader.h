#pragma once

#include <cstdint>
#include <span>

#include "base/LittleEndian.h"

namespace tlc::gdi {

// The fields of a device-independent bitmap's header that the players and
// the device context check before they trust its sizes.
struct DibHeader {
    std::uint32_t HeaderBytes = 0;
    std::int64_t Width = 0, Height = 0; // height < 0: rows top first
    std::uint32_t BitCount = 0;
    std::uint32_t Compression = 0; // BI_RGB for the old core header
    std::uint32_t ImageBytes = 0;
    std::uint32_t ColoursUsed = 0;
    std::uint32_t EntryBytes = 4; // a colour table entry: 3 after the core header
};

// False unless bytes start with a core header (12 bytes) or an info header
// of 40 bytes or more that lies within them.
inline bool ReadDibHeader(std::span<const std::uint8_t> bytes, DibHeader& h) {
    if (bytes.size() < 12) return false;
    const std::uint8_t* b = bytes.data();
    h = DibHeader{};
    h.HeaderBytes = LoadLE32(b);
    if (h.HeaderBytes == 12) {
        h.Width = LoadLE16(b + 4);
        h.Height = LoadLE16(b + 6);
        h.BitCount = LoadLE16(b + 10);
        h.EntryBytes = 3;
        return true;
    }
    if (h.HeaderBytes < 40 || h.HeaderBytes > bytes.size()) return false;
    h.Width = LoadLE32Signed(b + 4);
    h.Height = LoadLE32Signed(b + 8);
    h.BitCount = LoadLE16(b + 14);
    h.Compression = LoadLE32(b + 16);
    h.ImageBytes = LoadLE32(b + 20);
    h.ColoursUsed = LoadLE32(b + 32);
    return true;
}

} // namespace tlc::gdi
