#include "logo/LogoFile.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "base/LittleEndian.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

void CheckFits(int modelIndex, const LogoGeometry& g) {
    const PrinterLimits limits = LimitsOf(modelIndex);
    const std::int64_t area = std::int64_t{g.Width} * g.Height;
    if (g.Width < 0 || g.Height < 0 || g.Width > limits.MaxWidth || g.Height > limits.MaxHeight ||
        area > limits.MaxArea) {
        // The length word and the one-byte header fields only hold sizes within
        // the printer's limits; a conversion never exceeds them.
        throw EInvalidOperation("The logo size " + std::to_string(g.Width) + " x " +
                                std::to_string(g.Height) + " does not fit the printer " +
                                std::string(Printer(modelIndex).Name));
    }
}

// One dot: the canvas is asked for anew each time, and only an exact 0 is black.
inline unsigned Dot(TImage& target, std::int32_t x, std::int32_t y) {
    return target.EnsureCanvas().ReadPixel(x, y) == clBlack ? 1u : 0u;
}

// The plain way, dot by dot through the canvas.
template <bool kRows>
void EncodeDots(std::uint8_t* out, TImage& target, std::int32_t lines, std::int32_t bands) {
    for (std::int32_t line = 0; line < lines; ++line)
        for (std::int32_t band = 0; band < bands; ++band) {
            unsigned byte = 0;
            for (std::int32_t i = 0; i < 8; ++i) // dot i goes to bit 7 - i
                byte = (byte << 1) |
                       (kRows ? Dot(target, 8 * band + i, line) : Dot(target, line, 8 * band + i));
            *out++ = static_cast<std::uint8_t>(byte);
        }
}

// Lines are columns (models 0 to 2: bands of 8 dots top to bottom) or rows
// (model 3: bands of 8 dots left to right). The first dot goes through the
// canvas: it may turn an empty picture into a bitmap, create the canvas, or
// be refused. After it a read changes nothing, so the raster is read along
// its rows, eight rows for a band of columns, with the same results.
template <bool kRows>
void EncodeLines(std::uint8_t* out, TImage& target, std::int32_t lines, std::int32_t bands) {
    if (lines <= 0 || bands <= 0) return;
    Dot(target, 0, 0);
    TBitmap* settled = target.SettledBitmap(false);
    if (!settled) return EncodeDots<kRows>(out, target, lines, bands);
    const TBitmapImage& raster = settled->Image();
    if constexpr (kRows) {
        std::vector<std::uint8_t> flags(static_cast<std::size_t>(bands) * 8);
        for (std::int32_t y = 0; y < lines; ++y) {
            raster.NonBlackRow(0, y, bands * 8, flags.data());
            for (std::int32_t band = 0; band < bands; ++band) {
                // Eight flags of 0 or 1, the first to bit 7 (one 8-byte load).
                const std::uint8_t* f = flags.data() + 8 * band;
                const std::uint64_t eight = LoadLE32(f) | (std::uint64_t{LoadLE32(f + 4)} << 32);
                *out++ = static_cast<std::uint8_t>(~((eight * 0x8040201008040201ull) >> 56));
            }
        }
    } else {
        // Band b of every column comes from rows 8b to 8b + 7; column x's
        // bytes are `bands` apart in the output.
        const auto width = static_cast<std::size_t>(lines);
        std::vector<std::uint8_t> flags(width * 8);
        for (std::int32_t band = 0; band < bands; ++band) {
            for (int i = 0; i < 8; ++i)
                raster.NonBlackRow(0, 8 * band + i, lines, flags.data() + i * width);
            const std::uint8_t* f = flags.data();
            std::uint8_t* column = out + band;
            for (std::size_t x = 0; x < width; ++x, column += bands) {
                const unsigned lit8 = (f[x] << 7) | (f[width + x] << 6) | (f[2 * width + x] << 5) |
                                      (f[3 * width + x] << 4) | (f[4 * width + x] << 3) |
                                      (f[5 * width + x] << 2) | (f[6 * width + x] << 1) |
                                      f[7 * width + x];
                *column = static_cast<std::uint8_t>(~lit8);
            }
        }
    }
}

} // namespace

std::size_t LogoHeaderLength(int modelIndex) {
    if (!IsValidPrinterIndex(modelIndex))
        throw EInvalidOperation("No printer model " + std::to_string(modelIndex));
    return Printer(modelIndex).Command.HeaderLength();
}

std::vector<std::uint8_t> EncodeLogo(int modelIndex, const LogoGeometry& geometry, TImage& target) {
    const std::size_t k = LogoHeaderLength(modelIndex);
    CheckFits(modelIndex, geometry);
    const PrinterFacts& printer = Printer(modelIndex);
    const LogoCommand& command = printer.Command;

    const std::int32_t w = geometry.Width;
    const std::int32_t h = geometry.Height;
    const std::int32_t dotBytes = w * h / 8;
    const auto length = static_cast<std::uint16_t>(dotBytes + static_cast<std::int32_t>(k));
    // Within the limits X and Y fit their fields (one-byte fields: their low byte).
    const auto x = static_cast<std::uint16_t>(w / 8);
    const auto y = static_cast<std::uint16_t>(h / 8);

    // The loops take their bounds from the geometry with truncating division,
    // so sizes that are not multiples of 8 still read only whole bands.
    const std::int32_t lines = printer.RowOrder ? h : w;
    const std::int32_t bands = printer.RowOrder ? w / 8 : h / 8;
    const std::size_t dotCount = static_cast<std::size_t>(lines) * static_cast<std::size_t>(bands);

    std::vector<std::uint8_t> out(2 + k + dotCount);
    std::uint8_t* at = out.data();
    StoreLE16(at, length);
    at = std::copy_n(command.Fixed.begin(), command.FixedLength, at + 2);
    if (command.WideSizeFields) {
        StoreLE16(at, x);
        StoreLE16(at + 2, y);
    } else {
        at[0] = static_cast<std::uint8_t>(x);
        at[1] = static_cast<std::uint8_t>(y);
    }

    std::uint8_t* dots = out.data() + 2 + k;
    if (printer.RowOrder)
        EncodeLines<true>(dots, target, lines, bands);
    else
        EncodeLines<false>(dots, target, lines, bands);
    return out;
}

} // namespace tlc
