#include "image/PictureFile.h"

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/BitmapFile.h"
#include "image/FileBytes.h"
#include "image/FileFormats.h"
#include "image/Icon.h"
#include "image/IconFile.h"
#include "image/Metafile.h"
#include "image/MetafileFile.h"
#include "image/Picture.h"
#include "image/SvgFile.h"

namespace tlc {

std::string PictureFileExtension(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos) return {};
    // "/" as well as "\": on this platform a folder named "pictures.old" must
    // not give an extension either.
    if (fileName.find_first_of("\\/:", dot + 1) != std::string::npos) return {};
    return fileName.substr(dot + 1);
}

namespace {

// The size of a graphic its reader did not cut.
std::unique_ptr<TGraphic> NoteWhole(std::unique_ptr<TGraphic> graphic, PictureCrop* crop) {
    if (crop) {
        crop->PictureWidth = graphic->Width();
        crop->PictureHeight = graphic->Height();
    }
    return graphic;
}

} // namespace

std::unique_ptr<TGraphic> ReadGraphicFile(GraphicKind kind, const std::string& fileName,
                                          PictureCrop* crop) {
    if (kind == GraphicKind::Bitmap) {
        // Header checked first, then rows straight from the file into the raster.
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(ReadBitmapFile(fileName, crop));
        return bitmap;
    }
    return DecodeGraphic(kind, ReadFileBytes(fileName), crop);
}

std::unique_ptr<TGraphic> DecodeGraphic(GraphicKind kind, std::span<const std::uint8_t> bytes,
                                        PictureCrop* crop) {
    switch (kind) {
    case GraphicKind::Bitmap: {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(DecodeBitmapFile(bytes, crop));
        return bitmap;
    }
    case GraphicKind::Icon: {
        auto icon = std::make_unique<TIcon>();
        icon->SetImage(DecodeIconFile(bytes));
        return NoteWhole(std::move(icon), crop);
    }
    case GraphicKind::Metafile: {
        auto metafile = std::make_unique<TMetafile>();
        metafile->SetImage(DecodeMetafileFile(bytes));
        return NoteWhole(std::move(metafile), crop);
    }
    }
    throw EInvalidGraphic("Unknown picture file extension (.)");
}

std::optional<GraphicKind> SniffGraphicKind(std::span<const std::uint8_t> b) {
    constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return GraphicKind::Bitmap;
    if (b.size() >= 4 && LoadLE32(b.data()) == kPlaceableKey) return GraphicKind::Metafile;
    if (b.size() >= 44 && LoadLE32(b.data()) == 1 && b[40] == ' ' && b[41] == 'E' &&
        b[42] == 'M' && b[43] == 'F')
        return GraphicKind::Metafile;
    if (b.size() >= 4 && LoadLE16(b.data()) == 0 && LoadLE16(b.data() + 2) == 1)
        return GraphicKind::Icon;
    if (LooksLikeSvg(b)) return GraphicKind::Metafile;
    return std::nullopt;
}

void TPicture::LoadFile(const std::string& fileName, PictureCrop* crop) {
    const std::string extension = PictureFileExtension(fileName);
    const auto* format = TFileFormatsList::Instance().FindEntry(extension);
    if (!format) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
    // Read fully first: a failure leaves the old graphic in place.
    Install(format->Reader ? format->Reader(fileName, crop)
                           : ReadGraphicFile(format->Kind, fileName, crop));
}

} // namespace tlc
