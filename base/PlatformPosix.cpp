#include "base/MemoryPages.h"
#include "base/Paths.h"
#include "base/PositionalRead.h"
#include "base/ProcessStreams.h"
#include "base/RandomBytes.h"
#include "base/Signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <limits.h>
#include <sys/mman.h>
#if defined(__linux__)
#include <sys/random.h>
#endif
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace tlc {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseBinaryStandardStreams() {}

void PrefaultPages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end <= begin) return;
    // Older systems refuse the advice; the pages then fault in as before.
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#endif
}

void StartWithInterruptsBlocked(const std::function<void()>& start) {
    sigset_t held, before;
    sigemptyset(&held);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, sig);
    ::pthread_sigmask(SIG_BLOCK, &held, &before);
    try {
        start();
    } catch (...) {
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        throw;
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

bool FillRandomBytes([[maybe_unused]] std::uint8_t* data, [[maybe_unused]] std::size_t size) {
#if defined(__linux__)
    while (size > 0) {
        const ssize_t got = ::getrandom(data, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
#else
    return false;
#endif
}

ReadHandle OpenPlainFileForReading(const std::string& utf8Path, std::uint64_t& size) {
    // Non-blocking: a pipe or a device must not hang the open.
    const int fd = ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

void CloseReadHandle(ReadHandle file) {
    if (file >= 0) ::close(static_cast<int>(file));
}

std::int64_t ReadRunsAt(ReadHandle file, std::uint64_t offset, const ByteRun* runs,
                        std::size_t count) {
    // The system fills up to IOV_MAX runs per call, straight from its cache.
    constexpr std::size_t kBatch = IOV_MAX < 1024 ? IOV_MAX : 1024;
    iovec iov[kBatch];
    const std::size_t n = std::min(count, kBatch);
    for (std::size_t k = 0; k < n; ++k) {
        iov[k].iov_base = runs[k].Data;
        iov[k].iov_len = runs[k].Size;
    }
    for (;;) {
        const ssize_t got = ::preadv(static_cast<int>(file), iov, static_cast<int>(n),
                                     static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

std::uint8_t* MapLargePages(std::size_t size) {
    if (size == 0 || size % kLargePage != 0 || size > SIZE_MAX - kLargePage) return nullptr;
    // One large page more than asked, then the unaligned ends given back.
    void* raw = ::mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const auto aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const std::size_t tail = start + kLargePage - aligned; tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<std::uint8_t*>(aligned);
}

void UnmapLargePages(std::uint8_t* data, std::size_t size) {
    if (data) ::munmap(data, size);
}

} // namespace tlc
