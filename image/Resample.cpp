#include "image/Resample.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/RowScaler.h"

namespace tlc {

std::shared_ptr<TBitmapImage> NewRgbRaster(const char* what, std::int32_t width, std::int32_t height) {
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

std::shared_ptr<TBitmapImage> ScaleDown(const TBitmapImage& source, std::int32_t width,
                                        std::int32_t height) {
    if (!source.HasRaster()) throw EInvalidGraphic("Bitmap image is not valid");
    RowScaler scaler(source.Width(), source.AbsHeight(), width, height);
    if (source.BitCount() == 24) {
        for (std::int32_t y = 0; y < source.AbsHeight(); ++y) scaler.AddRow(source.Row(y), 3);
        return scaler.Result();
    }
    std::vector<std::uint8_t> row;
    try {
        row.resize(static_cast<std::size_t>(source.Width()) * 3);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    for (std::int32_t y = 0; y < source.AbsHeight(); ++y) {
        std::uint8_t* p = row.data();
        for (std::int32_t x = 0; x < source.Width(); ++x, p += 3) {
            const TColor c = source.GetPixel(x, y);
            p[0] = static_cast<std::uint8_t>(BlueOf(c));
            p[1] = static_cast<std::uint8_t>(GreenOf(c));
            p[2] = static_cast<std::uint8_t>(RedOf(c));
        }
        scaler.AddRow(row.data(), 3);
    }
    return scaler.Result();
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
    auto out = NewRgbRaster("Dithered", w, h);
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
