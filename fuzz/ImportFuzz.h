#pragma once

// Any input must end in a decoded raster or one of the system's errors; the
// raster must hold exactly its rows.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Exceptions.h"
#include "image/Bitmap.h"

template <typename Decode>
int FuzzImportedReader(const std::uint8_t* data, std::size_t size, Decode decode) {
    try {
        auto image = decode(std::span<const std::uint8_t>(data, size));
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
