#include "base/MemoryPages.h"
#include "base/Paths.h"
#include "base/PositionalRead.h"
#include "base/ProcessStreams.h"
#include "base/RandomBytes.h"
#include "base/Signals.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>
#include <shellapi.h>

namespace tlc {

namespace {

std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

std::string Utf8(const wchar_t* wide) {
    return Utf8FromPath(std::filesystem::path(wide));
}

} // namespace

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return ::_wfopen(Wide(utf8Path).c_str(), Wide(mode).c_str());
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

void UseBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

void PrefaultPages(void*, std::size_t) {}

// The console's control handler is the whole process's.
void StartWithInterruptsBlocked(const std::function<void()>& start) {
    start();
}

bool FillRandomBytes(std::uint8_t*, std::size_t) { return false; }
// Rasters live on the heap here.
std::uint8_t* MapLargePages(std::size_t) { return nullptr; }
void UnmapLargePages(std::uint8_t*, std::size_t) {}

ReadHandle OpenPlainFileForReading(const std::string& utf8Path, std::uint64_t& size) {
    const int fd = ::_wopen(Wide(utf8Path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) return -1;
    struct _stat64 st {};
    if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        ::_close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

void CloseReadHandle(ReadHandle file) {
    if (file >= 0) ::_close(static_cast<int>(file));
}

std::int64_t ReadRunsAt(ReadHandle file, std::uint64_t offset, const ByteRun* runs,
                        std::size_t count) {
    // Each read names its own offset, so that two threads may read one file
    // at once (a seek and a read would race).
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(static_cast<int>(file)));
    if (handle == INVALID_HANDLE_VALUE) return -1;
    std::int64_t total = 0;
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t done = 0;
        while (done < runs[k].Size) {
            const std::size_t left = runs[k].Size - done;
            const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            if (!::ReadFile(handle, runs[k].Data + done, chunk, &got, &at))
                return ::GetLastError() == ERROR_HANDLE_EOF || total > 0 ? total : -1;
            if (got == 0) return total;
            done += got;
            offset += got;
            total += got;
        }
    }
    return total;
}

} // namespace tlc
