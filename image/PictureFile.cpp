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

namespace tlc {

std::string PictureFileExtension(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos) return {};
    // "/" as well as "\": on this platform a folder named "pictures.old" must
    // not give an extension either.
    if (fileName.find_first_of("\\/:", dot + 1) != std::string::npos) return {};
    return fileName.substr(dot + 1);
}

std::unique_ptr<TGraphic> ReadGraphicFile(GraphicKind kind, const std::string& fileName) {
    if (kind == GraphicKind::Bitmap) { // its header is checked before the rest is read
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(ReadBitmapFile(fileName));
        return bitmap;
    }
    return DecodeGraphic(kind, ReadFileBytes(fileName));
}

std::unique_ptr<TGraphic> DecodeGraphic(GraphicKind kind, std::span<const std::uint8_t> bytes) {
    switch (kind) {
    case GraphicKind::Bitmap: {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(DecodeBitmapFile(bytes));
        return bitmap;
    }
    case GraphicKind::Icon: {
        auto icon = std::make_unique<TIcon>();
        icon->SetImage(DecodeIconFile(bytes));
        return icon;
    }
    case GraphicKind::Metafile: {
        auto metafile = std::make_unique<TMetafile>();
        metafile->SetImage(DecodeMetafileFile(bytes));
        return metafile;
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
    return std::nullopt;
}

void TPicture::LoadFile(const std::string& fileName) {
    const std::string extension = PictureFileExtension(fileName);
    const auto kind = TFileFormatsList::Instance().FindByExtension(extension);
    if (!kind) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
    // Read fully first: a failure leaves the old graphic in place.
    Install(ReadGraphicFile(*kind, fileName));
}

} // namespace tlc
