#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tlc {

// The pixel bytes of a raster. Small buffers live on the heap. Large ones
// live in memory that copies share with their original until they write, the
// system copying only the pages written: a conversion that writes a 600 x 600
// corner of a 4000 x 3000 picture copies that corner, not 36 MB. The
// original must not be written while such a copy exists; TBitmap's unsharing
// takes care of that (see Cloned()).
class PixelBuffer {
public:
    PixelBuffer() = default;
    // `size` bytes, uninitialised for a reader that fills every one of them.
    // `shareable`: a large buffer goes where copies can share its pages
    // (the first touch of each page costs more there, so a buffer that is
    // filled piecemeal is better off without; one filled by Put is faster
    // there). Throws std::bad_alloc.
    static PixelBuffer Uninitialised(std::size_t size, bool shareable);
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

    // Bytes put in place, each piece `Size` bytes from `Data` at `At`. In
    // shared memory the system writes them into new pages directly (a page
    // touched through data() is cleared first, only to be overwritten);
    // elsewhere they are copied. Pieces that follow one another in the
    // buffer go in one call. Throws std::bad_alloc when memory runs out.
    struct Piece {
        std::size_t At;
        const std::uint8_t* Data;
        std::size_t Size;
    };
    void Put(const Piece* pieces, std::size_t count);
    // Whether bytes are best put in place with Put.
    bool PutWrites() const { return kind_ == Kind::Shared; }
    // Whether the buffer was all zero when made (fresh pages from the
    // system), so that a reader need not clear what it leaves unwritten.
    bool MadeZero() const { return madeZero_; }

    // Whether a copy still reads this buffer's pages: writing here would then
    // show in the copy, so the owner must take a copy of its own first.
    bool Cloned() const { return cloned_; }

    friend bool operator==(const PixelBuffer& a, const PixelBuffer& b) {
        return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
    }

private:
    enum class Kind : std::uint8_t { None, Heap, Anonymous, Shared, Private, Large };
    void Take(PixelBuffer& other) {
        data_ = other.data_;
        size_ = other.size_;
        fd_ = other.fd_;
        kind_ = other.kind_;
        cloned_ = other.cloned_;
        madeZero_ = other.madeZero_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.fd_ = -1;
        other.kind_ = Kind::None;
        other.cloned_ = false;
        other.madeZero_ = false;
    }
    void Release();
    void Allocate(std::size_t size, bool zeroed, bool shareable);

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::intptr_t fd_ = -1; // the memory file behind Shared buffers
    Kind kind_ = Kind::None;
    mutable bool cloned_ = false;
    bool madeZero_ = false;
};

} // namespace tlc
