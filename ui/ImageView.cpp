#include "ui/ImageView.h"

#include <QBuffer>
#include <QImageReader>
#include <QPaintEvent>
#include <QPainter>

#include "image/Icon.h"
#include "image/Metafile.h"
#include "ui/MetafilePainter.h"

namespace tlc {

TImageView::TImageView(QWidget* parent) : QWidget(parent) {
    model_.SetView(this);
}

TImageView::~TImageView() {
    model_.SetView(nullptr);
}

void TImageView::AdoptFormBounds() {
    const QRect g = geometry();
    model_.SetBounds(g.x(), g.y(), g.width(), g.height());
    ImageBoundsChanged();
}

void TImageView::ImageBoundsChanged() {
    setGeometry(model_.Left(), model_.Top(), std::max(0, model_.Width()),
                std::max(0, model_.Height()));
    setAttribute(Qt::WA_OpaquePaintEvent, model_.Opaque());
    emit BoundsChanged();
}

QRect TImageView::DirtyArea() const {
    const TImage::Rect r = model_.DirtyRect();
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

void TImageView::InvalidateImage() {
    // Which rows change is known only once the writer is done, and Qt would
    // merge a pending whole-widget update into every partial repaint of a
    // conversion; so ask for the changed part when events run again.
    if (updateQueued_) return;
    updateQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            updateQueued_ = false;
            if (model_.NeedsPaint()) PaintChanged(false);
        },
        Qt::QueuedConnection);
}

void TImageView::RepaintImageNow() { PaintChanged(true); }

void TImageView::PaintChanged(bool now) {
    const QRect area = DirtyArea();
    if (area.isEmpty()) {
        // Nothing changed since the last paint: that paint still stands.
        model_.BeginPaint();
        model_.EndPaint();
        return;
    }
    if (now) repaint(area);
    // Qt may decline to paint at once; then at the next paint cycle.
    if (model_.NeedsPaint()) update(area);
}

QImage RasterToQImage(const TBitmapImage& raster, const QRect& part) {
    QImage out(part.size(), QImage::Format_RGB32);
    if (out.isNull()) return out;
    const TRasterFormat& f = raster.Format();
    const bool plain32 = f.BitCount == 32 && f.Compression != BI_BITFIELDS;
    const bool inRaster = raster.HasRaster() && part.left() >= 0 && part.top() >= 0 &&
                          part.right() < raster.Width() && part.bottom() < raster.AbsHeight();
    for (int y = 0; y < part.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const int sy = part.top() + y;
        if (inRaster && (plain32 || f.BitCount == 24)) {
            // The common formats straight from the row bytes.
            const int bpp = f.BitCount / 8;
            const std::uint8_t* p = raster.Row(sy) + static_cast<std::size_t>(part.left()) * bpp;
            for (int x = 0; x < part.width(); ++x, p += bpp)
                line[x] = qRgb(p[2], p[1], p[0]);
            continue;
        }
        for (int x = 0; x < part.width(); ++x) {
            const TColor c = raster.GetPixel(part.left() + x, sy);
            line[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
        }
    }
    return out;
}

void TImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // What changed outside this paint's area still needs painting.
    const QRect pending = model_.NeedsPaint() ? DirtyArea() : QRect();
    model_.BeginPaint();
    const TImage::Rect r = model_.DestRect();
    const QRect dest(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (const TGraphic* graphic = model_.Picture().Graphic(); graphic && !dest.isEmpty()) {
        switch (graphic->Kind()) {
        case GraphicKind::Bitmap:
            PaintBitmap(painter, dest, event->rect());
            break;
        case GraphicKind::Icon:
            PaintIcon(painter, dest);
            break;
        case GraphicKind::Metafile:
            if (!PaintMetafile(painter, dest, static_cast<const TMetafile&>(*graphic).Image()))
                PaintFramedArea(painter, dest);
            break;
        }
    }
    model_.EndPaint();
    if (!pending.isEmpty() && !event->rect().contains(pending)) update(pending);
}

bool TImageView::GraphicDrawable() const {
    const TGraphic* graphic = model_.Picture().Graphic();
    if (graphic && graphic->Kind() == GraphicKind::Metafile)
        return MetafileDrawable(static_cast<const TMetafile&>(*graphic).Image());
    return true;
}

void TImageView::PaintBitmap(QPainter& painter, const QRect& dest, const QRect& exposed) {
    const auto& bitmap = static_cast<const TBitmap&>(*model_.Picture().Graphic());
    const TBitmapImage& raster = bitmap.Image();
    if (!raster.HasRaster()) return;
    const QSize natural(raster.Width(), raster.AbsHeight());
    if (dest.size() == natural) {
        // Convert only what is exposed: the conversion repaints often.
        const QRect part = exposed.intersected(dest).translated(-dest.topLeft());
        if (part.isEmpty()) return;
        painter.drawImage(part.topLeft() + dest.topLeft(), RasterToQImage(raster, part));
        return;
    }
    painter.drawImage(dest, RasterToQImage(raster, QRect(QPoint(0, 0), natural)));
}

void TImageView::PaintIcon(QPainter& painter, const QRect& dest) {
    const auto& icon = static_cast<const TIcon&>(*model_.Picture().Graphic());
    const TIconImage& content = icon.Image();
    if (iconKey_ != &content) {
        iconKey_ = &content;
        iconImage_ = QImage();
        QByteArray bytes(reinterpret_cast<const char*>(content.Bytes.data()),
                         static_cast<qsizetype>(content.Bytes.size()));
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, "ico");
        // The image of the chosen size, else the first one.
        for (int i = 0; i < std::max(1, reader.imageCount()); ++i) {
            if (i > 0 && !reader.jumpToImage(i)) break;
            QImage candidate = reader.read();
            if (candidate.isNull()) continue;
            if (iconImage_.isNull() || candidate.size() == QSize(content.Width, content.Height))
                iconImage_ = candidate;
            if (candidate.size() == QSize(content.Width, content.Height)) break;
        }
    }
    if (iconImage_.isNull()) {
        PaintFramedArea(painter, dest);
        return;
    }
    painter.drawImage(dest, iconImage_);
}

void TImageView::PaintFramedArea(QPainter& painter, const QRect& dest) {
    painter.fillRect(dest, Qt::white);
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawRect(dest.adjusted(0, 0, -1, -1));
}

} // namespace tlc
