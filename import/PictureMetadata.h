#pragma once

// What a picture file says about its pixels besides the pixels: which way up
// it is meant to be seen, the colours its numbers stand for, whether it holds
// more than one frame. Read from the file's own structure (chunks, markers,
// tags), every offset and length checked against the bytes there are.
#include <cstdint>
#include <span>
#include <vector>

namespace tlc {

enum class ImportFormat;

struct PictureMetadata {
    // EXIF / TIFF orientation, 1 to 8 (1: as stored); other values read as 1.
    int Orientation = 1;
    // The embedded ICC profile (JPEG's APP2 pieces joined in order), empty
    // for none; a PNG's is compressed and only noted here (PngProfile).
    std::vector<std::uint8_t> Profile;
    bool CompressedPngProfile = false;
    // JPEG: an Adobe APP14 marker, so CMYK values are stored inverted.
    bool AdobeMarker = false;
    // Frames the file holds: 1, or more for an animation or a multi-page
    // file (at least 2 when the count is not cheap to know).
    int Frames = 1;
    // An animation (APNG, animated WebP, a GIF of several frames), rather than
    // pages.
    bool Animated = false;
    // Set by a reader that turned the colours through the profile itself
    // (CMYK JPEG).
    mutable bool ProfileApplied = false;
};

PictureMetadata ReadPictureMetadata(ImportFormat format, std::span<const std::uint8_t> bytes);

// What the first directory of a TIFF structure (a TIFF file, or the EXIF
// block of a JPEG, PNG or WebP) says.
struct TiffDirectory {
    bool Valid = false;
    int Orientation = 1;
    std::span<const std::uint8_t> Profile; // within the bytes given
    bool MoreDirectories = false;          // another picture follows (pages)
};
TiffDirectory ReadTiffDirectory(std::span<const std::uint8_t> tiff);

// Whether an orientation puts the stored rows across (5 to 8).
inline bool SwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

} // namespace tlc
