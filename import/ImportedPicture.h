#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureCrop.h"

namespace tlc {

class TPicture;
struct PictureMetadata;

// Picture formats the command line reads besides the window's own.
enum class ImportFormat { None, Png, Jpeg, Gif, Webp, Tiff };

// The format that a file's first bytes announce (PNG signature, JPEG SOI
// marker, "GIF87a"/"GIF89a", RIFF...WEBP, "II*\0"/"MM\0*"); None for
// anything else.
ImportFormat SniffImportFormat(std::span<const std::uint8_t> head);

// "PNG", "JPEG", "GIF", "WebP", "TIFF".
const char* ImportFormatName(ImportFormat format);

// What reading a picture found that its pixels alone do not show.
struct ImportNotes {
    int Orientation = 1;         // EXIF / TIFF, applied
    bool ProfileApplied = false; // an embedded colour profile turned to sRGB
    int Frames = 1;              // more: only the first was read
    bool Animated = false;       // the frames are an animation, not pages
};

// One line for a picture of several frames ("animated GIF: only its first
// frame is converted"), empty for one frame.
std::string FramesNotice(ImportFormat format, const ImportNotes& notes);

// What the caller will do with the picture. A reader that can decode at a
// reduced size for free (JPEG's scaled DCT) may do so when it still gives at
// least twice the size the caller will scale down to.
struct ImportHints {
    // Given the picture's size, the size it will be scaled down to; unset:
    // full size wanted.
    std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t, std::int32_t)> ScaledSize;
    // Set: only the picture's top-left part is wanted (see PictureCrop); the
    // readers stop after its last row and keep only its columns. With its
    // ScaleTo set, the picture is wanted scaled down instead: the PNG, JPEG
    // and GIF readers scale it row by row as they decode.
    PictureCrop* Crop = nullptr;
    // Set by DecodeImportedPicture for the reader: what the file says
    // besides its pixels (the JPEG reader turns CMYK through its profile).
    const PictureMetadata* Metadata = nullptr;
    // Set: filled in with what the file says besides its pixels.
    ImportNotes* Notes = nullptr;
};


// Decodes a picture of one of the formats into a 24-bit raster, rows top
// first, with transparent and partly transparent pixels composed over white,
// its colours turned to sRGB by its colour profile and turned the way its
// orientation says (of a crop, the reader is asked for what it can keep of
// the stored corner that becomes the top-left one). A damaged file raises EInvalidGraphic "<format> file damaged: <what>";
// a picture above the raster cap raises EOutOfResources naming the format and
// size, before its raster is allocated.
std::shared_ptr<TBitmapImage> DecodeImportedPicture(std::span<const std::uint8_t> bytes,
                                                    const ImportHints& hints = {});

std::shared_ptr<TBitmapImage> DecodePngFile(std::span<const std::uint8_t> bytes,
                                            const ImportHints& hints = {});
std::shared_ptr<TBitmapImage> DecodeJpegFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints = {});
std::shared_ptr<TBitmapImage> DecodeGifFile(std::span<const std::uint8_t> bytes,
                                            const ImportHints& hints = {});
std::shared_ptr<TBitmapImage> DecodeWebpFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints = {});
std::shared_ptr<TBitmapImage> DecodeTiffFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints = {});
// The ICC profile of a PNG's iCCP chunk, inflated; empty when it has none
// or it cannot be read.
std::vector<std::uint8_t> PngProfile(std::span<const std::uint8_t> bytes);

// Installs the picture held in `bytes` when it is one of the formats above
// (and returns its format); returns None and leaves `picture` alone otherwise.
ImportFormat InstallImportedPicture(TPicture& picture, std::span<const std::uint8_t> bytes,
                                    const ImportHints& hints = {});

// Loads a picture for the command line: the formats above by content,
// anything else through TPicture::LoadFile with the window's readers and
// messages (and the hints' crop). Returns the format read (None: the
// window's reader). Unless its extension is one of the window's formats
// (whose messages stay), a file that cannot be read raises EFOpenError with
// the cause in the system's words (missing, a folder, no permission), a pipe
// or a device is refused without waiting on it, an empty file says so, and
// a .png/.jpg/.gif/.webp/.tif that is none raises "<format> file damaged".
ImportFormat LoadPictureByContent(TPicture& picture, const std::string& fileName,
                                  const ImportHints& hints = {});

} // namespace tlc
