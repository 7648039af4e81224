#pragma once

#include <QRectF>

#include "image/Metafile.h"

class QPainter;

namespace tlc {

// Plays the metafile into dest, stretched to it. Returns false, drawing
// nothing, when the metafile libraries or the SVG renderer refuse it; the
// caller then shows its own sign of an unreadable picture.
//
// The SVG renderer is made once per content and kept with it (every copy
// sharing the content uses it); the picture last drawn is kept at its size,
// so a repaint at the same size only copies pixels.
bool PaintMetafile(QPainter& painter, const QRectF& dest, const TMetafileImage& image);

// Whether PaintMetafile can draw this content (worked out once, as above).
bool MetafileDrawable(const TMetafileImage& image);

} // namespace tlc
