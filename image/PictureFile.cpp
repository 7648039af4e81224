#include "image/PictureFile.h"

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/BitmapFile.h"
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
    switch (kind) {
    case GraphicKind::Bitmap: {
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetImage(ReadBitmapFile(fileName));
        return bitmap;
    }
    case GraphicKind::Icon: {
        auto icon = std::make_unique<TIcon>();
        icon->SetImage(ReadIconFile(fileName));
        return icon;
    }
    case GraphicKind::Metafile: {
        auto metafile = std::make_unique<TMetafile>();
        metafile->SetImage(ReadMetafileFile(fileName));
        return metafile;
    }
    }
    throw EInvalidGraphic("Unknown picture file extension (.)");
}

void TPicture::LoadFile(const std::string& fileName) {
    const std::string extension = PictureFileExtension(fileName);
    const auto kind = TFileFormatsList::Instance().FindByExtension(extension);
    if (!kind) throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
    // Read fully first: a failure leaves the old graphic in place.
    Install(ReadGraphicFile(*kind, fileName));
}

} // namespace tlc
