#include "ui/MetafilePainter.h"

#include <QImage>
#include <QLoggingCategory>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <memory>

#include "ui/MetafileSvg.h"

namespace tlc {

namespace {

// Larger pictures are played straight into the painter on every paint.
constexpr qint64 kMaxKeptPixels = 4096 * 4096;

struct TMetafileDrawing {
    std::unique_ptr<QSvgRenderer> Renderer; // null when refused
    QImage Picture;                         // the last drawing, at its size
};

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// The SVG reader's complaints about what the libraries wrote are noise to
// the operator.
void QuietSvgMessages(QLoggingCategory* category) {
    if (previousFilter) previousFilter(category);
    if (qstrncmp(category->categoryName(), "qt.svg", 6) == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
        category->setEnabled(QtWarningMsg, false);
        category->setEnabled(QtCriticalMsg, false);
    }
}

TMetafileDrawing& DrawingOf(const TMetafileImage& image) {
    if (!image.Drawing) {
        static const bool filtered = [] {
            previousFilter = QLoggingCategory::installFilter(QuietSvgMessages);
            return true;
        }();
        (void)filtered;
        auto drawing = std::make_shared<TMetafileDrawing>();
        const std::string svg = MetafileToSvg(image);
        if (!svg.empty()) {
            auto renderer = std::make_unique<QSvgRenderer>(
                QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
            if (renderer->isValid() && !renderer->viewBoxF().isEmpty())
                drawing->Renderer = std::move(renderer);
        }
        image.Drawing = std::move(drawing);
    }
    return *static_cast<TMetafileDrawing*>(image.Drawing.get());
}

} // namespace

bool MetafileDrawable(const TMetafileImage& image) {
    return DrawingOf(image).Renderer != nullptr;
}

bool PaintMetafile(QPainter& painter, const QRectF& dest, const TMetafileImage& image) {
    TMetafileDrawing& drawing = DrawingOf(image);
    if (!drawing.Renderer) return false;
    if (dest.isEmpty()) return true;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (dest.size() * ratio).toSize();
    if (pixels.isEmpty() || qint64{pixels.width()} * pixels.height() > kMaxKeptPixels) {
        drawing.Renderer->render(&painter, dest);
        return true;
    }
    if (drawing.Picture.size() != pixels) {
        drawing.Picture = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        if (drawing.Picture.isNull()) {
            drawing.Renderer->render(&painter, dest);
            return true;
        }
        drawing.Picture.fill(Qt::transparent);
        QPainter picturePainter(&drawing.Picture);
        picturePainter.setRenderHint(QPainter::Antialiasing);
        drawing.Renderer->render(&picturePainter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    drawing.Picture.setDevicePixelRatio(ratio);
    painter.drawImage(dest, drawing.Picture);
    return true;
}

} // namespace tlc
