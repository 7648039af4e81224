#include "cli/PrintFit.h"

#include <algorithm>

#include "logo/Conversion.h"

namespace tlc {

PictureSize FitPictureSize(std::int32_t width, std::int32_t height, const PrinterLimits& limits,
                           std::int32_t maxWidth) {
    if (width <= 0 || height <= 0 || limits.MaxWidth <= 0) return {width, height};
    std::int32_t start = std::min(width, limits.MaxWidth);
    if (maxWidth > 0) start = std::min(start, maxWidth);
    // At most MaxWidth steps of a few multiplications: a search would gain nothing.
    for (std::int32_t w = start; w >= 1; --w) {
        const std::int64_t scaled = (std::int64_t{height} * w * 2 + width) / (std::int64_t{width} * 2);
        const auto h = static_cast<std::int32_t>(std::max<std::int64_t>(1, scaled));
        const LogoGeometry g = FitGeometry(w, h, limits);
        if (g.Width >= w && g.Height >= h) return {w, h};
    }
    return {1, 1};
}

std::int32_t PrintableWidth(int model) {
    switch (model) {
    // Epson TM-T88III series Specification (STANDARD), 1.1 Printing
    // Specifications: on 80 mm paper the print width is 72 mm, 512 dots.
    case 0: return 512;
    // The other makers' printable widths are not figures we hold a published
    // source for; the model table's limits stand for them.
    default: return 0;
    }
}

std::string PrintWidthWarning(const TPrinterModels& models, int model, std::int32_t logoWidth) {
    const std::int32_t printable = IsValidPrinterIndex(model) ? PrintableWidth(model) : 0;
    if (printable <= 0 || logoWidth <= printable) return {};
    return models[static_cast<std::size_t>(model)].Name + " prints " + std::to_string(printable) +
           " dots across: columns " + std::to_string(printable) + " to " + std::to_string(logoWidth - 1) +
           " of this " + std::to_string(logoWidth) + "-dot logo will not print";
}

} // namespace tlc
