#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "image/Icon.h"

namespace tlc {

// Reads an icon file held in memory: the bytes are kept as they are, and
// Width and Height are those of the image chosen for display (see
// ChooseIconImage). Fewer than 6 bytes raise EReadError "Stream read error";
// type 2 or more (a cursor, or not an icon at all) raises EInvalidGraphic
// "Icon image is not valid". Nothing else is checked: a damaged directory
// leaves the standard size.
std::shared_ptr<TIconImage> DecodeIconFile(std::span<const std::uint8_t> bytes);

// The file read whole (see ReadFileBytes), then DecodeIconFile.
std::shared_ptr<TIconImage> ReadIconFile(const std::string& fileName);

// Index of the directory entry shown: among the entries that lie inside the
// bytes and whose colour depth the display shows (up to 32 bits), the one
// nearest the standard size; ties go to the deeper colour, then to the first.
// -1 when there is none (type 0, or no usable entry).
int ChooseIconImage(std::span<const std::uint8_t> bytes);

} // namespace tlc
