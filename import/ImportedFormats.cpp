#include "import/ImportedFormats.h"

#include "image/Bitmap.h"
#include "image/FileBytes.h"
#include "image/FileFormats.h"
#include "image/Picture.h"

namespace tlc {

const std::vector<ImportedFormatInfo>& ImportedFormats() {
    static const std::vector<ImportedFormatInfo> formats = {
        {ImportFormat::Png, "PNG Pictures", {"png"}},
        {ImportFormat::Jpeg, "JPEG Pictures", {"jpg", "jpeg"}},
        {ImportFormat::Gif, "GIF Pictures", {"gif"}},
        {ImportFormat::Webp, "WebP Pictures", {"webp"}},
        {ImportFormat::Tiff, "TIFF Pictures", {"tif", "tiff"}},
    };
    return formats;
}

ImportFormat ImportFormatOfExtension(const std::string& extension) {
    const std::string lower = LowerCaseExtension(extension);
    for (const ImportedFormatInfo& info : ImportedFormats())
        for (std::string_view e : info.Extensions)
            if (e == lower) return info.Format;
    return ImportFormat::None;
}

namespace {

std::shared_ptr<TBitmapImage> DecodeAs(ImportFormat format, std::span<const std::uint8_t> bytes,
                                       const ImportHints& hints) {
    // Known by content: read as the command line reads it (orientation and
    // colour profile included).
    if (SniffImportFormat(bytes) != ImportFormat::None) return DecodeImportedPicture(bytes, hints);
    // Otherwise the reader its name promises says what is wrong.
    switch (format) {
    case ImportFormat::Png:
        return DecodePngFile(bytes, hints);
    case ImportFormat::Jpeg:
        return DecodeJpegFile(bytes, hints);
    case ImportFormat::Gif:
        return DecodeGifFile(bytes, hints);
    case ImportFormat::Webp:
        return DecodeWebpFile(bytes, hints);
    case ImportFormat::Tiff:
        return DecodeTiffFile(bytes, hints);
    case ImportFormat::None:
        break;
    }
    return DecodeImportedPicture(bytes, hints);
}

} // namespace

void InstallImportedFile(TPicture& picture, std::span<const std::uint8_t> bytes,
                         ImportFormat byExtension, const ImportHints& hints) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(DecodeAs(byExtension, bytes, hints));
    picture.Install(std::move(bitmap));
}

void RegisterImportedFormats() {
    std::vector<TFileFormatsList::Entry> entries;
    for (const ImportedFormatInfo& info : ImportedFormats())
        for (std::string_view extension : info.Extensions) {
            const ImportFormat format = info.Format;
            entries.push_back(
                {std::string(extension), std::string(info.Description), GraphicKind::Bitmap,
                 [format](const std::string& fileName, PictureCrop* crop) {
                     ImportHints hints;
                     hints.Crop = crop;
                     auto bitmap = std::make_unique<TBitmap>();
                     bitmap->SetImage(DecodeAs(format, ReadFileBytes(fileName), hints));
                     return std::unique_ptr<TGraphic>(std::move(bitmap));
                 }});
        }
    TFileFormatsList::RegisterFormats(entries);
}

} // namespace tlc
