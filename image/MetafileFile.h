#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/Metafile.h"

namespace tlc {

// The screen a metafile's size in pixels is worked out for.
inline constexpr int kScreenPixelsPerInch = 96;

// Reads a metafile held in memory; the content decides the kind, not the
// extension.
//
// An enhanced metafile (first record 1, " EMF" at offset 40, more than 100
// bytes) keeps the size its header states; EReadError "Stream read error"
// when the file is shorter. Anything else must be a placeable Windows
// metafile (key 0x9AC6CDD7, header checksum); Data then holds the Windows
// metafile after the 22-byte placeable header, and Inch its units per inch.
// Records are walked in place of the window system's acceptance: each must
// lie inside the data and an end record must come. Failures raise
// EInvalidGraphic "Metafile is not valid".
std::shared_ptr<TMetafileImage> DecodeMetafileFile(std::span<const std::uint8_t> bytes);

// The file read whole (see ReadFileBytes), then DecodeMetafileFile.
std::shared_ptr<TMetafileImage> ReadMetafileFile(const std::string& fileName);

// a * b / c rounded to the nearest integer, halves away from zero, limited
// to the 32-bit range; 0 when c is 0.
std::int32_t MulDivRound(std::int64_t a, std::int64_t b, std::int64_t c);

} // namespace tlc
