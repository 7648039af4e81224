// The imported formats' readers for a build without their libraries
// (TLC_IMPORT_CODECS off). Such pictures are still recognised, and refused
// with a clear message.
#include "base/Exceptions.h"
#include "import/ColourProfile.h"
#include "import/ImportedPicture.h"

namespace tlc {

namespace {

[[noreturn]] void NotInThisBuild(const char* format) {
    throw EInvalidGraphic(std::string(format) + " pictures are not read by this build of tillora-logo");
}

} // namespace

std::shared_ptr<TBitmapImage> DecodePngFile(std::span<const std::uint8_t>, const ImportHints&) {
    NotInThisBuild("PNG");
}

std::shared_ptr<TBitmapImage> DecodeJpegFile(std::span<const std::uint8_t>, const ImportHints&) {
    NotInThisBuild("JPEG");
}

std::shared_ptr<TBitmapImage> DecodeGifFile(std::span<const std::uint8_t>, const ImportHints&) {
    NotInThisBuild("GIF");
}

std::shared_ptr<TBitmapImage> DecodeWebpFile(std::span<const std::uint8_t>, const ImportHints&) {
    NotInThisBuild("WebP");
}

std::shared_ptr<TBitmapImage> DecodeTiffFile(std::span<const std::uint8_t>, const ImportHints&) {
    NotInThisBuild("TIFF");
}

std::vector<std::uint8_t> PngProfile(std::span<const std::uint8_t>) { return {}; }

bool import::ConvertToSrgb(TBitmapImage&, std::span<const std::uint8_t>) { return false; }

} // namespace tlc
