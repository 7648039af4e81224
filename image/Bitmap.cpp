#include "image/Bitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "base/Exceptions.h"
#include "image/Canvas.h"

namespace tlc {

namespace {

// Sharing and replacing content happens under one lock, as the window
// system's own bitmaps do; the program itself has a single thread.
std::mutex& ContentLock() {
    static std::mutex lock;
    return lock;
}

bool IsContiguous(std::uint32_t mask) {
    if (mask == 0) return false;
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

} // namespace

std::size_t RowStride(std::int32_t width, int bitCount) {
    if (width < 0 || bitCount <= 0) return 0;
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * static_cast<unsigned>(bitCount);
    const std::uint64_t stride = ((bits + 31) & ~std::uint64_t{31}) / 8;
    if (stride > std::numeric_limits<std::uint32_t>::max()) return 0;
    return static_cast<std::size_t>(stride);
}

TBitmapImage::Channel TBitmapImage::MakeChannel(std::uint32_t mask) {
    Channel ch;
    ch.mask = mask;
    if (mask == 0) return ch;
    ch.shift = std::countr_zero(mask);
    ch.bits = std::popcount(mask);
    return ch;
}

std::shared_ptr<TBitmapImage> TBitmapImage::Prepare(const TRasterFormat& format) {
    const int bpp = format.BitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        throw EInvalidGraphic("Bitmap image is not valid");
    if (format.Width < 0 || format.Height == std::numeric_limits<std::int32_t>::min())
        throw EInvalidGraphic("Bitmap image is not valid");
    if (format.ColourTable.size() > 256) throw EInvalidGraphic("Bitmap image is not valid");

    auto image = std::make_shared<TBitmapImage>();
    image->format_ = format;
    TRasterFormat& f = image->format_;
    if (bpp == 16 || bpp == 32) {
        if (f.Compression == BI_BITFIELDS) {
            if (!IsContiguous(f.RedMask) || !IsContiguous(f.GreenMask) || !IsContiguous(f.BlueMask) ||
                (f.RedMask & f.GreenMask) || (f.RedMask & f.BlueMask) || (f.GreenMask & f.BlueMask))
                throw EInvalidGraphic("Bitmap image is not valid");
            if (bpp == 16 && ((f.RedMask | f.GreenMask | f.BlueMask) > 0xFFFFu))
                throw EInvalidGraphic("Bitmap image is not valid");
        } else if (bpp == 16) {
            f.RedMask = 0x7C00;
            f.GreenMask = 0x03E0;
            f.BlueMask = 0x001F;
        } else {
            f.RedMask = 0x00FF0000;
            f.GreenMask = 0x0000FF00;
            f.BlueMask = 0x000000FF;
        }
        image->masked_ = bpp == 16 || f.Compression == BI_BITFIELDS;
        image->red_ = MakeChannel(f.RedMask);
        image->green_ = MakeChannel(f.GreenMask);
        image->blue_ = MakeChannel(f.BlueMask);
    }

    if (bpp <= 8) {
        image->lookup_.assign(256, clBlack);
        std::copy(f.ColourTable.begin(), f.ColourTable.end(), image->lookup_.begin());
    }

    const std::int32_t absHeight = f.Height < 0 ? -f.Height : f.Height;
    image->stride_ = RowStride(f.Width, bpp);
    if (f.Width > 0 && absHeight > 0) {
        if (image->stride_ == 0 ||
            image->stride_ > kMaxRasterBytes / static_cast<std::size_t>(absHeight))
            throw EOutOfResources();
        image->rasterWidth_ = static_cast<std::uint32_t>(f.Width);
        image->rasterHeight_ = static_cast<std::uint32_t>(absHeight);
    }
    return image;
}

std::size_t TBitmapImage::CheckedRasterBytes(const TRasterFormat& format) {
    auto image = Prepare(format);
    return image->stride_ * image->rasterHeight_;
}

std::shared_ptr<TBitmapImage> TBitmapImage::Create(const TRasterFormat& format) {
    auto image = Prepare(format);
    const std::size_t bytes = image->stride_ * image->rasterHeight_;
    if (bytes > 0) {
        try {
            image->pixels_ = PixelBuffer::Zeroed(bytes);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
    }
    return image;
}

std::shared_ptr<TBitmapImage> TBitmapImage::Adopt(const TRasterFormat& format,
                                                  PixelBuffer pixels) {
    auto image = Prepare(format);
    if (pixels.size() != image->stride_ * image->rasterHeight_)
        throw EInvalidGraphic("Bitmap image is not valid");
    image->pixels_ = std::move(pixels);
    return image;
}

std::shared_ptr<TBitmapImage> TBitmapImage::CreateBlank(std::int32_t width, std::int32_t height) {
    TRasterFormat format;
    format.Width = width;
    format.Height = height;
    format.BitCount = 32;
    auto image = Create(format);
    for (std::size_t i = 0; i < image->pixels_.size(); i += 4) {
        image->pixels_[i] = 0xFF;
        image->pixels_[i + 1] = 0xFF;
        image->pixels_[i + 2] = 0xFF;
    }
    return image;
}

std::shared_ptr<TBitmapImage> TBitmapImage::CreateSizeOnly(std::int32_t width,
                                                           std::int32_t height) {
    auto image = std::make_shared<TBitmapImage>();
    image->format_.Width = width;
    image->format_.Height = height;
    return image;
}

std::shared_ptr<TBitmapImage> TBitmapImage::Clone() const {
    try {
        auto copy = std::make_shared<TBitmapImage>(*this);
        copy->shareCount_ = 0;
        return copy;
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
}

bool TBitmapImage::Clip(std::int32_t x, std::int32_t y, std::int32_t count, std::int32_t& first,
                        std::int32_t& end) const {
    if (count <= 0 || static_cast<std::uint32_t>(y) >= rasterHeight_) return false;
    const std::int64_t from = std::max<std::int64_t>(x, 0);
    const std::int64_t to = std::min<std::int64_t>(std::int64_t{x} + count, rasterWidth_);
    if (from >= to) return false;
    first = static_cast<std::int32_t>(from);
    end = static_cast<std::int32_t>(to);
    return true;
}

namespace {

// 0x00BBGGRR to the bytes B, G, R, 0 of a 32-bit pixel, as one word.
inline std::uint32_t ToBGRX(TColor c) {
    return static_cast<std::uint32_t>(BlueOf(c)) | (static_cast<std::uint32_t>(GreenOf(c)) << 8) |
           (static_cast<std::uint32_t>(RedOf(c)) << 16);
}

// Little-endian words; the compiler makes each one load or store.
inline std::uint32_t LoadWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreWord(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

} // namespace

// Row loops of true colour, each dot's three bytes side by side: without
// byte shuffles (SSSE3) the vectoriser leaves them dot by dot, so they are
// built for that too, and for AVX2. The choice is made from what the C
// library already learnt of the processor: asking the processor again at
// start-up costs a tenth of a millisecond in a virtual machine, a good part
// of converting one picture.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__ELF__) && \
    __has_include(<sys/platform/x86.h>)
#include <sys/platform/x86.h>
#define TLC_ROW_VARIANTS 1
#define TLC_ROW_LOOP inline __attribute__((always_inline))
#else
#define TLC_ROW_LOOP inline
#endif

namespace {

template <int kStep>
TLC_ROW_LOOP void DarkDotsLoop(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n,
                               std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    for (std::int32_t i = 0; i < n; ++i)
        o[i] = static_cast<std::uint8_t>((p[kStep * i] <= blue) | (p[kStep * i + 1] <= green) |
                                         (p[kStep * i + 2] <= red));
}

TLC_ROW_LOOP void NonBlack24Loop(const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) o[i] = (p[3 * i] | p[3 * i + 1] | p[3 * i + 2]) != 0 ? 1 : 0;
}

// Every dot is written, the flag choosing between its own value and v: no
// branch to mispredict on a picture of noise.
TLC_ROW_LOOP void StoreGrey24Loop(std::uint8_t* __restrict p, const std::uint8_t* __restrict f, std::int32_t n,
                                  std::uint8_t v) {
    for (std::int32_t i = 0; i < n; ++i) {
        const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
        p[3 * i] = static_cast<std::uint8_t>((p[3 * i] & ~m) | (v & m));
        p[3 * i + 1] = static_cast<std::uint8_t>((p[3 * i + 1] & ~m) | (v & m));
        p[3 * i + 2] = static_cast<std::uint8_t>((p[3 * i + 2] & ~m) | (v & m));
    }
}

#ifdef TLC_ROW_VARIANTS
enum class RowIsa { Plain, Ssse3, Avx2 };

RowIsa BestRowIsa() {
    static const RowIsa isa = CPU_FEATURE_ACTIVE(AVX2)    ? RowIsa::Avx2
                              : CPU_FEATURE_ACTIVE(SSSE3) ? RowIsa::Ssse3
                                                          : RowIsa::Plain;
    return isa;
}

#define TLC_ROW_KERNEL(name, loop, params, args)                                                 \
    __attribute__((target("avx2"), noinline)) void name##Avx2 params { loop args; }               \
    __attribute__((target("ssse3"), noinline)) void name##Ssse3 params { loop args; }             \
    __attribute__((noinline)) void name##Plain params { loop args; }                               \
    void name params {                                                                             \
        switch (BestRowIsa()) {                                                                    \
        case RowIsa::Avx2: return name##Avx2 args;                                                 \
        case RowIsa::Ssse3: return name##Ssse3 args;                                               \
        case RowIsa::Plain: break;                                                                 \
        }                                                                                          \
        name##Plain args;                                                                          \
    }
#else
#define TLC_ROW_KERNEL(name, loop, params, args) \
    void name params { loop args; }
#endif

TLC_ROW_KERNEL(DarkDots3, DarkDotsLoop<3>,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n, std::uint8_t b,
                std::uint8_t g, std::uint8_t r),
               (p, o, n, b, g, r))
TLC_ROW_KERNEL(DarkDots4, DarkDotsLoop<4>,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n, std::uint8_t b,
                std::uint8_t g, std::uint8_t r),
               (p, o, n, b, g, r))
TLC_ROW_KERNEL(NonBlack24, NonBlack24Loop,
               (const std::uint8_t* __restrict p, std::uint8_t* __restrict o, std::int32_t n), (p, o, n))
TLC_ROW_KERNEL(StoreGrey24, StoreGrey24Loop,
               (std::uint8_t* __restrict p, const std::uint8_t* __restrict f, std::int32_t n, std::uint8_t v),
               (p, f, n, v))

} // namespace

namespace {

// The dots of a 1-bit byte, one byte each: 1 where the bit is set, the
// first dot (bit 7) first.
constexpr std::array<std::array<std::uint8_t, 8>, 256> SpreadBits() {
    std::array<std::array<std::uint8_t, 8>, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k) table[static_cast<std::size_t>(b)][static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>((b >> (7 - k)) & 1);
    return table;
}
constexpr auto kSpreadBits = SpreadBits();

} // namespace

TBitmapImage::ChannelTables TBitmapImage::ChannelTables::AtMost(std::int32_t red, std::int32_t green,
                                                              std::int32_t blue) {
    ChannelTables t;
    for (int v = 0; v < 256; ++v) {
        t.Red[v] = v <= red ? 1 : 0;
        t.Green[v] = v <= green ? 1 : 0;
        t.Blue[v] = v <= blue ? 1 : 0;
    }
    const auto inByte = [](std::int32_t limit) { return limit >= 0 && limit <= 255; };
    t.Limits = inByte(red) && inByte(green) && inByte(blue);
    t.RedLimit = static_cast<std::uint8_t>(std::clamp(red, 0, 255));
    t.GreenLimit = static_cast<std::uint8_t>(std::clamp(green, 0, 255));
    t.BlueLimit = static_cast<std::uint8_t>(std::clamp(blue, 0, 255));
    return t;
}

void TBitmapImage::ClassifyRow(std::int32_t x, std::int32_t y, std::int32_t count,
                               const ChannelTables& t, std::uint8_t* out) const {
    const auto classify = [&t](TColor c) {
        return static_cast<std::uint8_t>(t.Red[RedOf(c)] | t.Green[GreenOf(c)] | t.Blue[BlueOf(c)]);
    };
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) {
        std::fill(out, out + std::max(count, 0), classify(clNone));
        return;
    }
    std::fill(out, out + (first - x), classify(clNone));
    std::fill(out + (end - x), out + count, classify(clNone));
    std::uint8_t* o = out + (first - x);
    const std::int32_t n = end - first;
    const std::uint8_t* row = Row(y);
    switch (format_.BitCount) {
    case 24: {
        const std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (t.Limits) return DarkDots3(p, o, n, t.BlueLimit, t.GreenLimit, t.RedLimit);
        for (std::int32_t i = 0; i < n; ++i, p += 3)
            o[i] = static_cast<std::uint8_t>(t.Blue[p[0]] | t.Green[p[1]] | t.Red[p[2]]);
        return;
    }
    case 32:
        if (!masked_) {
            const std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
            if (t.Limits) return DarkDots4(p, o, n, t.BlueLimit, t.GreenLimit, t.RedLimit);
            for (std::int32_t i = 0; i < n; ++i, p += 4)
                o[i] = static_cast<std::uint8_t>(t.Blue[p[0]] | t.Green[p[1]] | t.Red[p[2]]);
            return;
        }
        break;
    case 8:
    case 4:
    case 1: {
        // Each table colour once, then one look-up per dot.
        std::uint8_t byIndex[256];
        const int entries = 1 << format_.BitCount;
        for (int k = 0; k < entries; ++k) byIndex[k] = classify(lookup_[static_cast<std::size_t>(k)]);
        if (format_.BitCount == 8) {
            const std::uint8_t* p = row + first;
            for (std::int32_t i = 0; i < n; ++i) o[i] = byIndex[p[i]];
        } else if (format_.BitCount == 4) {
            for (std::int32_t i = 0; i < n; ++i) {
                const std::int32_t px = first + i;
                o[i] = byIndex[(row[px >> 1] >> ((px & 1) ? 0 : 4)) & 0x0F];
            }
        } else {
            const auto dot = [&](std::int32_t i) {
                const std::int32_t px = first + i;
                o[i] = byIndex[(row[px >> 3] >> (7 - (px & 7))) & 1];
            };
            std::int32_t i = 0;
            for (; i < n && ((first + i) & 7) != 0; ++i) dot(i);
            // Whole bytes: eight dots at once, each 0 or 1 spread to a byte
            // and scaled to its class (no carries: both are at most 255).
            const std::uint64_t dark = byIndex[1], light = byIndex[0];
            for (; i + 8 <= n; i += 8) {
                std::uint64_t ones;
                std::memcpy(&ones, kSpreadBits[row[(first + i) >> 3]].data(), 8);
                const std::uint64_t eight = ones * dark + (0x0101010101010101ull - ones) * light;
                std::memcpy(o + i, &eight, 8);
            }
            for (; i < n; ++i) dot(i);
        }
        return;
    }
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i) o[i] = classify(GetPixel(first + i, y));
}

void TBitmapImage::NonBlackRow(std::int32_t x, std::int32_t y, std::int32_t count,
                               std::uint8_t* out) const {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) {
        std::fill(out, out + std::max(count, 0), std::uint8_t{1});
        return;
    }
    std::fill(out, out + (first - x), std::uint8_t{1});
    std::fill(out + (end - x), out + count, std::uint8_t{1});
    std::uint8_t* o = out + (first - x);
    const std::int32_t n = end - first;
    const std::uint8_t* row = Row(y);
    if (format_.BitCount == 32 && !masked_) {
        const std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
        for (std::int32_t i = 0; i < n; ++i)
            o[i] = (LoadWord(p + 4 * i) & 0x00FFFFFFu) != 0 ? 1 : 0;
        return;
    }
    if (format_.BitCount == 24) {
        NonBlack24(row + static_cast<std::size_t>(first) * 3, o, n);
        return;
    }
    // Other formats: what every channel test gives.
    ChannelTables lit;
    for (int v = 0; v < 256; ++v) lit.Red[v] = lit.Green[v] = lit.Blue[v] = v != 0 ? 1 : 0;
    ClassifyRow(first, y, n, lit, o);
}

void TBitmapImage::StoreWhere(std::int32_t x, std::int32_t y, std::int32_t count,
                              const std::uint8_t* flags, TColor c) {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) return;
    const std::uint8_t* f = flags + (first - x);
    const std::int32_t n = end - first;
    std::uint8_t* row = Row(y);
    // As StoreGrey24: every dot written, no branch.
    switch (format_.BitCount) {
    case 24: {
        const auto b = static_cast<std::uint8_t>(BlueOf(c)), g = static_cast<std::uint8_t>(GreenOf(c)),
                   r = static_cast<std::uint8_t>(RedOf(c));
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (b == g && g == r) return StoreGrey24(p, f, n, b); // black, white, greys
        for (std::int32_t i = 0; i < n; ++i, p += 3) {
            const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
            p[0] = static_cast<std::uint8_t>((p[0] & ~m) | (b & m));
            p[1] = static_cast<std::uint8_t>((p[1] & ~m) | (g & m));
            p[2] = static_cast<std::uint8_t>((p[2] & ~m) | (r & m));
        }
        return;
    }
    case 32:
    case 16: {
        const std::uint32_t v = masked_ ? ToMasked(c) : ToBGRX(c);
        if (format_.BitCount == 16) {
            std::uint8_t* p = row + static_cast<std::size_t>(first) * 2;
            for (std::int32_t i = 0; i < n; ++i) {
                const auto m = static_cast<std::uint16_t>(-(f[i] != 0));
                const auto old = static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
                const auto w = static_cast<std::uint16_t>((old & ~m) | (v & m));
                p[2 * i] = static_cast<std::uint8_t>(w);
                p[2 * i + 1] = static_cast<std::uint8_t>(w >> 8);
            }
            return;
        }
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
        for (std::int32_t i = 0; i < n; ++i) {
            const std::uint32_t m = 0u - static_cast<std::uint32_t>(f[i] != 0);
            StoreWord(p + 4 * i, (LoadWord(p + 4 * i) & ~m) | (v & m));
        }
        return;
    }
    case 8: {
        const auto v = static_cast<std::uint8_t>(NearestIndex(c));
        std::uint8_t* p = row + first;
        for (std::int32_t i = 0; i < n; ++i) {
            const auto m = static_cast<std::uint8_t>(-(f[i] != 0));
            p[i] = static_cast<std::uint8_t>((p[i] & ~m) | (v & m));
        }
        return;
    }
    case 1: {
        const unsigned v = NearestIndex(c);
        if (v > 1) break;
        std::int32_t i = 0;
        for (; i < n && ((first + i) & 7) != 0; ++i)
            if (f[i]) SetPixel(first + i, y, c);
        // Whole bytes: the eight flags as a mask of bits, the first to bit 7.
        for (; i + 8 <= n; i += 8) {
            unsigned m = 0;
            for (int k = 0; k < 8; ++k) m |= (f[i + k] != 0 ? 0x80u : 0u) >> k;
            std::uint8_t& b = row[(first + i) >> 3];
            b = static_cast<std::uint8_t>((b & ~m) | (v != 0 ? m : 0u));
        }
        for (; i < n; ++i)
            if (f[i]) SetPixel(first + i, y, c);
        return;
    }
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i)
        if (f[i]) SetPixel(first + i, y, c);
}

void TBitmapImage::FillRow(std::int32_t x, std::int32_t y, std::int32_t count, TColor c) {
    std::int32_t first = 0, end = 0;
    if (!Clip(x, y, count, first, end)) return;
    const std::int32_t n = end - first;
    std::uint8_t* row = Row(y);
    switch (format_.BitCount) {
    case 24: {
        std::uint8_t* p = row + static_cast<std::size_t>(first) * 3;
        if (BlueOf(c) == GreenOf(c) && GreenOf(c) == RedOf(c)) {
            std::memset(p, BlueOf(c), static_cast<std::size_t>(n) * 3);
            return;
        }
        for (std::int32_t i = 0; i < n; ++i, p += 3) {
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
        }
        return;
    }
    case 32:
        if (!masked_) {
            const std::uint32_t v = ToBGRX(c);
            std::uint8_t* p = row + static_cast<std::size_t>(first) * 4;
            for (std::int32_t i = 0; i < n; ++i) StoreWord(p + 4 * i, v);
            return;
        }
        break;
    case 8:
        std::memset(row + first, NearestIndex(c), static_cast<std::size_t>(n));
        return;
    default:
        break;
    }
    for (std::int32_t i = 0; i < n; ++i) SetPixel(first + i, y, c);
}

int TBitmapImage::NearestIndexSlow(TColor c) {
    const auto& table = format_.ColourTable;
    // A raster of N bits can only address the first 2^N entries: a longer
    // table's tail is never a candidate.
    const std::size_t count =
        std::min(table.size(), std::size_t{1} << std::min<int>(format_.BitCount, 8));
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (std::size_t i = 0; i < count; ++i) {
        const long dr = RedOf(table[i]) - RedOf(c);
        const long dg = GreenOf(table[i]) - GreenOf(c);
        const long db = BlueOf(table[i]) - BlueOf(c);
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    lastNearestColour_ = c;
    lastNearestIndex_ = best;
    return best;
}

// ---------------------------------------------------------------------------

TBitmap::TBitmap() : TGraphic(GraphicKind::Bitmap) { Refer(std::make_shared<TBitmapImage>()); }

TBitmap::~TBitmap() {
    std::lock_guard<std::mutex> guard(ContentLock());
    --image_->shareCount_;
}

void TBitmap::Refer(std::shared_ptr<TBitmapImage> image) {
    ++image->shareCount_;
    if (image_) --image_->shareCount_;
    image_ = std::move(image);
    if (canvas_) canvas_->image_ = image_.get();
}

void TBitmap::ShareFrom(const TGraphic& source) {
    const auto& other = dynamic_cast<const TBitmap&>(source);
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(other.image_);
        TransparentModeValue = other.TransparentModeValue;
        TransparentColour = other.TransparentColour;
        SetTransparent(other.Transparent());
    }
    image_->HasPalette = !image_->ColourTable().empty();
    Changed();
}

void TBitmap::ShareFromNothing() {
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(std::make_shared<TBitmapImage>());
    }
    Changed();
}

void TBitmap::SetImage(std::shared_ptr<TBitmapImage> image) {
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(image ? std::move(image) : std::make_shared<TBitmapImage>());
    }
    Changed();
}

void TBitmap::UnshareSlow() {
    std::lock_guard<std::mutex> guard(ContentLock());
    if (image_->CopyBeforeWrite()) Refer(image_->Clone());
    image_->ClrUsed = 0;
    image_->ClrImportant = 0;
    image_->FileCopy.clear();
    image_->FileCopy.shrink_to_fit();
}

TBitmapCanvas& TBitmap::CreateCanvas() {
    canvas_ = std::make_unique<TBitmapCanvas>(*this);
    return *canvas_;
}

void TBitmap::SetWidth(std::int32_t width) {
    if (width == image_->Width()) return;
    Resize(width, image_->Height());
}

void TBitmap::SetHeight(std::int32_t height) {
    if (height == image_->Height()) return;
    Resize(image_->Width(), height);
}

void TBitmap::Resize(std::int32_t width, std::int32_t height) {
    if (width < 0) width = 0;
    if (width > 0 && height != 0)
        SetImage(TBitmapImage::CreateBlank(width, height));
    else
        SetImage(TBitmapImage::CreateSizeOnly(width, height));
}

} // namespace tlc
