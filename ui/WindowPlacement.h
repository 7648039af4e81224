#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace tlc {

// Top-left that centres a window of `own` size over `reference`: halves
// truncated toward zero, no clamping to the screen.
constexpr QPoint CentredOver(const QRect& reference, const QSize& own) {
    return QPoint(reference.x() + (reference.width() - own.width()) / 2,
                  reference.y() + (reference.height() - own.height()) / 2);
}

} // namespace tlc
