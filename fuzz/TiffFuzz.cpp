#include "fuzz/ImportFuzz.h"
#include "import/ImportedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzImportedReader(data, size, [](std::span<const std::uint8_t> bytes) {
        return tlc::DecodeTiffFile(bytes);
    });
}
