#pragma once

#include <string>

#include "base/Types.h"
#include "image/Image.h"
#include "files/FileWriter.h"

namespace tlc {

using LogoWriteResult = FileWriteResult;

// Saves the logo through the careful writer (files/FileWriter.h): a missing folder
// or a read-only file fails before any pixel is read; the bytes are then built
// in memory and written whole, so that every failure leaves an existing file
// exactly as it was. Reports failure as "Unable to create the file " + path;
// errors of the pixel access pass through, after the same clean-up.
LogoWriteResult WriteLogoFile(const std::string& path, int modelIndex, const LogoGeometry& geometry,
                              TImage& target, FileOps& ops = DefaultFileOps());

} // namespace tlc
