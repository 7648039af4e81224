#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace tlc {

// Top-left that centres a window of `own` size over `reference`: halves
// truncated toward zero, no clamping to the screen.
constexpr QPoint CentredOver(const QRect& reference, const QSize& own) {
    return QPoint(reference.x() + (reference.width() - own.width()) / 2,
                  reference.y() + (reference.height() - own.height()) / 2);
}

// Where a window of client size `own` goes when first shown over `reference`.
// Before its first showing a window's frame is not known yet, so the
// reference window's frame margins stand in for its own.
inline QPoint FirstPlacement(const QWidget& reference, const QSize& own) {
    const QRect frame = reference.frameGeometry();
    const QSize margins = frame.size() - reference.size();
    return CentredOver(frame, own + margins);
}

// Centres `window` over the main window (or its parent's window) the first
// time it is shown; later showings keep wherever it was left.
inline void PlaceOnFirstShow(QWidget& window, QWidget* mainWindow, bool& placed) {
    if (placed) return;
    QWidget* reference = mainWindow              ? mainWindow
                         : window.parentWidget() ? window.parentWidget()->window()
                                                 : nullptr;
    if (!reference) return;
    window.move(FirstPlacement(*reference, window.size()));
    placed = true;
}

} // namespace tlc
