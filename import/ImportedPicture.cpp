#include "import/ImportedPicture.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "base/Exceptions.h"
#include "base/Paths.h"
#include "image/FileBytes.h"
#include "image/FileFormats.h"
#include "image/Picture.h"
#include "image/PictureFile.h"
#include "import/ColourProfile.h"
#include "import/Orientation.h"
#include "import/PictureMetadata.h"

namespace tlc {

ImportFormat SniffImportFormat(std::span<const std::uint8_t> head) {
    auto startsWith = [&](const char* magic, std::size_t at = 0, std::size_t n = 0) {
        if (n == 0) n = std::strlen(magic);
        return head.size() >= at + n && std::memcmp(head.data() + at, magic, n) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1a\n")) return ImportFormat::Png;
    if (startsWith("\xFF\xD8\xFF")) return ImportFormat::Jpeg;
    if (startsWith("GIF87a") || startsWith("GIF89a")) return ImportFormat::Gif;
    if (startsWith("RIFF") && startsWith("WEBP", 8)) return ImportFormat::Webp;
    if (startsWith("II*\0", 0, 4) || startsWith("MM\0*", 0, 4)) return ImportFormat::Tiff;
    return ImportFormat::None;
}

const char* ImportFormatName(ImportFormat format) {
    switch (format) {
    case ImportFormat::Png: return "PNG";
    case ImportFormat::Jpeg: return "JPEG";
    case ImportFormat::Gif: return "GIF";
    case ImportFormat::Webp: return "WebP";
    case ImportFormat::Tiff: return "TIFF";
    case ImportFormat::None: break;
    }
    return "";
}

std::string FramesNotice(ImportFormat format, const ImportNotes& notes) {
    if (notes.Frames <= 1) return {};
    return std::string(notes.Animated ? "animated " : "multi-page ") + ImportFormatName(format) +
           ": only its first " + (notes.Animated ? "frame" : "page") + " is converted";
}

namespace {

std::shared_ptr<TBitmapImage> DecodeFormat(ImportFormat format, std::span<const std::uint8_t> bytes,
                                           const ImportHints& hints) {
    switch (format) {
    case ImportFormat::Png: return DecodePngFile(bytes, hints);
    case ImportFormat::Jpeg: return DecodeJpegFile(bytes, hints);
    case ImportFormat::Gif: return DecodeGifFile(bytes, hints);
    case ImportFormat::Webp: return DecodeWebpFile(bytes, hints);
    case ImportFormat::Tiff: return DecodeTiffFile(bytes, hints);
    case ImportFormat::None: break;
    }
    throw EInvalidGraphic("Not a PNG, JPEG, GIF, WebP or TIFF file");
}

} // namespace

std::shared_ptr<TBitmapImage> DecodeImportedPicture(std::span<const std::uint8_t> bytes,
                                                    const ImportHints& hints) {
#ifdef _WIN32
    // The imaging component turns the picture and composes it itself.
    return DecodeFormat(SniffImportFormat(bytes), bytes, hints);
#else
    const ImportFormat format = SniffImportFormat(bytes);
    const PictureMetadata metadata = ReadPictureMetadata(format, bytes);
    ImportHints asked = hints;
    asked.Metadata = &metadata;
    const int orientation = metadata.Orientation;
    const bool swaps = SwapsAxes(orientation);
    PictureCrop stored;
    if (orientation != 1) {
        if (hints.Crop) {
            // The corner shown top left lies at another corner of the stored
            // picture: of the stored part the reader can keep (its top rows,
            // its left columns), only what borders that corner is cut.
            const bool left = orientation == 4 || orientation == 5 || orientation == 6;
            const bool top = orientation == 2 || orientation == 5 || orientation == 8;
            const std::int32_t across = swaps ? hints.Crop->Height : hints.Crop->Width;
            const std::int32_t down = swaps ? hints.Crop->Width : hints.Crop->Height;
            if (left) stored.Width = across;
            if (top) stored.Height = down;
            asked.Crop = &stored;
        }
        if (swaps && hints.ScaledSize)
            asked.ScaledSize = [&](std::int32_t w, std::int32_t h) {
                const auto [sw, sh] = hints.ScaledSize(h, w);
                return std::pair{sh, sw};
            };
    }
    const bool hasProfile = !metadata.Profile.empty() || metadata.CompressedPngProfile;
    PictureCrop whole;
    if (hasProfile && asked.Crop && asked.Crop->ScaleTo) {
        // Colours turn before averaging (the profile is not linear), so such
        // a picture is read whole and scaled after.
        asked.Crop = &whole;
    }
    std::shared_ptr<TBitmapImage> raster = DecodeFormat(format, bytes, asked);

    // Colours first, as the file stores them, then the turn.
    bool profileApplied = metadata.ProfileApplied;
    if (!profileApplied) {
        std::vector<std::uint8_t> pngProfile;
        std::span<const std::uint8_t> profile = metadata.Profile;
        if (metadata.CompressedPngProfile) profile = pngProfile = PngProfile(bytes);
        if (!profile.empty()) profileApplied = import::ConvertToSrgb(*raster, profile);
    }
    raster = import::Orient(std::move(raster), orientation);
    if (asked.Crop == &whole && whole.PictureWidth > 0) {
        hints.Crop->PictureWidth = whole.PictureWidth;
        hints.Crop->PictureHeight = whole.PictureHeight;
    }
    if (asked.Crop == &stored && stored.PictureWidth > 0) {
        hints.Crop->PictureWidth = swaps ? stored.PictureHeight : stored.PictureWidth;
        hints.Crop->PictureHeight = swaps ? stored.PictureWidth : stored.PictureHeight;
    }
    if (hints.Notes) {
        hints.Notes->Orientation = orientation;
        hints.Notes->ProfileApplied = profileApplied;
        hints.Notes->Frames = metadata.Frames;
        hints.Notes->Animated = metadata.Animated;
    }
    return raster;
#endif
}

namespace {

std::string SystemWords(int error) { return std::error_code(error, std::generic_category()).message(); }

// The first bytes of a picture file, or why it is not a file that can be
// read, in the system's words: missing, a folder, a pipe or a device (never
// opened so as to wait on it), unreadable, empty.
struct Head {
    std::vector<std::uint8_t> Bytes;
    std::string Why; // set: the file cannot be read
};

Head ReadHead(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathFromUtf8(fileName), ec);
    if (ec) return {{}, ec.message()};
    switch (status.type()) {
    case fs::file_type::regular: break;
    case fs::file_type::directory: return {{}, SystemWords(EISDIR)};
    case fs::file_type::fifo: return {{}, "a named pipe, not a file (- reads standard input)"};
    case fs::file_type::character:
    case fs::file_type::block: return {{}, "a device, not a file"};
    default: return {{}, "not a regular file"};
    }
    errno = 0;
    std::uint64_t size = 0;
    const ReadHandle file = OpenPlainFileForReading(fileName, size);
    if (file < 0) return {{}, errno != 0 ? SystemWords(errno) : "not a regular file"};
    Head head;
    head.Bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, 64)));
    const ByteRun run{head.Bytes.data(), head.Bytes.size()};
    const std::int64_t got = head.Bytes.empty() ? 0 : ReadRunsAt(file, 0, &run, 1);
    const int readError = errno;
    CloseReadHandle(file);
    if (got < 0) return {{}, SystemWords(readError)};
    head.Bytes.resize(static_cast<std::size_t>(got));
    if (head.Bytes.empty()) head.Why = "the file is empty";
    return head;
}

// The format a file's name promises, for a damaged file's message.
ImportFormat FormatByExtension(const std::string& fileName) {
    std::string ext = PictureFileExtension(fileName);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "png" || ext == "apng") return ImportFormat::Png;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif") return ImportFormat::Jpeg;
    if (ext == "gif") return ImportFormat::Gif;
    if (ext == "webp") return ImportFormat::Webp;
    if (ext == "tif" || ext == "tiff") return ImportFormat::Tiff;
    return ImportFormat::None;
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
    const Head head = ReadHead(fileName);
    const ImportFormat format = head.Why.empty() ? SniffImportFormat(head.Bytes) : ImportFormat::None;
    if (format == ImportFormat::None) {
        // The window's own formats keep the window's reader and its messages.
        if (TFileFormatsList::Instance().FindByExtension(PictureFileExtension(fileName))) {
            picture.LoadFile(fileName, hints.Crop);
            return format;
        }
        if (!head.Why.empty()) throw EFOpenError(head.Why);
        if (const ImportFormat named = FormatByExtension(fileName); named != ImportFormat::None) {
            // A picture of the window's own kinds under another name is still read.
            if (const auto kind = SniffGraphicKind(head.Bytes)) {
                picture.Install(ReadGraphicFile(*kind, fileName, hints.Crop));
                return ImportFormat::None;
            }
            throw EInvalidGraphic(std::string(ImportFormatName(named)) +
                                  " file damaged: its first bytes are not those of a " +
                                  ImportFormatName(named) + " file");
        }
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
