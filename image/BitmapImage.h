#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/LittleEndian.h"
#include "base/Types.h"
#include "image/PixelBuffer.h"
#include "image/RasterFormat.h"

namespace tlc {

// The shared content of bitmaps: a raster in the file's own pixel format.
// Rows are held top row first whatever order the file used.
class TBitmapImage {
public:
    // An image without raster.
    TBitmapImage() = default;

    // A raster of the given format with every byte 0. Throws EInvalidGraphic
    // for an unusable format and EOutOfResources above kMaxRasterBytes or when
    // memory runs out.
    static std::shared_ptr<TBitmapImage> Create(const TRasterFormat& format);
    // A raster of the given format holding `pixels` (rows top first, each
    // Stride() bytes), with the checks of Create. Lets a reader build the bytes
    // once instead of clearing memory it overwrites at once.
    static std::shared_ptr<TBitmapImage> Adopt(const TRasterFormat& format, PixelBuffer pixels);
    // The pixel bytes Create would allocate for `format`, after the same checks
    // (EInvalidGraphic, EOutOfResources above kMaxRasterBytes); allocates nothing.
    static std::size_t CheckedRasterBytes(const TRasterFormat& format);
    // A raster in the display's format (32 bits, no table), all white.
    static std::shared_ptr<TBitmapImage> CreateBlank(std::int32_t width, std::int32_t height);
    // Only a recorded size, without raster.
    static std::shared_ptr<TBitmapImage> CreateSizeOnly(std::int32_t width, std::int32_t height);
    // A private copy with the same format and pixels.
    std::shared_ptr<TBitmapImage> Clone() const;

    const TRasterFormat& Format() const { return format_; }
    std::int32_t Width() const { return format_.Width; }
    std::int32_t Height() const { return format_.Height; } // signed, as described
    std::int32_t AbsHeight() const { return format_.Height < 0 ? -format_.Height : format_.Height; }
    int BitCount() const { return format_.BitCount; }
    const std::vector<TColor>& ColourTable() const { return format_.ColourTable; }
    bool HasRaster() const { return !pixels_.empty(); }
    std::size_t Stride() const { return stride_; }

    // Row y as displayed (0 = top).
    std::uint8_t* Row(std::int32_t y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* Row(std::int32_t y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * stride_;
    }
    PixelBuffer& Pixels() { return pixels_; }
    const PixelBuffer& Pixels() const { return pixels_; }

    // Description kept from the file.
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;
    bool CoreHeader = false;
    std::vector<std::uint8_t> FileCopy; // run-length files only, until the first change
    // How the file stored the pixels (a run-length file becomes a 32-bit raster).
    std::uint16_t FileBitCount = 0;
    std::uint32_t FileCompression = BI_RGB;

    // 0x00BBGGRR of pixel (x, y), or 0xFFFFFFFF outside the raster.
    TColor GetPixel(std::int32_t x, std::int32_t y) const {
        // Every field is read before the first branch, so that a loop of
        // reads can keep them in registers and drop the switch.
        const std::uint32_t width = rasterWidth_;
        const std::uint32_t height = rasterHeight_;
        const int bitCount = format_.BitCount;
        const std::uint8_t* data = pixels_.data();
        const std::size_t stride = stride_;
        if (static_cast<std::uint32_t>(x) >= width || static_cast<std::uint32_t>(y) >= height)
            return clNone;
        const std::uint8_t* row = data + static_cast<std::size_t>(y) * stride;
        // Plain branches: the depth never changes inside a loop, so they
        // predict perfectly, where a jump table would not be free.
        if (bitCount == 24) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            return RGB(p[2], p[1], p[0]);
        }
        if (bitCount == 32) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            if (!masked_) return RGB(p[2], p[1], p[0]);
            return FromMasked(LoadLE32(p));
        }
        if (bitCount == 8) return TableColour(row[x]);
        if (bitCount == 16) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 2;
            return FromMasked(static_cast<std::uint32_t>(p[0] | (p[1] << 8)));
        }
        if (bitCount == 4) return TableColour((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
        return TableColour((row[x >> 3] >> (7 - (x & 7))) & 1);
    }

    // Stores c (0x00BBGGRR) as the format can hold it; nothing outside.
    void SetPixel(std::int32_t x, std::int32_t y, TColor c) {
        if (static_cast<std::uint32_t>(x) >= rasterWidth_ ||
            static_cast<std::uint32_t>(y) >= rasterHeight_)
            return;
        std::uint8_t* row = Row(y);
        const int bpp = format_.BitCount;
        if (bpp == 24) {
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
        } else if (bpp == 32) {
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            if (!masked_) {
                p[0] = static_cast<std::uint8_t>(BlueOf(c));
                p[1] = static_cast<std::uint8_t>(GreenOf(c));
                p[2] = static_cast<std::uint8_t>(RedOf(c));
                p[3] = 0;
            } else {
                StoreLE32(p, ToMasked(c));
            }
        } else if (bpp == 8) {
            row[x] = static_cast<std::uint8_t>(NearestIndex(c));
        } else if (bpp == 16) {
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 2;
            const std::uint32_t v = ToMasked(c);
            p[0] = static_cast<std::uint8_t>(v);
            p[1] = static_cast<std::uint8_t>(v >> 8);
        } else if (bpp == 4) {
            std::uint8_t& b = row[x >> 1];
            const int shift = (x & 1) ? 0 : 4;
            b = static_cast<std::uint8_t>((b & ~(0x0F << shift)) | (NearestIndex(c) << shift));
        } else {
            std::uint8_t& b = row[x >> 3];
            const int bit = 7 - (x & 7);
            b = static_cast<std::uint8_t>((b & ~(1 << bit)) | (NearestIndex(c) << bit));
        }
    }

    // Runs of dots along row y from column x, for loops that would otherwise
    // go dot by dot; each gives exactly what GetPixel or SetPixel would, dot
    // for dot, including 0xFFFFFFFF and no store outside the raster.
    // For each dot, red[r] | green[g] | blue[b] of the channels of its colour
    // (255 in each outside the raster): a test of the three channels without
    // building the colours.
    struct ChannelTables {
        std::uint8_t Red[256], Green[256], Blue[256];
        // Set by AtMost: each table is 1 up to a channel value and 0 above,
        // so rows of true colour are compared rather than looked up.
        bool Limits = false;
        std::uint8_t RedLimit = 0, GreenLimit = 0, BlueLimit = 0;

        // 1 where the channel value is at most the limit (none below 0).
        static ChannelTables AtMost(std::int32_t red, std::int32_t green, std::int32_t blue);
    };
    void ClassifyRow(std::int32_t x, std::int32_t y, std::int32_t count, const ChannelTables& t,
                     std::uint8_t* out) const;
    // For each dot, 1 unless it reads exactly black (0).
    void NonBlackRow(std::int32_t x, std::int32_t y, std::int32_t count, std::uint8_t* out) const;
    // Stores c at the dots whose flag is non-zero; the others keep their pixels.
    void StoreWhere(std::int32_t x, std::int32_t y, std::int32_t count, const std::uint8_t* flags,
                    TColor c);
    // Stores c at `count` dots.
    void FillRow(std::int32_t x, std::int32_t y, std::int32_t count, TColor c);

    // The number of bitmaps that refer to this content.
    int ShareCount() const { return shareCount_; }
    // Whether a bitmap must take its own copy before it writes.
    bool CopyBeforeWrite() const { return shareCount_ > 1; }
    // Whether the first change must also forget what was kept from the file.
    bool HoldsFileDescription() const {
        return ClrUsed != 0 || ClrImportant != 0 || !FileCopy.empty();
    }

    // Index of the table colour nearest to c (squared distance, first wins).
    int NearestIndex(TColor c) {
        return c == lastNearestColour_ ? lastNearestIndex_ : NearestIndexSlow(c);
    }

private:
    int NearestIndexSlow(TColor c);
    struct Channel {
        std::uint32_t mask = 0;
        int shift = 0;
        int bits = 0;
    };
    static Channel MakeChannel(std::uint32_t mask);
    static int Widen(std::uint32_t v, const Channel& ch) {
        const std::uint32_t raw = (v & ch.mask) >> ch.shift;
        if (ch.bits >= 8) return static_cast<int>(raw >> (ch.bits - 8));
        // Repeat the high bits into the open low bits so that full scale reads 255.
        std::uint32_t out = raw << (8 - ch.bits);
        for (int filled = ch.bits; filled < 8; filled += ch.bits) out |= out >> ch.bits;
        return static_cast<int>(out & 0xFF);
    }
    static std::uint32_t Narrow(int v, const Channel& ch) {
        const std::uint32_t raw = ch.bits >= 8 ? static_cast<std::uint32_t>(v) << (ch.bits - 8)
                                               : static_cast<std::uint32_t>(v) >> (8 - ch.bits);
        return (raw << ch.shift) & ch.mask;
    }
    TColor FromMasked(std::uint32_t v) const {
        return RGB(Widen(v, red_), Widen(v, green_), Widen(v, blue_));
    }
    std::uint32_t ToMasked(TColor c) const {
        return Narrow(RedOf(c), red_) | Narrow(GreenOf(c), green_) | Narrow(BlueOf(c), blue_);
    }
    static std::shared_ptr<TBitmapImage> Prepare(const TRasterFormat& format);
    TColor TableColour(unsigned index) const {
        return index < format_.ColourTable.size() ? format_.ColourTable[index] : clBlack;
    }
    // Which dots of a run lie inside the raster: [first, end) of row y, or an
    // empty range.
    bool Clip(std::int32_t x, std::int32_t y, std::int32_t count, std::int32_t& first,
              std::int32_t& end) const;

    friend class TBitmap;

    TRasterFormat format_;
    int shareCount_ = 0; // kept by TBitmap; beside the pixels so a write checks it cheaply
    PixelBuffer pixels_;
    std::size_t stride_ = 0;
    std::uint32_t rasterWidth_ = 0;  // 0 when there are no pixels
    std::uint32_t rasterHeight_ = 0;
    bool masked_ = false; // 16 bits, or 32 bits with channel masks
    Channel red_, green_, blue_;
    // The colour table padded to 256 entries with black, for rasters of up
    // to 8 bits: an index beyond the table reads black.
    std::vector<TColor> lookup_;
    // One-entry cache for NearestIndex: a conversion writes the same two colours.
    TColor lastNearestColour_ = clNone;
    int lastNearestIndex_ = 0;
};

} // namespace tlc
