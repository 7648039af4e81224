#include "logo/LogoFile.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

const TPrinterModels& Models() {
    static const TPrinterModels models = BuildPrinterModels();
    return models;
}

void CheckFits(int modelIndex, const LogoGeometry& g) {
    const PrinterLimits limits = LimitsOf(Models(), modelIndex);
    const std::int64_t area = std::int64_t{g.Width} * g.Height;
    if (g.Width < 0 || g.Height < 0 || g.Width > limits.MaxWidth || g.Height > limits.MaxHeight ||
        area > limits.MaxArea) {
        // The length word and the one-byte header fields only hold sizes within
        // the printer's limits; a conversion never exceeds them.
        throw EInvalidOperation("The logo size " + std::to_string(g.Width) + " x " +
                                std::to_string(g.Height) + " does not fit the printer " +
                                Models()[static_cast<std::size_t>(modelIndex)].Name);
    }
}

// One dot: the canvas is asked for anew each time, and only an exact 0 is black.
inline unsigned Dot(TImage& target, std::int32_t x, std::int32_t y) {
    return target.EnsureCanvas().ReadPixel(x, y) == clBlack ? 1u : 0u;
}

// Bits per pixel of the target's raster when EnsureCanvas will hand back an
// existing canvas and ReadPixel will change nothing; 0 otherwise.
inline int SettledBitCount(TImage& target) {
    TGraphic* graphic = target.Picture().Graphic();
    if (!graphic || graphic->Kind() != GraphicKind::Bitmap) return 0;
    auto* bitmap = static_cast<TBitmap*>(graphic);
    if (!bitmap->HasCanvas() || !bitmap->Canvas().HasContext()) return 0;
    return bitmap->Image().BitCount();
}

[[noreturn]] void ThrowTargetChanged() {
    throw EInvalidOperation("The target image changed while its logo was being read");
}

// The same dot, once the first byte has set up the canvas, for a raster of
// kBits bits per pixel. The check repeats what EnsureCanvas and ReadPixel
// look at, so the compiler drops the branches that would create a bitmap, a
// canvas or a drawing context, and the other formats' cases, and sees that
// nothing in the dot loop can change the picture, canvas or raster: a dot
// then costs a bounds check and a load. Reading changes none of them, so the
// throw is never reached.
// kBits 0 is the plain path, for any other raster.
template <int kBits> inline unsigned SettledDot(TImage& target, std::int32_t x, std::int32_t y) {
    if constexpr (kBits != 0) {
        if (SettledBitCount(target) != kBits) [[unlikely]]
            ThrowTargetChanged();
    }
    return Dot(target, x, y);
}

// Bytes are gathered in a local buffer first: a store into the output could,
// for all the compiler knows, change the image.
constexpr std::int32_t kChunk = 128;

// Lines are columns (models 0 to 2: bands of 8 dots top to bottom) or rows
// (model 3: bands of 8 dots left to right). Fills bytes from line `line`,
// band `band` on.
template <bool kRows, int kBits>
void EncodeSettled(std::uint8_t* out, TImage& target, std::int32_t line, std::int32_t band,
                   std::int32_t lines, std::int32_t bands) {
    std::uint8_t chunk[kChunk];
    for (; line < lines; ++line, band = 0) {
        std::uint8_t* lineOut =
            out + static_cast<std::size_t>(line) * static_cast<std::size_t>(bands);
        for (std::int32_t first = band; first < bands; first += kChunk) {
            // Also before the loop, so that the fields are known on entry.
            if constexpr (kBits != 0) {
                if (SettledBitCount(target) != kBits) [[unlikely]]
                    ThrowTargetChanged();
            }
            const std::int32_t count = std::min(kChunk, bands - first);
            for (std::int32_t j = 0; j < count; ++j) {
                const std::int32_t start = 8 * (first + j);
                unsigned byte = 0;
                for (std::int32_t i = 0; i < 8; ++i) { // dot i goes to bit 7 - i
                    const unsigned dot = kRows ? SettledDot<kBits>(target, start + i, line)
                                               : SettledDot<kBits>(target, line, start + i);
                    byte = (byte << 1) | dot;
                }
                chunk[j] = static_cast<std::uint8_t>(byte);
            }
            std::memcpy(lineOut + first, chunk, static_cast<std::size_t>(count));
        }
    }
}

// The pixel path (canvas, raster, format) is inlined whole into the loops.
#if defined(__GNUC__)
#define TLC_FLATTEN __attribute__((flatten))
#else
#define TLC_FLATTEN
#endif

template <bool kRows>
TLC_FLATTEN void EncodeLines(std::uint8_t* out, TImage& target, std::int32_t lines,
                             std::int32_t bands) {
    if (lines <= 0 || bands <= 0) return;
    // The first byte goes the plain way: its first dot may turn an empty
    // picture into a bitmap, create the canvas, or be refused.
    unsigned first = 0;
    for (std::int32_t i = 0; i < 8; ++i)
        first = (first << 1) | (kRows ? Dot(target, i, 0) : Dot(target, 0, i));
    out[0] = static_cast<std::uint8_t>(first);

    const std::int32_t line = bands > 1 ? 0 : 1;
    const std::int32_t band = bands > 1 ? 1 : 0;
    switch (SettledBitCount(target)) {
    case 1:
        return EncodeSettled<kRows, 1>(out, target, line, band, lines, bands);
    case 4:
        return EncodeSettled<kRows, 4>(out, target, line, band, lines, bands);
    case 8:
        return EncodeSettled<kRows, 8>(out, target, line, band, lines, bands);
    case 16:
        return EncodeSettled<kRows, 16>(out, target, line, band, lines, bands);
    case 24:
        return EncodeSettled<kRows, 24>(out, target, line, band, lines, bands);
    case 32:
        return EncodeSettled<kRows, 32>(out, target, line, band, lines, bands);
    default:
        return EncodeSettled<kRows, 0>(out, target, line, band, lines, bands);
    }
}

} // namespace

std::size_t LogoHeaderLength(int modelIndex) {
    static constexpr std::size_t kLengths[kPrinterModelCount] = {7, 4, 8, 8};
    if (!IsValidPrinterIndex(modelIndex))
        throw EInvalidOperation("No printer model " + std::to_string(modelIndex));
    return kLengths[modelIndex];
}

std::vector<std::uint8_t> EncodeLogo(int modelIndex, const LogoGeometry& geometry, TImage& target) {
    const std::size_t k = LogoHeaderLength(modelIndex);
    CheckFits(modelIndex, geometry);

    const std::int32_t w = geometry.Width;
    const std::int32_t h = geometry.Height;
    const std::int32_t dotBytes = w * h / 8;
    const auto length = static_cast<std::uint16_t>(dotBytes + static_cast<std::int32_t>(k));
    const std::int32_t x = w / 8;
    const std::int32_t y = h / 8;
    const auto lo = [](std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    const auto hi = [](std::int32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); };

    // The loops take their bounds from the geometry with truncating division,
    // so sizes that are not multiples of 8 still read only whole bands.
    const bool rowOrder = modelIndex == 3;
    const std::int32_t lines = rowOrder ? h : w;
    const std::int32_t bands = rowOrder ? w / 8 : h / 8;
    const std::size_t dotCount = static_cast<std::size_t>(lines) * static_cast<std::size_t>(bands);

    std::vector<std::uint8_t> out;
    out.reserve(2 + k + dotCount);
    out.push_back(static_cast<std::uint8_t>(length & 0xFF));
    out.push_back(static_cast<std::uint8_t>(length >> 8));
    switch (modelIndex) {
    case 0: // FS q 1 xL xH yL yH
        out.insert(out.end(), {0x1C, 0x71, 0x01, lo(x), hi(x), lo(y), hi(y)});
        break;
    case 1: // GS * x y
        out.insert(out.end(), {0x1D, 0x2A, lo(x), lo(y)});
        break;
    case 2: // ESC FS q 1 xL xH yL yH
        out.insert(out.end(), {0x1B, 0x1C, 0x71, 0x01, lo(x), hi(x), lo(y), hi(y)});
        break;
    default: // ESC # 1 GS * 1 x y
        out.insert(out.end(), {0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01, lo(x), lo(y)});
        break;
    }

    const std::size_t headerEnd = out.size();
    out.resize(headerEnd + dotCount);
    if (rowOrder)
        EncodeLines<true>(out.data() + headerEnd, target, lines, bands);
    else
        EncodeLines<false>(out.data() + headerEnd, target, lines, bands);
    return out;
}

} // namespace tlc
