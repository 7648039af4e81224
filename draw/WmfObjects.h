#pragma once

// Reading a Windows metafile record's parameters and the objects, bitmaps
// and regions inside them, every size checked against the record.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "draw/GdiCanvas.h"

namespace tlc::wmf {

// Thrown when a record's inner counts or sizes do not fit it: the picture
// is refused whole.
struct Damaged {};

// One record's parameters, little-endian 16-bit words.
class Params {
public:
    Params(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    std::size_t Bytes() const { return n_; }
    bool Has(std::size_t words) const { return n_ / 2 >= words; }
    std::int16_t S(std::size_t word) const { return static_cast<std::int16_t>(U(word)); }
    double D(std::size_t word) const { return S(word); }
    std::uint16_t U(std::size_t word) const {
        return static_cast<std::uint16_t>(p_[2 * word] | (p_[2 * word + 1] << 8));
    }
    std::uint32_t U32(std::size_t word) const { return U(word) | (std::uint32_t{U(word + 1)} << 16); }
    gdi::Colour Colour(std::size_t word) const { return {p_[2 * word], p_[2 * word + 1], p_[2 * word + 2]}; }
    // The bytes from offset on (empty past the end).
    std::span<const std::uint8_t> From(std::size_t offset) const {
        return offset <= n_ ? std::span<const std::uint8_t>(p_ + offset, n_ - offset)
                            : std::span<const std::uint8_t>();
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

// The packed DIB at the start of bytes, cut to its own length; null for a
// JPEG or PNG inside one (not drawn). Throws
// Damaged when its header, colour table or bits do not fit in bytes or it
// is larger than any picture needs.
std::shared_ptr<gdi::Dib> CheckedDib(std::span<const std::uint8_t> bytes, bool paletteColours);

// A device-dependent bitmap (the 10-byte header, then bits rows of
// widthBytes, top row first) as a packed DIB; null for the depths that need
// a device palette and for bits cut short. Throws Damaged on sizes no
// bitmap has.
std::shared_ptr<gdi::Dib> DibFromBitmap16(Params header, std::span<const std::uint8_t> bits);

// A region object's scans as rectangles.
std::vector<gdi::Rect> RegionRects(Params p);

// Whether bytes start with a DIB's header rather than a device bitmap's.
bool StartsWithDib(std::span<const std::uint8_t> bytes);

// A logical font record (a short one gives what it holds).
gdi::Font FontFromRecord(Params p);

} // namespace tlc::wmf
