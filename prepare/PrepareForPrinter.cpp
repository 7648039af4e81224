#include "prepare/PrepareForPrinter.h"

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
    hints.Notes = &result.Notes;
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
    load(picture, hints);
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
