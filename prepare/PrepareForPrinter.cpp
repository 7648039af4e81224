#include "prepare/PrepareForPrinter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/Bitmap.h"
#include "image/Metafile.h"
#include "prepare/MetafileDrawing.h"

namespace tlc {

PreparedPicture LoadForPrinter(TPicture& picture, const std::string& fileName,
                               const PrinterLimits& limits, const PrepareOptions& options) {
    return LoadForPrinter(
        picture,
        [&](TPicture& p, const ImportHints& hints) { return LoadPictureByContent(p, fileName, hints); },
        limits, options);
}

namespace {

// A vector picture has no size of its own to keep: fitted, it is drawn as
// large as the printer's logo holds it (and --width allows), its proportions
// kept; otherwise at its own size in screen pixels.
PictureSize VectorFitSize(const PictureSize& own, const PrinterLimits& limits, std::int32_t maxWidth) {
    if (own.Width <= 0 || own.Height <= 0 || limits.MaxWidth <= 0 || limits.MaxHeight <= 0) return own;
    const double grow = std::max({1.0, double(limits.MaxWidth) / own.Width, double(limits.MaxHeight) / own.Height});
    const auto w = static_cast<std::int32_t>(std::ceil(own.Width * grow));
    const auto h = static_cast<std::int32_t>(std::ceil(own.Height * grow));
    return FitPictureSize(w, h, limits, maxWidth);
}

} // namespace

PreparedPicture LoadForPrinter(TPicture& picture, const PictureLoader& load, const PrinterLimits& limits,
                               const PrepareOptions& options) {
    PreparedPicture result;
    std::optional<PictureSize> target;
    ImportHints hints;
    hints.Notes = &result.Notes;
    PictureCrop crop;
    if (options.Fit) {
        // Kept from the full size, so that a reader that decodes smaller
        // still ends at the size the full picture fits to.
        hints.ScaledSize = [&](std::int32_t w, std::int32_t h) {
            result.Original = {w, h};
            target = FitPictureSize(w, h, limits, options.MaxWidth);
            return std::pair{std::min(target->Width, w), std::min(target->Height, h)};
        };
        // The readers scale row by row as they decode, so that a picture
        // too large to hold still fits; one that cannot gives it whole.
        crop.ScaleTo = hints.ScaledSize;
        hints.Crop = &crop;
    } else if (limits.MaxWidth > 0 && limits.MaxHeight > 0) {
        // Without scaling or dithering the conversion reads no dot beyond
        // the printer's largest logo: the readers keep only that corner.
        if (!options.Dither) {
            crop.Width = limits.MaxWidth;
            crop.Height = limits.MaxHeight;
            hints.Crop = &crop;
        }
    }
    load(picture, hints);
    if (crop.PictureWidth > 0 && !target)
        result.Original = {crop.PictureWidth, crop.PictureHeight};
    else if (!target)
        result.Original = {picture.Width(), picture.Height()};

    if (const auto* metafile = dynamic_cast<const TMetafile*>(picture.Graphic())) {
        const PictureSize own{metafile->Width(), metafile->Height()};
        const PictureSize size = options.Fit ? VectorFitSize(own, limits, options.MaxWidth) : own;
        auto drawn = std::make_unique<TBitmap>();
        drawn->SetImage(DrawMetafile(metafile->Image(), size.Width, size.Height));
        picture.Install(std::move(drawn));
        result.Original = own;
        result.Scaled = size != own;
        target = size; // drawn at it: nothing left to scale
    }

    auto* bitmap = dynamic_cast<TBitmap*>(picture.Graphic());
    if (!bitmap || !bitmap->Image().HasRaster()) return result;
    std::shared_ptr<TBitmapImage> image = bitmap->SharedImage();
    if (options.Fit) {
        if (!target) target = FitPictureSize(result.Original.Width, result.Original.Height, limits, options.MaxWidth);
        const std::int32_t width = std::min(target->Width, result.Original.Width);
        const std::int32_t height = std::min(target->Height, result.Original.Height);
        if (width < result.Original.Width || height < result.Original.Height) {
            // Scaled by the reader, or here from the whole picture.
            if (image->Width() != width || image->AbsHeight() != height)
                image = ScaleDown(*image, std::min(width, image->Width()), std::min(height, image->AbsHeight()));
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
