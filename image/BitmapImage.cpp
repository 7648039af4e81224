#include "image/BitmapImage.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "base/Exceptions.h"

namespace tlc {

namespace {

bool IsContiguous(std::uint32_t mask) {
    if (mask == 0) return false;
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

} // namespace

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

} // namespace tlc
