#pragma once

#include "ui/ImageView.h"

namespace tlc {

// An image control that fills whatever area its layout gives it, keeping the
// model's bounds in step; inside a TSilentPaintPanel its drawing goes through
// the panel's guard.
class TFillImage : public TImageView {
    Q_OBJECT
public:
    explicit TFillImage(QWidget* parent = nullptr);

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace tlc
