#include "ui/Bevel.h"

#include <QPainter>

namespace tlc {

void TBevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    if (h < 2) return;
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, h - 2, w - 1, h - 2);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, h - 1, w - 1, h - 1);
}

} // namespace tlc
