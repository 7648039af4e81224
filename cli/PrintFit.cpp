#include "cli/PrintFit.h"

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
    const std::int32_t widest = maxWidth > 0 ? std::min(limits.MaxWidth, maxWidth) : limits.MaxWidth;
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

std::int32_t PrintableWidth(int model) {
    switch (model) {
    // Epson's TM-T88III technical reference (section 1.1, printing): on
    // 80 mm paper the print width is 72 mm, 512 dots.
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
    return LoadForPrinter(
        picture,
        [&](TPicture& p, const ImportHints& hints) { return LoadPictureByContent(p, fileName, hints); },
        limits, options);
}

PreparedPicture LoadForPrinter(TPicture& picture, const PictureLoader& load, const PrinterLimits& limits,
                               const PrepareOptions& options) {
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
    // Without scaling or dithering the conversion reads no dot beyond the
    // printer's largest logo: the readers keep only that corner.
    PictureCrop crop;
    if (!options.Fit && !options.Dither && limits.MaxWidth > 0 && limits.MaxHeight > 0) {
        crop.Width = limits.MaxWidth;
        crop.Height = limits.MaxHeight;
        hints.Crop = &crop;
    }
    result.Format = load(picture, hints);
    if (crop.PictureWidth > 0)
        result.Original = {crop.PictureWidth, crop.PictureHeight};
    else if (!target)
        result.Original = {picture.Width(), picture.Height()};

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
