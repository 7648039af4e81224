#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/LittleEndian.h"
#include "base/PositionalRead.h"

namespace tlc {

// Largest picture file we read into memory: the largest raster we hold plus
// room for headers, colour tables and trailing bytes.
inline constexpr std::size_t kMaxPictureFileBytes = std::size_t{320} << 20;

// The whole file. EFOpenError "Cannot open file %s" when it cannot be opened
// (missing, a folder, not a plain file), EOutOfResources above
// kMaxPictureFileBytes, EReadError "Stream read error" when reading fails.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName);

// A picture file opened for reading parts of it, with the checks of
// ReadFileBytes, so that a reader can put bytes where they belong instead of
// holding the whole file beside what it builds.
class PictureFile {
public:
    // Opens a plain file; reading more than kMaxPictureFileBytes is the
    // caller's check.
    explicit PictureFile(const std::string& fileName);
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;
    ~PictureFile();

    std::size_t Size() const { return size_; }
    // Consecutive bytes of the file from `offset` into the runs, in order.
    // EReadError when the file has fewer.
    void Gather(std::size_t offset, const ByteRun* runs, std::size_t count) const;
    // Bytes [offset, offset + size).
    std::vector<std::uint8_t> Read(std::size_t offset, std::size_t size) const;

private:
    ReadHandle file_ = -1;
    std::size_t size_ = 0;
};
// Looks at the start of a file and its size, and throws to refuse it before
// the rest is read (a header that claims more than we would ever hold).
using FileHeadCheck = std::function<void(std::span<const std::uint8_t> head, std::uint64_t fileSize)>;

// The same, with the first `headSize` bytes (all of a shorter file) shown to
// `checkHead` first.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t headSize,
                                        const FileHeadCheck& checkHead);

} // namespace tlc
