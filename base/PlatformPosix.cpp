#include "base/Platform.h"

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
#include <atomic>
#include <cerrno>
#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tlc {

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseBinaryStandardStreams() {}

void AdviseHugePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (bytes < 8 * kHuge) return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

void PrefaultPages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
    if (end <= begin) return;
    // Memory the heap hands back is mapped already, and walking its pages
    // again costs a fifth of filling them: one look at the last page tells.
    unsigned char resident = 0;
    if (::mincore(reinterpret_cast<void*>(end - page), page, &resident) == 0 && (resident & 1)) return;
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

namespace {
std::atomic<bool> freedMemoryKept{false};
} // namespace

bool FreedMemoryKept() {
    return freedMemoryKept.load(std::memory_order_relaxed);
}

void KeepFreedMemoryForReuse() {
    freedMemoryKept = true;
#if defined(__GLIBC__)
    // Faulting the same sizes in again page by page is five times the work
    // per picture. Rasters of 16 MiB and more are mapped on their own anyway.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
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

bool MapSharablePages(std::size_t size, SharedPages& pages) {
#if defined(__linux__)
    // A memory file, so that copies can map the same pages privately.
    const int fd = ::memfd_create("tlc-raster", MFD_CLOEXEC);
    if (fd < 0) return false;
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0) {
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) {
            pages.Data = static_cast<std::uint8_t*>(p);
            pages.Handle = fd;
            return true;
        }
    }
    ::close(fd);
#else
    (void)size;
    (void)pages;
#endif
    return false;
}

bool WriteSharedPages(std::intptr_t handle, std::uint64_t offset, const ConstByteRun* runs,
                      std::size_t count) {
    constexpr std::size_t kBatch = IOV_MAX < 1024 ? IOV_MAX : 1024;
    iovec iov[kBatch];
    std::size_t next = 0; // first run not yet whole
    std::size_t done = 0; // bytes of it already written
    while (next < count) {
        std::size_t n = 0;
        for (std::size_t k = next; k < count && n < kBatch; ++k, ++n) {
            const std::size_t skip = k == next ? done : 0;
            iov[n].iov_base = const_cast<std::uint8_t*>(runs[k].Data + skip);
            iov[n].iov_len = runs[k].Size - skip;
        }
        const ssize_t put = ::pwritev(static_cast<int>(handle), iov, static_cast<int>(n),
                                      static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        offset += static_cast<std::uint64_t>(put);
        AdvanceRuns(runs, count, static_cast<std::size_t>(put), next, done);
    }
    return true;
}

std::uint8_t* MapPrivateCopy(std::intptr_t handle, std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, static_cast<int>(handle), 0);
    return p == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(p);
}

std::uint8_t* MapZeroPages(std::size_t size) {
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    AdviseHugePages(p, size);
    return static_cast<std::uint8_t*>(p);
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

void UnmapPages(std::uint8_t* data, std::size_t size, std::intptr_t handle) {
    if (data) ::munmap(data, size);
    if (handle >= 0) ::close(static_cast<int>(handle));
}

} // namespace tlc
