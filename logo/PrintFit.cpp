#include "logo/PrintFit.h"

#include <algorithm>

#include "logo/Conversion.h"

namespace tlc {

namespace {

// b * num / den rounded to the nearest, at least 1.
std::int32_t Scaled(std::int32_t b, std::int32_t num, std::int32_t den) {
    const std::int64_t v = (std::int64_t{b} * num * 2 + den) / (std::int64_t{den} * 2);
    return static_cast<std::int32_t>(std::max<std::int64_t>(1, v));
}

} // namespace

PictureSize FitPictureSize(std::int32_t width, std::int32_t height, const PrinterLimits& limits,
                           std::int32_t maxWidth) {
    if (width <= 0 || height <= 0 || limits.MaxWidth <= 0) return {width, height};
    const std::int32_t widest = std::min(limits.MaxWidth, maxWidth > 0               ? maxWidth
                                                          : limits.PrintableWidth > 0 ? limits.PrintableWidth
                                                                                      : limits.MaxWidth);
    // The logo, margin included, must hold the picture and be at most
    // `maxWidth` wide: that is the width the operator asked for.
    auto holds = [&](std::int32_t w, std::int32_t h) {
        const LogoGeometry g = FitGeometry(w, h, limits);
        return w <= widest && g.Width >= w && g.Height >= h && g.Width <= widest;
    };
    // Stepping the width alone loses height to rounding on tall pictures
    // (16 x 3000 would give 3 x 563 where 3 x 600 fits), so step each side
    // and keep the larger. At most MaxWidth + MaxHeight steps.
    PictureSize best{0, 0};
    for (std::int32_t w = std::min(width, widest); w >= 1; --w)
        if (const std::int32_t h = Scaled(height, w, width); holds(w, h)) {
            best = {w, h};
            break;
        }
    for (std::int32_t h = std::min(height, limits.MaxHeight); h >= 1; --h)
        if (const std::int32_t w = Scaled(width, h, height); w <= width && holds(w, h)) {
            if (std::int64_t{w} * h > std::int64_t{best.Width} * best.Height) best = {w, h};
            break;
        }
    return best.Width > 0 ? best : PictureSize{1, 1};
}

std::string PrintWidthWarning(int model, std::int32_t logoWidth, std::int32_t pictureColumns) {
    const std::int32_t printable = IsValidPrinterIndex(model) ? Printer(model).PrintableWidth : 0;
    const std::int32_t columns = pictureColumns < 0 ? logoWidth : std::min(pictureColumns, logoWidth);
    if (printable <= 0 || columns <= printable) return {};
    return std::string(Printer(model).Name) + " prints " + std::to_string(printable) +
           " dots across: columns " + std::to_string(printable) + " to " + std::to_string(columns - 1) +
           " of this " + std::to_string(logoWidth) + "-dot logo will not print";
}

} // namespace tlc
