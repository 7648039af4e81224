#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "image/Graphic.h"
#include "image/PictureCrop.h"

namespace tlc {

// The extension of a file name: the text after the last ".", unless a path
// separator ("\", "/") or a drive colon follows that dot; empty otherwise.
std::string PictureFileExtension(const std::string& fileName);

// A new graphic of `kind` holding the file read whole, or with a crop a
// bitmap's top-left part only (icons and metafiles stay whole); the crop
// receives the picture's own size. Raises what the readers raise
// (EFOpenError, EReadError, EInvalidGraphic, EOutOfResources).
std::unique_ptr<TGraphic> ReadGraphicFile(GraphicKind kind, const std::string& fileName,
                                          PictureCrop* crop = nullptr);

// The same for a picture file already in memory.
std::unique_ptr<TGraphic> DecodeGraphic(GraphicKind kind, std::span<const std::uint8_t> bytes,
                                        PictureCrop* crop = nullptr);

// The kind of picture the bytes start like, for pictures that come without a
// file name (a pipe): "BM" a bitmap, an icon directory header an icon, the
// placeable key or an enhanced header a metafile, an SVG document a vector
// picture held as a metafile; nothing otherwise.
std::optional<GraphicKind> SniffGraphicKind(std::span<const std::uint8_t> bytes);

} // namespace tlc
