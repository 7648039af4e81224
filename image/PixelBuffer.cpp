#include "image/PixelBuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#include "base/Platform.h"

namespace tlc {

namespace {

// Below this a plain copy costs less than setting up the shared memory.
constexpr std::size_t kSharedFrom = std::size_t{16} << 20;
// From here a buffer's pages are mapped at once: a 600 x 600 raster would
// otherwise fault in 264 times.
constexpr std::size_t kPrefaultFrom = std::size_t{256} << 10;

} // namespace

void PixelBuffer::Allocate(std::size_t size, bool zeroed, bool shareable) {
    if (size == 0) return;
    if (size >= kSharedFrom && shareable) {
        SharedPages pages;
        if (MapSharablePages(size, pages)) {
            data_ = pages.Data;
            size_ = size;
            fd_ = pages.Handle;
            kind_ = Kind::Shared;
            return;
        }
        // Without such memory: copies copy everything.
    }
    if (size >= kSharedFrom) {
        // Fresh zero pages with the large-page hint: a few hundred faults
        // instead of thousands as it is filled.
        if (std::uint8_t* p = MapZeroPages(size)) {
            data_ = p;
            size_ = size;
            kind_ = Kind::Anonymous;
            return;
        }
    }
    void* p = zeroed ? std::calloc(size, 1) : std::malloc(size);
    if (!p) throw std::bad_alloc();
    if (size >= kPrefaultFrom) PrefaultPages(p, size);
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
    if (other.kind_ == Kind::Shared) {
        if (std::uint8_t* p = MapPrivateCopy(other.fd_, other.size_)) {
            data_ = p;
            size_ = other.size_;
            kind_ = Kind::Private;
            other.cloned_ = true;
            return;
        }
    }
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
        UnmapPages(data_, size_, fd_);
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
