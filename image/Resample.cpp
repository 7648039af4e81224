#include "image/Resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "base/Exceptions.h"

namespace tlc {

namespace {

// A 24-bit raster of width x height (each at least 1), rows top first, every
// byte 0; above the raster cap EOutOfResources naming what it was for.
std::shared_ptr<TBitmapImage> NewRaster(const char* what, std::int32_t width, std::int32_t height) {
    TRasterFormat f;
    f.Width = width;
    f.Height = -height;
    f.BitCount = 24;
    try {
        if (std::uint64_t{static_cast<std::uint32_t>(width)} * static_cast<std::uint32_t>(height) <=
            kMaxRasterBytes / 3)
            return TBitmapImage::Create(f);
    } catch (const EOutOfResources&) {
    }
    throw EOutOfResources(std::string(what) + " picture too large: " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels");
}

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

// For each new pixel along one axis: the first old pixel it covers and the
// share of each old pixel, summing to 1.
struct Footprints {
    std::vector<std::int32_t> first;
    std::vector<std::size_t> offset; // into weights, one more than pixels
    std::vector<float> weights;

    Footprints(std::int32_t from, std::int32_t to) {
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
};

// One row of the source in linear light, three floats a pixel (red, green, blue).
void LinearRow(const TBitmapImage& source, std::int32_t y, std::vector<float>& out) {
    const auto& lin = SrgbTables().toLinear;
    const std::int32_t w = source.Width();
    float* o = out.data();
    if (source.BitCount() == 24) {
        const std::uint8_t* p = source.Row(y);
        for (std::int32_t x = 0; x < w; ++x, p += 3, o += 3) {
            o[0] = lin[p[2]];
            o[1] = lin[p[1]];
            o[2] = lin[p[0]];
        }
        return;
    }
    for (std::int32_t x = 0; x < w; ++x, o += 3) {
        const TColor c = source.GetPixel(x, y);
        o[0] = lin[RedOf(c)];
        o[1] = lin[GreenOf(c)];
        o[2] = lin[BlueOf(c)];
    }
}

} // namespace

std::shared_ptr<TBitmapImage> ScaleDown(const TBitmapImage& source, std::int32_t width,
                                        std::int32_t height) {
    const std::int32_t sw = source.Width(), sh = source.AbsHeight();
    if (!source.HasRaster() || width < 1 || height < 1 || width > sw || height > sh)
        throw EInvalidGraphic("Bitmap image is not valid");
    auto out = NewRaster("Scaled", width, height);
    const Footprints across(sw, width), down(sh, height);
    const Srgb& srgb = SrgbTables();

    std::vector<float> line(static_cast<std::size_t>(sw) * 3), narrow(static_cast<std::size_t>(width) * 3),
        sum(static_cast<std::size_t>(width) * 3);
    std::int32_t narrowRow = -1;
    for (std::int32_t oy = 0; oy < height; ++oy) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (std::size_t k = down.offset[oy]; k < down.offset[oy + 1]; ++k) {
            const std::int32_t sy = down.first[oy] + static_cast<std::int32_t>(k - down.offset[oy]);
            // A row on the border of two new rows is narrowed once.
            if (sy != narrowRow) {
                LinearRow(source, sy, line);
                for (std::int32_t ox = 0; ox < width; ++ox) {
                    float r = 0, g = 0, b = 0;
                    const float* p = line.data() + static_cast<std::size_t>(across.first[ox]) * 3;
                    for (std::size_t j = across.offset[ox]; j < across.offset[ox + 1]; ++j, p += 3) {
                        const float wgt = across.weights[j];
                        r += wgt * p[0];
                        g += wgt * p[1];
                        b += wgt * p[2];
                    }
                    narrow[ox * 3] = r;
                    narrow[ox * 3 + 1] = g;
                    narrow[ox * 3 + 2] = b;
                }
                narrowRow = sy;
            }
            const float wgt = down.weights[k];
            for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += wgt * narrow[i];
        }
        std::uint8_t* row = out->Row(oy);
        for (std::int32_t ox = 0; ox < width; ++ox) {
            row[ox * 3] = srgb.Encode(sum[ox * 3 + 2]);
            row[ox * 3 + 1] = srgb.Encode(sum[ox * 3 + 1]);
            row[ox * 3 + 2] = srgb.Encode(sum[ox * 3]);
        }
    }
    return out;
}

namespace {

// The classic 8 x 8 Bayer matrix, 0 to 63.
constexpr std::array<std::array<int, 8>, 8> BayerMatrix() {
    std::array<std::array<int, 8>, 8> m{};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int v = 0;
            for (int bit = 0; bit < 3; ++bit) {
                const int xb = (x >> bit) & 1, yb = (y >> bit) & 1;
                v |= ((xb ^ yb) << (2 * (2 - bit) + 1)) | (yb << (2 * (2 - bit)));
            }
            m[y][x] = v;
        }
    return m;
}

} // namespace

std::shared_ptr<TBitmapImage> Dither(const TBitmapImage& source, DitherMethod method) {
    const std::int32_t w = source.Width(), h = source.AbsHeight();
    if (!source.HasRaster()) throw EInvalidGraphic("Bitmap image is not valid");
    auto out = NewRaster("Dithered", w, h);
    auto set = [&](std::int32_t x, std::int32_t y, bool black) {
        std::uint8_t* p = out->Row(y) + static_cast<std::size_t>(x) * 3;
        const std::uint8_t v = black ? 0 : 255;
        p[0] = p[1] = p[2] = v;
    };

    if (method == DitherMethod::Ordered) {
        static constexpr auto bayer = BayerMatrix();
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x)
                // Thresholds 2, 6, ... 254: flat grey g gives about g/256 white.
                set(x, y, GreyLevel(source.GetPixel(x, y)) * 2 < bayer[y & 7][x & 7] * 8 + 4);
        return out;
    }

    // Error rows with two spare cells on each side; row k holds y + k.
    const std::size_t cells = static_cast<std::size_t>(w) + 4;
    std::vector<int> err[3] = {std::vector<int>(cells), std::vector<int>(cells), std::vector<int>(cells)};
    for (std::int32_t y = 0; y < h; ++y) {
        int* e0 = err[0].data() + 2;
        int* e1 = err[1].data() + 2;
        int* e2 = err[2].data() + 2;
        for (std::int32_t x = 0; x < w; ++x) {
            // Errors are kept in sixteenths (Floyd-Steinberg) or eighths (Atkinson).
            const int value = GreyLevel(source.GetPixel(x, y)) +
                              (method == DitherMethod::FloydSteinberg ? e0[x] / 16 : e0[x] / 8);
            const bool black = value < 128;
            set(x, y, black);
            const int e = value - (black ? 0 : 255);
            if (method == DitherMethod::FloydSteinberg) {
                e0[x + 1] += 7 * e;
                e1[x - 1] += 3 * e;
                e1[x] += 5 * e;
                e1[x + 1] += e;
            } else {
                // Atkinson passes on only 6/8 of the error, keeping highlights clean.
                e0[x + 1] += e;
                e0[x + 2] += e;
                e1[x - 1] += e;
                e1[x] += e;
                e1[x + 1] += e;
                e2[x] += e;
            }
        }
        std::rotate(std::begin(err), std::begin(err) + 1, std::end(err));
        std::fill(err[2].begin(), err[2].end(), 0);
    }
    return out;
}

} // namespace tlc
