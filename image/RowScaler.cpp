#include "image/RowScaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "base/Exceptions.h"
#include "image/Resample.h"

namespace tlc {

namespace {

// GCC works the table out while compiling: the command line then needs no
// maths library, one shared library less to load at every start.
#if defined(__GNUC__) && !defined(__clang__)
#define TLC_FOLDED constexpr
#define TLC_FOLDED_MAKER constexpr
#else
#define TLC_FOLDED const
#define TLC_FOLDED_MAKER
#endif

struct Srgb {
    std::array<float, 256> toLinear{};
    std::array<float, 255> midpoints{}; // between the linear values of k and k + 1

    TLC_FOLDED_MAKER Srgb() {
        for (int k = 0; k < 256; ++k) {
            const double v = k / 255.0;
            toLinear[k] = static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        for (int k = 0; k < 255; ++k) midpoints[k] = (toLinear[k] + toLinear[k + 1]) / 2;
    }
    // The encoded value whose linear light is nearest: flat colours come back unchanged.
    std::uint8_t Encode(float linear) const {
        return static_cast<std::uint8_t>(std::upper_bound(midpoints.begin(), midpoints.end(), linear) -
                                         midpoints.begin());
    }
};

const Srgb& SrgbTables() {
    static TLC_FOLDED Srgb tables;
    return tables;
}

} // namespace

// For each new pixel along one axis: the first old pixel it covers and the
// share of each old pixel, summing to 1.
RowScaler::Footprints::Footprints(std::int32_t from, std::int32_t to) {
    const double scale = static_cast<double>(from) / to;
    offset.push_back(0);
    for (std::int32_t i = 0; i < to; ++i) {
        const double a = i * scale, b = (i + 1) * scale;
        const auto lo = static_cast<std::int32_t>(std::floor(a));
        const auto hi = std::min<std::int32_t>(from, static_cast<std::int32_t>(std::ceil(b)));
        first.push_back(lo);
        for (std::int32_t k = lo; k < hi; ++k)
            weights.push_back(static_cast<float>((std::min<double>(b, k + 1) - std::max<double>(a, k)) / scale));
        offset.push_back(weights.size());
    }
}

namespace {

std::int32_t CheckedSize(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t width,
                         std::int32_t height) {
    if (width < 1 || height < 1 || width > sourceWidth || height > sourceHeight)
        throw EInvalidGraphic("Bitmap image is not valid");
    if (sourceWidth > kMaxScaledSide || sourceHeight > kMaxScaledSide)
        throw EOutOfResources("Picture too large to scale: " + std::to_string(sourceWidth) + " x " +
                              std::to_string(sourceHeight) + " pixels");
    return sourceWidth;
}

} // namespace

RowScaler::RowScaler(std::int32_t sourceWidth, std::int32_t sourceHeight, std::int32_t width,
                     std::int32_t height) try
    : sourceWidth_(CheckedSize(sourceWidth, sourceHeight, width, height)), sourceHeight_(sourceHeight),
      width_(width), height_(height), across_(sourceWidth, width), down_(sourceHeight, height) {
    out_ = NewRgbRaster("Scaled", width, height);
    narrow_.resize(static_cast<std::size_t>(width) * 3);
} catch (const std::bad_alloc&) {
    throw EOutOfResources();
}

void RowScaler::Narrow(const std::uint8_t* pixels, int bytesPerPixel) {
    const auto& lin = SrgbTables().toLinear;
    const std::size_t step = static_cast<std::size_t>(bytesPerPixel);
    for (std::int32_t ox = 0; ox < width_; ++ox) {
        float r = 0, g = 0, b = 0;
        const std::uint8_t* p = pixels + static_cast<std::size_t>(across_.first[ox]) * step;
        for (std::size_t j = across_.offset[ox]; j < across_.offset[ox + 1]; ++j, p += step) {
            const float wgt = across_.weights[j];
            r += wgt * lin[p[2]];
            g += wgt * lin[p[1]];
            b += wgt * lin[p[0]];
        }
        narrow_[ox * 3] = r;
        narrow_[ox * 3 + 1] = g;
        narrow_[ox * 3 + 2] = b;
    }
}

// Adds the narrowed row `taken_` to each new row whose footprint holds it,
// in the order of the old rows, and writes out the new rows it completes.
void RowScaler::Accumulate() {
    const std::int32_t sy = taken_;
    for (std::int32_t oy = nextOut_; oy < height_ && down_.first[oy] <= sy; ++oy) {
        const std::size_t k = down_.offset[oy] + static_cast<std::size_t>(sy - down_.first[oy]);
        if (k >= down_.offset[oy + 1]) continue;
        const std::size_t open = static_cast<std::size_t>(oy - nextOut_);
        while (open >= sums_.size()) sums_.emplace_back(narrow_.size(), 0.0f);
        std::vector<float>& sum = sums_[open];
        const float wgt = down_.weights[k];
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += wgt * narrow_[i];
    }
    ++taken_;
    // Rows of the result whose last old row this was.
    const Srgb& srgb = SrgbTables();
    while (nextOut_ < height_ && down_.first[nextOut_] + static_cast<std::int64_t>(down_.offset[nextOut_ + 1] -
                                                                                   down_.offset[nextOut_]) <=
                                     taken_) {
        std::vector<float> sum = std::move(sums_.front());
        sums_.erase(sums_.begin());
        std::uint8_t* row = out_->Row(nextOut_);
        for (std::int32_t ox = 0; ox < width_; ++ox) {
            row[ox * 3] = srgb.Encode(sum[ox * 3 + 2]);
            row[ox * 3 + 1] = srgb.Encode(sum[ox * 3 + 1]);
            row[ox * 3 + 2] = srgb.Encode(sum[ox * 3]);
        }
        ++nextOut_;
    }
}

void RowScaler::AddRow(const std::uint8_t* pixels, int bytesPerPixel) {
    if (taken_ >= sourceHeight_) return;
    const std::size_t bytes = static_cast<std::size_t>(sourceWidth_) * static_cast<std::size_t>(bytesPerPixel);
    if (lastBytes_ != bytesPerPixel || std::memcmp(last_.data(), pixels, bytes) != 0) {
        try {
            last_.assign(pixels, pixels + bytes);
        } catch (const std::bad_alloc&) {
            throw EOutOfResources();
        }
        lastBytes_ = bytesPerPixel;
        Narrow(pixels, bytesPerPixel);
    }
    Accumulate();
}

void RowScaler::RepeatRow(std::int64_t count) {
    for (; count > 0 && taken_ < sourceHeight_; --count) Accumulate();
}

std::shared_ptr<TBitmapImage> RowScaler::Result() {
    if (!Done()) throw EInvalidGraphic("Bitmap image is not valid");
    return out_;
}

} // namespace tlc
