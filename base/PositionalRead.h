#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tlc {

// One run of bytes of memory to fill.
struct ByteRun {
    std::uint8_t* Data;
    std::size_t Size;
};

// A plain file (not a folder, pipe or device) opened for reading at any
// offset; -1 when it cannot be opened or is not a plain file. Opening never
// waits on a pipe or a device.
using ReadHandle = std::intptr_t;
ReadHandle OpenPlainFileForReading(const std::string& utf8Path, std::uint64_t& size);
void CloseReadHandle(ReadHandle file);
// Reads consecutive bytes from `offset` into the runs in order, in one call
// where the system allows: the bytes read (fewer at the end of the file or
// when the system stops early), or -1 on an error. Threads may read one file
// at once.
std::int64_t ReadRunsAt(ReadHandle file, std::uint64_t offset, const ByteRun* runs,
                        std::size_t count);

} // namespace tlc
