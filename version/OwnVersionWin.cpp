// The running program's version resource, through the platform's version API.
#include "version/ElfSection.h"

#include "base/LittleEndian.h"

#include <windows.h>

namespace tlc {

std::optional<std::vector<std::uint8_t>> ReadOwnVersionRecord() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::nullopt;
        if (n < path.size()) break;
        if (path.size() >= 32768) return std::nullopt;
        path.resize(path.size() * 2);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
    if (size == 0 || size > MaxVersionSectionSize) return std::nullopt;
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, block.data())) return std::nullopt;
    // The block's own length word says how much of the buffer is the record.
    const std::size_t length = LoadLE16(block.data());
    if (length < 6 || length > block.size()) return std::nullopt;
    block.resize(length);
    return block;
}

} // namespace tlc
