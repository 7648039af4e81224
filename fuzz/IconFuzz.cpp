// Any input must end in an icon or one of the system's errors.
#include <cstddef>
#include <cstdint>

#include "base/Exceptions.h"
#include "image/IconFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto image = tlc::DecodeIconFile({data, size});
        if (image->Width <= 0 || image->Height <= 0 || image->Bytes.size() != size)
            __builtin_trap();
    } catch (const tlc::Exception&) {
    }
    return 0;
}
