#include "ui/MetafilePainter.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <memory>

#include "base/Exceptions.h"
#include "image/BitmapImage.h"
#include "prepare/MetafileDrawing.h"

namespace tlc {

namespace {

// Larger areas get a drawing of this many pixels, stretched.
constexpr qint64 kMaxDrawnPixels = 4096 * 4096;
// Whether a picture draws at all is tried at this size at most.
constexpr int kProbeSide = 64;

struct TMetafileDrawing {
    bool Tried = false;   // drawn (or refused) at least once
    bool Refused = false; // the helper failed: damaged, too slow, too large
    QImage Picture;       // the last drawing, at its size
};

TMetafileDrawing& DrawingOf(const TMetafileImage& image) {
    if (!image.Drawing) image.Drawing = std::make_shared<TMetafileDrawing>();
    return *static_cast<TMetafileDrawing*>(image.Drawing.get());
}

QImage ToQImage(const TBitmapImage& raster) {
    QImage out(raster.Width(), raster.AbsHeight(), QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        const std::uint8_t* from = raster.Row(y);
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x, from += 3) to[x] = qRgb(from[2], from[1], from[0]);
    }
    return out;
}

// Draws the picture at `size` into the cache; false (and refused from then
// on) when the helper fails.
bool DrawAt(const TMetafileImage& image, TMetafileDrawing& drawing, const QSize& size) {
    drawing.Tried = true;
    if (drawing.Picture.size() == size) return true;
    try {
        drawing.Picture = ToQImage(*DrawMetafile(image, size.width(), size.height()));
        return true;
    } catch (const Exception&) {
        drawing.Refused = true;
        drawing.Picture = QImage();
        return false;
    }
}

QSize ProbeSize(const TMetafileImage& image) {
    const int w = std::max(1, image.Width), h = std::max(1, image.Height);
    if (w <= kProbeSide && h <= kProbeSide) return {w, h};
    return w >= h ? QSize(kProbeSide, std::max(1, h * kProbeSide / w))
                  : QSize(std::max(1, w * kProbeSide / h), kProbeSide);
}

} // namespace

bool MetafileDrawable(const TMetafileImage& image) {
    TMetafileDrawing& drawing = DrawingOf(image);
    if (!drawing.Tried) DrawAt(image, drawing, ProbeSize(image));
    return !drawing.Refused;
}

bool PaintMetafile(QPainter& painter, const QRectF& dest, const TMetafileImage& image) {
    TMetafileDrawing& drawing = DrawingOf(image);
    if (drawing.Refused) return false;
    if (dest.isEmpty()) return MetafileDrawable(image);
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QSize pixels = (dest.size() * ratio).toSize().expandedTo(QSize(1, 1));
    if (qint64{pixels.width()} * pixels.height() > kMaxDrawnPixels)
        pixels.scale(4096, 4096, Qt::KeepAspectRatio);
    if (!DrawAt(image, drawing, pixels)) return false;
    drawing.Picture.setDevicePixelRatio(ratio);
    painter.drawImage(dest, drawing.Picture);
    return true;
}

} // namespace tlc
