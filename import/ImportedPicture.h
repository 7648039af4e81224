#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "image/Bitmap.h"
#include "image/PictureCrop.h"

namespace tlc {

class TPicture;

// Picture formats the command line reads besides the window's own.
enum class ImportFormat { None, Png, Jpeg, Gif, Webp, Tiff };

// The format that a file's first bytes announce (PNG signature, JPEG SOI
// marker, "GIF87a"/"GIF89a", RIFF...WEBP); None for anything else.
ImportFormat SniffImportFormat(std::span<const std::uint8_t> head);

// "PNG", "JPEG", "GIF", "WebP", "TIFF".
const char* ImportFormatName(ImportFormat format);

// What the caller will do with the picture. A reader that can decode at a
// reduced size for free (JPEG's scaled DCT) may do so when it still gives at
// least twice the size the caller will scale down to.
struct ImportHints {
    // Given the picture's size, the size it will be scaled down to; unset:
    // full size wanted.
    std::function<std::pair<std::int32_t, std::int32_t>(std::int32_t, std::int32_t)> ScaledSize;
    // Set: only the picture's top-left part is wanted (see PictureCrop); the
    // readers stop after its last row and keep only its columns.
    PictureCrop* Crop = nullptr;
};

// Decodes a picture of one of the four formats into a 24-bit raster, rows
// top first, with transparent and partly transparent pixels composed over
// white. A damaged file raises EInvalidGraphic "<format> file damaged: <what>";
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
// Windows only (its imaging component); elsewhere TIFF is not recognised.
std::shared_ptr<TBitmapImage> DecodeTiffFile(std::span<const std::uint8_t> bytes,
                                             const ImportHints& hints = {});

// Installs the picture held in `bytes` when it is one of the four formats
// (and returns its format); returns None and leaves `picture` alone otherwise.
ImportFormat InstallImportedPicture(TPicture& picture, std::span<const std::uint8_t> bytes,
                                    const ImportHints& hints = {});

// Loads a picture for the command line: the four formats above by content,
// anything else through TPicture::LoadFile with the window's readers and
// messages (and the hints' crop). Returns the format read (None: the
// window's reader).
ImportFormat LoadPictureByContent(TPicture& picture, const std::string& fileName,
                                  const ImportHints& hints = {});

} // namespace tlc
