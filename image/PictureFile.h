#pragma once

#include <memory>
#include <string>

#include "image/Graphic.h"

namespace tlc {

// The extension of a file name: the text after the last ".", unless a path
// separator ("\", "/") or a drive colon follows that dot; empty otherwise.
std::string PictureFileExtension(const std::string& fileName);

// A new graphic of `kind` holding the file read whole. Raises what the
// readers raise (EFOpenError, EReadError, EInvalidGraphic, EOutOfResources).
std::unique_ptr<TGraphic> ReadGraphicFile(GraphicKind kind, const std::string& fileName);

} // namespace tlc
