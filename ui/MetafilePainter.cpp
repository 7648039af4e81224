#include "ui/MetafilePainter.h"

#include <QImage>
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

void DropMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

// Qt's SVG reader and painter complain about what the libraries wrote (and
// about fonts); that is noise to the operator, as the libraries' own is.
class QuietQt {
public:
    QuietQt()
        : previous_(MetafileMessagesShown() ? nullptr : qInstallMessageHandler(DropMessage)) {}
    ~QuietQt() {
        if (previous_) qInstallMessageHandler(previous_);
    }
    QuietQt(const QuietQt&) = delete;
    QuietQt& operator=(const QuietQt&) = delete;

private:
    QtMessageHandler previous_;
    TQuietStandardError quietStandardError_;
};

// True when the drawing leaves some mark; a document the libraries wrote
// without any shape counts as refused, so the operator sees the frame.
bool LeavesAMark(QSvgRenderer& renderer) {
    QImage probe(128, 128, QImage::Format_ARGB32_Premultiplied);
    probe.fill(Qt::transparent);
    {
        QPainter painter(&probe);
        renderer.render(&painter, QRectF(probe.rect()));
    }
    for (int y = 0; y < probe.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(probe.constScanLine(y));
        for (int x = 0; x < probe.width(); ++x)
            if (qAlpha(line[x]) != 0) return true;
    }
    return false;
}

TMetafileDrawing& DrawingOf(const TMetafileImage& image) {
    if (!image.Drawing) {
        auto drawing = std::make_shared<TMetafileDrawing>();
        const std::string svg = MetafileToSvg(image);
        if (!svg.empty()) {
            QuietQt quiet;
            auto renderer = std::make_unique<QSvgRenderer>(
                QByteArray::fromRawData(svg.data(), static_cast<qsizetype>(svg.size())));
            if (renderer->isValid() && !renderer->viewBoxF().isEmpty() && LeavesAMark(*renderer))
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
    QuietQt quiet;
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
