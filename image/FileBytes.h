#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tlc {

// Largest picture file we read into memory: the largest raster we hold plus
// room for headers, colour tables and trailing bytes.
inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{320} << 20;

// The whole file. EFOpenError "Cannot open file %s" when it cannot be opened
// (missing, a folder, not a plain file), EOutOfResources above
// kMaxPictureFileBytes, EReadError "Stream read error" when reading fails.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName);

// Looks at the start of a file and its size, and throws to refuse it before
// the rest is read (a header that claims more than we would ever hold).
using FileHeadCheck = std::function<void(std::span<const std::uint8_t> head, std::uint64_t fileSize)>;

// The same, with the first `headSize` bytes (all of a shorter file) shown to
// `checkHead` first.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t headSize,
                                        const FileHeadCheck& checkHead);

// Little-endian fields, read one by one from bytes; the caller checks the
// bounds.
inline std::uint16_t LoadLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t LoadLE32Signed(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLE32(p));
}
inline std::int16_t LoadLE16Signed(const std::uint8_t* p) {
    return static_cast<std::int16_t>(LoadLE16(p));
}

} // namespace tlc
