#include "image/PixelBuffer.h"

#include <cstdlib>
#include <new>
#include <utility>

#include "base/MemoryPages.h"

namespace tlc {

namespace {

// From here a heap buffer's pages are mapped at once rather than one fault
// per page as the writes reach them.
constexpr std::size_t kPrefaultFrom = std::size_t{256} << 10;
// From here a buffer takes large pages: at most one large page of address
// space more (untouched pages cost no memory), and no step at any larger size.
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

std::size_t LargeLength(std::size_t size) {
    return (size + kLargePage - 1) / kLargePage * kLargePage;
}

} // namespace

void PixelBuffer::Allocate(std::size_t size, bool zeroed) {
    if (size == 0) return;
    if (size >= kLargeFrom && size <= SIZE_MAX - 2 * kLargePage) {
        if (std::uint8_t* p = MapLargePages(LargeLength(size))) {
            data_ = p;
            size_ = size;
            mapped_ = true;
            madeZero_ = true;
            return;
        }
        // Without such pages: the heap.
    }
    void* p = zeroed ? std::calloc(size, 1) : std::malloc(size);
    if (!p) throw std::bad_alloc();
    if (size >= kPrefaultFrom) PrefaultPages(p, size);
    data_ = static_cast<std::uint8_t*>(p);
    size_ = size;
    madeZero_ = zeroed;
}

PixelBuffer PixelBuffer::Uninitialised(std::size_t size) {
    PixelBuffer buffer;
    buffer.Allocate(size, false);
    return buffer;
}

PixelBuffer PixelBuffer::Zeroed(std::size_t size) {
    PixelBuffer buffer;
    buffer.Allocate(size, true);
    return buffer;
}

PixelBuffer::PixelBuffer(const PixelBuffer& other) {
    if (other.size_ == 0) return;
    Allocate(other.size_, false);
    std::memcpy(data_, other.data_, size_);
    madeZero_ = false;
}

PixelBuffer& PixelBuffer::operator=(const PixelBuffer& other) {
    if (this != &other) {
        PixelBuffer copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void PixelBuffer::Release() {
    if (mapped_)
        UnmapLargePages(data_, LargeLength(size_));
    else
        std::free(data_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    madeZero_ = false;
}

} // namespace tlc
