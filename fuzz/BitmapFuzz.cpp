// Any input must end in a decoded raster or one of the system's errors.
#include <cstddef>
#include <cstdint>

#include "base/Exceptions.h"
#include "image/BitmapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto image = tlc::DecodeBitmapFile({data, size});
        // Read a few pixels through every format path, corners included.
        const std::int32_t w = image->Width(), h = image->AbsHeight();
        std::uint32_t sum = 0;
        for (std::int32_t y : {0, h / 2, h - 1})
            for (std::int32_t x : {0, w / 2, w - 1})
                sum += image->GetPixel(x, y);
        if (image->HasRaster() &&
            image->Pixels().size() != image->Stride() * static_cast<std::size_t>(h))
            __builtin_trap();
        return static_cast<int>(sum & 0);
    } catch (const tlc::Exception&) {
        return 0;
    }
}
