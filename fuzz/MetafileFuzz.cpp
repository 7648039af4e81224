// Any input must end in a metafile or one of the system's errors.
#include <cstddef>
#include <cstdint>

#include "base/Exceptions.h"
#include "image/MetafileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto image = tlc::DecodeMetafileFile({data, size});
        if (image->Width < 0 || image->Height < 0 || image->Data.size() > size) __builtin_trap();
    } catch (const tlc::Exception&) {
    }
    return 0;
}
