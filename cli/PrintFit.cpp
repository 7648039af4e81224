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

#include "image/Bitmap.h"

namespace tlc {

PreparedPicture LoadForPrinter(TPicture& picture, const std::string& fileName,
                               const PrinterLimits& limits, const PrepareOptions& options) {
    PreparedPicture result;
    std::optional<PictureSize> target;
    ImportHints hints;
    if (options.Fit)
        hints.ScaledSize = [&](std::int32_t w, std::int32_t h) {
            // Kept from the full size, so that a reader that decodes smaller
            // still ends at the size the full picture fits to.
            result.Original = {w, h};
            target = FitPictureSize(w, h, limits, options.MaxWidth);
            return std::pair{target->Width, target->Height};
        };
    result.Format = LoadPictureByContent(picture, fileName, hints);
    if (!target) result.Original = {picture.Width(), picture.Height()};

    auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
    if (!bitmap || !bitmap->Image().HasRaster()) return result;
    std::shared_ptr<TBitmapImage> image = bitmap->SharedImage();
    if (options.Fit) {
        if (!target) target = FitPictureSize(result.Original.Width, result.Original.Height, limits, options.MaxWidth);
        if (target->Width < image->Width() || target->Height < image->AbsHeight()) {
            image = ScaleDown(*image, std::min(target->Width, image->Width()),
                              std::min(target->Height, image->AbsHeight()));
            result.Scaled = true;
        }
    }
    if (options.Dither) image = Dither(*image, *options.Dither);
    if (image != bitmap->SharedImage()) {
        auto fresh = std::make_unique<TBitmap>();
        fresh->SetImage(std::move(image));
        picture.Install(std::move(fresh));
    }
    return result;
}

} // namespace tlc
