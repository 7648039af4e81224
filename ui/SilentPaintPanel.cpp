#include "ui/SilentPaintPanel.h"

#include <QPainter>
#include <QVBoxLayout>

namespace tlc {

TSilentPaintPanel::TSilentPaintPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kBevelWidth, kBevelWidth, kBevelWidth, kBevelWidth);
    layout->setSpacing(0);
}

void TSilentPaintPanel::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void TSilentPaintPanel::PaintContent(const std::function<void()>& draw) noexcept {
    try {
        draw();
    } catch (...) {
        // Painting runs inside the toolkit's event dispatch: nothing may
        // escape, and the operator only needs to see that it failed.
        SetCaption(QStringLiteral("Invalid image"));
    }
}

void TSilentPaintPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const auto frame = [&p](QRect r, const QColor& topLeft, const QColor& bottomRight) {
        p.setPen(topLeft);
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    };
    const QRect outer = rect();
    if (outer.width() < 2 * kBevelWidth || outer.height() < 2 * kBevelWidth) return;
    frame(outer, shadow, light);                          // lowered outer bevel
    frame(outer.adjusted(1, 1, -1, -1), light, shadow);   // raised inner bevel
    if (caption_.isEmpty()) return;
    p.setPen(palette().color(QPalette::WindowText));
    const QRect client = outer.adjusted(kBevelWidth, kBevelWidth, -kBevelWidth, -kBevelWidth);
    p.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, caption_);
}

} // namespace tlc
