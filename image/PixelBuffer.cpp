#include "image/PixelBuffer.h"

#include <array>
#include <cstdlib>
#include <mutex>
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
// From here up to kSharedFrom a buffer takes whole large pages in a process
// that keeps freed memory: one fault each instead of hundreds, for at most
// one large page of address space more (untouched pages cost no memory).
constexpr std::size_t kLargeFrom = std::size_t{1} << 20;

std::size_t LargeLength(std::size_t size) {
    return (size + kLargePage - 1) / kLargePage * kLargePage;
}

// Large-page buffers freed in a process that keeps freed memory (a batch
// asks for the same sizes picture after picture); a few, by length.
class FreedLargePages {
public:
    std::uint8_t* Take(std::size_t length) {
        std::lock_guard<std::mutex> guard(lock_);
        for (std::size_t i = 0; i < count_; ++i)
            if (kept_[i].second == length) {
                std::uint8_t* p = kept_[i].first;
                kept_[i] = kept_[--count_];
                return p;
            }
        return nullptr;
    }
    bool Keep(std::uint8_t* p, std::size_t length) {
        std::lock_guard<std::mutex> guard(lock_);
        if (count_ == kept_.size()) return false;
        kept_[count_++] = {p, length};
        return true;
    }

private:
    std::mutex lock_;
    std::array<std::pair<std::uint8_t*, std::size_t>, 8> kept_{};
    std::size_t count_ = 0;
};

FreedLargePages& Freed() {
    static FreedLargePages* freed = new FreedLargePages; // outlives every buffer
    return *freed;
}

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
            madeZero_ = true;
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
            madeZero_ = true;
            return;
        }
    }
    // Only where freed memory is kept: elsewhere the heap hands a freed
    // raster's memory to the next one, already mapped, which beats any fault.
    if (size >= kLargeFrom && FreedMemoryKept()) {
        const std::size_t length = LargeLength(size);
        std::uint8_t* p = Freed().Take(length);
        if (p && zeroed) std::memset(p, 0, size);
        const bool fresh = !p;
        if (!p) p = MapLargePages(length);
        if (p) {
            data_ = p;
            size_ = size;
            kind_ = Kind::Large;
            madeZero_ = fresh || zeroed;
            return;
        }
    }
    void* p = zeroed ? std::calloc(size, 1) : std::malloc(size);
    if (!p) throw std::bad_alloc();
    if (size >= kPrefaultFrom) PrefaultPages(p, size);
    data_ = static_cast<std::uint8_t*>(p);
    size_ = size;
    kind_ = Kind::Heap;
    madeZero_ = zeroed;
}

void PixelBuffer::Put(const Piece* pieces, std::size_t count) {
    if (kind_ != Kind::Shared) {
        for (std::size_t k = 0; k < count; ++k)
            if (pieces[k].Size > 0) std::memcpy(data_ + pieces[k].At, pieces[k].Data, pieces[k].Size);
        return;
    }
    std::array<ConstByteRun, 256> batch;
    std::size_t k = 0;
    while (k < count) {
        const std::size_t at = pieces[k].At;
        std::size_t end = at, n = 0;
        for (; k < count && n < batch.size() && pieces[k].At == end; ++k, ++n) {
            batch[n] = {pieces[k].Data, pieces[k].Size};
            end += pieces[k].Size;
        }
        if (!WriteSharedPages(fd_, at, batch.data(), n)) throw std::bad_alloc();
    }
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
    switch (kind_) {
    case Kind::Heap:
        std::free(data_);
        break;
    case Kind::Large:
        if (!Freed().Keep(data_, LargeLength(size_)))
            UnmapPages(data_, LargeLength(size_), -1);
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
    madeZero_ = false;
}

} // namespace tlc
