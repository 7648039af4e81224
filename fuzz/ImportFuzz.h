#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "import/ImportedPicture.h"

// Any input must end in a decoded raster or one of the system's errors; the
// raster must hold exactly its rows.
template <typename Decode>
int FuzzImportedDecode(std::span<const std::uint8_t> bytes, Decode decode) {
    try {
        auto image = decode(bytes);
        const std::int32_t w = image->Width(), h = image->AbsHeight();
        if (w <= 0 || h <= 0 || image->BitCount() != 24 ||
            image->Pixels().size() != image->Stride() * static_cast<std::size_t>(h))
            __builtin_trap();
        std::uint32_t sum = 0;
        for (std::int32_t y : {0, h / 2, h - 1})
            for (std::int32_t x : {0, w / 2, w - 1}) sum += image->GetPixel(x, y);
        return static_cast<int>(sum & 0);
    } catch (const tlc::Exception&) {
        return 0;
    }
}

// The reader alone, then the whole import: what the file says besides its
// pixels (EXIF, colour profiles, frames) read from its structure, the turn
// and the colours.
template <typename Decode>
int FuzzImportedReader(const std::uint8_t* data, std::size_t size, Decode decode) {
    const std::span<const std::uint8_t> bytes(data, size);
    const int result = FuzzImportedDecode(bytes, decode);
    if (tlc::SniffImportFormat(bytes) != tlc::ImportFormat::None)
        FuzzImportedDecode(bytes, [](std::span<const std::uint8_t> b) { return tlc::DecodeImportedPicture(b); });
    return result;
}
