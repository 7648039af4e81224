#include "import/ImportedPicture.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/Exceptions.h"
#include "image/FileBytes.h"
#include "image/Picture.h"

namespace tlc {

ImportFormat SniffImportFormat(std::span<const std::uint8_t> head) {
    auto startsWith = [&](const char* magic, std::size_t at = 0) {
        const std::size_t n = std::strlen(magic);
        return head.size() >= at + n && std::memcmp(head.data() + at, magic, n) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n")) return ImportFormat::Png;
    if (startsWith("\xFF\xD8\xFF")) return ImportFormat::Jpeg;
    if (startsWith("GIF87a") || startsWith("GIF89a")) return ImportFormat::Gif;
    if (startsWith("RIFF") && startsWith("WEBP", 8)) return ImportFormat::Webp;
#ifdef _WIN32
    static constexpr std::uint8_t kTiffIntel[] = {'I', 'I', 42, 0},
                                  kTiffMotorola[] = {'M', 'M', 0, 42};
    if (head.size() >= 4 && (std::memcmp(head.data(), kTiffIntel, 4) == 0 ||
                             std::memcmp(head.data(), kTiffMotorola, 4) == 0))
        return ImportFormat::Tiff;
#endif
    return ImportFormat::None;
}

const char* ImportFormatName(ImportFormat format) {
    switch (format) {
    case ImportFormat::Png: return "PNG";
    case ImportFormat::Jpeg: return "JPEG";
    case ImportFormat::Gif: return "GIF";
    case ImportFormat::Webp: return "WebP";
    case ImportFormat::Tiff:
        return "TIFF";
    case ImportFormat::None: break;
    }
    return "";
}

std::shared_ptr<TBitmapImage> DecodeImportedPicture(std::span<const std::uint8_t> bytes,
                                                    const ImportHints& hints) {
    switch (SniffImportFormat(bytes)) {
    case ImportFormat::Png: return DecodePngFile(bytes, hints);
    case ImportFormat::Jpeg: return DecodeJpegFile(bytes, hints);
    case ImportFormat::Gif: return DecodeGifFile(bytes, hints);
    case ImportFormat::Webp: return DecodeWebpFile(bytes, hints);
#ifdef _WIN32
    case ImportFormat::Tiff:
        return DecodeTiffFile(bytes, hints);
#else
    case ImportFormat::Tiff:
        break;
#endif
    case ImportFormat::None: break;
    }
    throw EInvalidGraphic("Not a PNG, JPEG, GIF or WebP file");
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The first bytes of a file, or none when it cannot be read (the window's
// reader then gives its own message).
ImportFormat SniffFile(const std::string& fileName) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file) return ImportFormat::None;
    std::uint8_t head[12];
    const std::size_t n = std::fread(head, 1, sizeof head, file.get());
    return SniffImportFormat({head, n});
}

} // namespace

ImportFormat InstallImportedPicture(TPicture& picture, std::span<const std::uint8_t> bytes,
                                    const ImportHints& hints) {
    const ImportFormat format = SniffImportFormat(bytes);
    if (format == ImportFormat::None) return format;
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(DecodeImportedPicture(bytes, hints));
    picture.Install(std::move(bitmap));
    return format;
}

ImportFormat LoadPictureByContent(TPicture& picture, const std::string& fileName,
                                  const ImportHints& hints) {
    const ImportFormat format = SniffFile(fileName);
    if (format == ImportFormat::None) {
        picture.LoadFile(fileName, hints.Crop);
        return format;
    }
    // The file may have changed since its first bytes were read.
    const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    if (InstallImportedPicture(picture, bytes, hints) == ImportFormat::None)
        throw EInvalidGraphic(std::string(ImportFormatName(format)) + " file damaged: the file changed while it was read");
    return format;
}

} // namespace tlc
