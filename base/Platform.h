#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tlc {

// The few steps that differ between Linux and Windows, one implementation per
// platform (PlatformPosix.cpp, PlatformWin.cpp). Paths are UTF-8 throughout
// the program; only these functions meet the system's own encoding.

// A path from UTF-8 bytes, and back. A std::string alone would be read in the
// Windows ANSI code page, losing every character outside it.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// The program's arguments (without its name) in UTF-8; Windows hands them over
// in the ANSI code page unless asked for the wide ones.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard input and output carry pictures and logo files: no line-end
// translation.
void UseBinaryStandardStreams();

// A raster of many megabytes is touched page by page as it is filled; large
// pages make that a few hundred faults instead of thousands. A hint only.
void AdviseHugePages(void* data, std::size_t bytes);
// Maps every page of a fresh buffer that is about to be written in one go,
// rather than one fault per page as the writes reach it.
void PrefaultPages(void* data, std::size_t bytes);

// Runs `start` with Ctrl-C, hang-up and termination blocked, so that the
// threads it starts inherit that and leave those signals to the thread that
// holds them back around a save (a signal goes to any thread not blocking it).
void StartWithInterruptsBlocked(const std::function<void()>& start);

// Fills `size` bytes from the system's source of unpredictable bytes; false
// where it has none to give.
bool FillRandomBytes(std::uint8_t* data, std::size_t size);

// A batch frees one picture's rasters and asks for the same sizes for the
// next: keep freed memory in the process instead of handing it back.
void KeepFreedMemoryForReuse();

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

// Memory whose copies share its pages until they write. Where the system has
// no such memory these fail, and callers fall back to the heap.
struct SharedPages {
    std::uint8_t* Data = nullptr;
    std::intptr_t Handle = -1;
};
// `size` bytes of zero; false when unavailable. A page comes into being when
// first written, through the mapping or through WriteSharedPages.
bool MapSharablePages(std::size_t size, SharedPages& pages);
// Bytes from memory, one run after another, into the pages behind `handle`
// from `offset`: the system puts them straight into new pages instead of
// clearing each page first only for it to be overwritten. False when it
// cannot (no memory left).
struct ConstByteRun {
    const std::uint8_t* Data;
    std::size_t Size;
};
bool WriteSharedPages(std::intptr_t handle, std::uint64_t offset, const ConstByteRun* runs,
                      std::size_t count);

// Steps `bytes` on through consecutive runs, where `next` is the first run
// not yet whole and `done` the bytes of it behind; empty runs are stepped over.
template <class Run>
void AdvanceRuns(const Run* runs, std::size_t count, std::size_t bytes, std::size_t& next, std::size_t& done) {
    while (bytes > 0) {
        const std::size_t want = runs[next].Size - done;
        if (bytes < want) {
            done += bytes;
            return;
        }
        bytes -= want;
        done = 0;
        ++next;
    }
    while (next < count && runs[next].Size == 0) ++next;
}
// A copy-on-write view of the pages behind `handle`; nullptr when unavailable.
std::uint8_t* MapPrivateCopy(std::intptr_t handle, std::size_t size);
// `size` bytes of fresh zero pages with the large-page hint; nullptr when
// unavailable.
std::uint8_t* MapZeroPages(std::size_t size);
// The size of a large page, and `size` bytes (a multiple of it) of fresh
// zero pages aligned to one, so that each fills with one fault; nullptr when
// unavailable.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;
std::uint8_t* MapLargePages(std::size_t size);
// Whether KeepFreedMemoryForReuse was asked for.
bool FreedMemoryKept();
// Undoes any of the four; `handle` is -1 for all but MapSharablePages'.
void UnmapPages(std::uint8_t* data, std::size_t size, std::intptr_t handle);

} // namespace tlc
