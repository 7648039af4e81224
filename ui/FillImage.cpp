#include "ui/FillImage.h"

#include <QMouseEvent>

#include "base/Exceptions.h"
#include "ui/SilentPaintPanel.h"

namespace tlc {

TFillImage::TFillImage(QWidget* parent) : TImageView(parent) {
    Model().SetStretch(true);
    Model().SetProportional(true);
    Model().SetCenter(true);
}

void TFillImage::paintEvent(QPaintEvent* event) {
    auto* panel = qobject_cast<TSilentPaintPanel*>(parentWidget());
    if (!panel) {
        TImageView::paintEvent(event);
        return;
    }
    panel->PaintContent([&] {
        // A metafile the drawing libraries refuse would leave an empty frame.
        if (!GraphicDrawable()) throw EInvalidGraphic("Metafile is not valid");
        try {
            TImageView::paintEvent(event);
        } catch (...) {
            // The model would otherwise think it is still painting and
            // ignore every later change.
            Model().EndPaint();
            throw;
        }
    });
}

void TFillImage::resizeEvent(QResizeEvent* event) {
    TImageView::resizeEvent(event);
    AdoptFormBounds();
}

void TFillImage::moveEvent(QMoveEvent* event) {
    TImageView::moveEvent(event);
    AdoptFormBounds();
}

void TFillImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit DoubleClicked();
        return;
    }
    TImageView::mouseDoubleClickEvent(event);
}

} // namespace tlc
