#pragma once

#include <QRectF>

#include "image/Metafile.h"

class QPainter;

namespace tlc {

// Plays the metafile (or SVG picture) into dest, stretched to it, from the
// drawing helper's pixels (DrawMetafile). Returns false, drawing nothing,
// when the picture cannot be drawn (damaged, too slow or too large); the
// caller then shows its own sign of an unreadable picture. A refusal is kept.
//
// The last drawing is kept with the content (every copy sharing the content
// uses it), so a repaint at the same size only copies pixels.
bool PaintMetafile(QPainter& painter, const QRectF& dest, const TMetafileImage& image);

// Whether PaintMetafile can draw this content: tried once, at a small size.
bool MetafileDrawable(const TMetafileImage& image);

} // namespace tlc
