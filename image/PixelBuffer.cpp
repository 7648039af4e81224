#include "image/PixelBuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#define TLC_SHARED_PIXELS 1
#endif

namespace tlc {

namespace {

// Below this a plain copy costs less than setting up the shared memory.
constexpr std::size_t kSharedFrom = std::size_t{16} << 20;

} // namespace

void PixelBuffer::Allocate(std::size_t size, bool zeroed, bool shareable) {
    if (size == 0) return;
#ifdef TLC_SHARED_PIXELS
    if (size >= kSharedFrom && shareable) {
        // A memory file, so that copies can map the same pages privately.
        const int fd = ::memfd_create("tlc-raster", MFD_CLOEXEC);
        if (fd >= 0) {
            if (::ftruncate(fd, static_cast<off_t>(size)) == 0) {
                // Filled at once: one pass of page allocation instead of a
                // fault per page as the pixels are written.
                void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                                 fd, 0);
                if (p != MAP_FAILED) {
                    data_ = static_cast<std::uint8_t*>(p);
                    size_ = size;
                    fd_ = fd;
                    kind_ = Kind::Shared;
                    return;
                }
            }
            ::close(fd);
        }
        // Without memory files: copies copy everything.
    }
    if (size >= kSharedFrom) {
        // Large pages: a few hundred faults instead of thousands as it is
        // filled. Fresh mappings are zero.
        void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p != MAP_FAILED) {
#ifdef MADV_HUGEPAGE
            ::madvise(p, size, MADV_HUGEPAGE);
#endif
            data_ = static_cast<std::uint8_t*>(p);
            size_ = size;
            kind_ = Kind::Anonymous;
            return;
        }
    }
#endif
    void* p = zeroed ? std::calloc(size, 1) : std::malloc(size);
    if (!p) throw std::bad_alloc();
    data_ = static_cast<std::uint8_t*>(p);
    size_ = size;
    kind_ = Kind::Heap;
}

PixelBuffer PixelBuffer::Uninitialised(std::size_t size, bool shareable) {
    PixelBuffer buffer;
    buffer.Allocate(size, false, shareable);
    return buffer;
}

PixelBuffer PixelBuffer::Zeroed(std::size_t size) {
    PixelBuffer buffer;
    buffer.Allocate(size, true, false);
    return buffer;
}

PixelBuffer::PixelBuffer(const PixelBuffer& other) {
    if (other.size_ == 0) return;
#ifdef TLC_SHARED_PIXELS
    if (other.kind_ == Kind::Shared) {
        void* p = ::mmap(nullptr, other.size_, PROT_READ | PROT_WRITE, MAP_PRIVATE, other.fd_, 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<std::uint8_t*>(p);
            size_ = other.size_;
            kind_ = Kind::Private;
            other.cloned_ = true;
            return;
        }
    }
#endif
    Allocate(other.size_, false, other.kind_ != Kind::Anonymous);
    std::memcpy(data_, other.data_, size_);
}

PixelBuffer& PixelBuffer::operator=(const PixelBuffer& other) {
    if (this != &other) {
        PixelBuffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void PixelBuffer::Release() {
    switch (kind_) {
    case Kind::Heap:
        std::free(data_);
        break;
    case Kind::Anonymous:
    case Kind::Shared:
    case Kind::Private:
#ifdef TLC_SHARED_PIXELS
        ::munmap(data_, size_);
        if (fd_ >= 0) ::close(fd_);
#endif
        break;
    case Kind::None:
        break;
    }
    data_ = nullptr;
    size_ = 0;
    fd_ = -1;
    kind_ = Kind::None;
    cloned_ = false;
}

} // namespace tlc
