#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tlc {

// The pixel bytes of a raster. Small buffers live on the heap; from 1 MiB a
// buffer takes whole large pages of its own (one fault per 2 MiB instead of
// one per 4 KiB as it is filled), at every size alike; a few freed lately
// wait for the next of their length.
class PixelBuffer {
public:
    PixelBuffer() = default;
    // `size` bytes, uninitialised for a reader that fills every one of them
    // (see MadeZero). Throws std::bad_alloc.
    static PixelBuffer Uninitialised(std::size_t size);
    // `size` bytes of 0.
    static PixelBuffer Zeroed(std::size_t size);

    PixelBuffer(const PixelBuffer& other);
    PixelBuffer& operator=(const PixelBuffer& other);
    PixelBuffer(PixelBuffer&& other) noexcept { Take(other); }
    PixelBuffer& operator=(PixelBuffer&& other) noexcept {
        if (this != &other) {
            Release();
            Take(other);
        }
        return *this;
    }
    ~PixelBuffer() { Release(); }

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t& operator[](std::size_t i) { return data_[i]; }
    std::uint8_t operator[](std::size_t i) const { return data_[i]; }
    std::uint8_t* begin() { return data_; }
    std::uint8_t* end() { return data_ + size_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }

    // Whether the buffer was all zero when made (fresh pages from the
    // system), so that a reader need not clear what it leaves unwritten.
    bool MadeZero() const { return madeZero_; }

    friend bool operator==(const PixelBuffer& a, const PixelBuffer& b) {
        return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
    }

private:
    void Take(PixelBuffer& other) {
        data_ = other.data_;
        size_ = other.size_;
        mapped_ = other.mapped_;
        madeZero_ = other.madeZero_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.mapped_ = false;
        other.madeZero_ = false;
    }
    void Release();
    void Allocate(std::size_t size, bool zeroed);

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false; // large pages of its own, else the heap
    bool madeZero_ = false;
};

} // namespace tlc
