#include "image/PixelBuffer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <mutex>
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

// Large buffers freed lately, kept (up to kKeptAtMost bytes in all) for the
// next ones of the same length: a batch asks for the same sizes picture after
// picture, on several threads, and faulting the pages in again costs more
// than filling them.
constexpr std::size_t kKeptAtMost = std::size_t{64} << 20;
struct KeptPages {
    std::mutex lock;
    std::array<std::pair<std::uint8_t*, std::size_t>, 8> slots{};
    std::size_t bytes = 0;
};
KeptPages& Kept() {
    static KeptPages* kept = new KeptPages; // outlives every buffer
    return *kept;
}

} // namespace

void PixelBuffer::Allocate(std::size_t size, bool zeroed) {
    if (size == 0) return;
    if (size >= kLargeFrom && size <= SIZE_MAX - 2 * kLargePage) {
        const std::size_t length = LargeLength(size);
        std::uint8_t* p = nullptr;
        {
            KeptPages& kept = Kept();
            std::lock_guard<std::mutex> guard(kept.lock);
            for (auto& [data, bytes] : kept.slots)
                if (data && bytes == length) {
                    p = std::exchange(data, nullptr);
                    kept.bytes -= length;
                    break;
                }
        }
        madeZero_ = !p || zeroed;
        if (p && zeroed) std::memset(p, 0, size);
        if (!p) p = MapLargePages(length);
        if (p) {
            data_ = p;
            size_ = size;
            mapped_ = true;
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
    if (mapped_) {
        KeptPages& kept = Kept();
        const std::size_t length = LargeLength(size_);
        auto dropped = std::make_pair(data_, length);
        std::array<std::pair<std::uint8_t*, std::size_t>, 8> stale{};
        if (length <= kKeptAtMost) {
            std::lock_guard<std::mutex> guard(kept.lock);
            auto free = std::find_if(kept.slots.begin(), kept.slots.end(), [](const auto& s) { return !s.first; });
            if (free == kept.slots.end() || kept.bytes + length > kKeptAtMost) {
                // No room: the sizes asked for have changed, so the kept ones go.
                stale = std::exchange(kept.slots, {});
                kept.bytes = 0;
                free = kept.slots.begin();
            }
            *free = dropped;
            kept.bytes += length;
            dropped = {};
        }
        for (const auto& [data, bytes] : stale) UnmapLargePages(data, bytes);
        UnmapLargePages(dropped.first, dropped.second);
    } else {
        std::free(data_);
    }
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
    madeZero_ = false;
}

} // namespace tlc
