#pragma once

#include <functional>

#include <QSize>

class QWidget;

namespace tlc {

class TPicture;

// Size of the monitor that holds `window`; tests put their own screen here.
using MonitorSizeFunction = std::function<QSize(const QWidget& window)>;

// Client size of the preview window for a picture: the window's client area
// less the panel's, plus the picture and 10 (the panel's border widths), each
// way no more than three quarters of the monitor.
QSize PreviewClientSize(QSize monitor, QSize overhead, QSize picture);

// Shows a copy of `source` in the modal "Preview" window over `parent`,
// centred on its screen; an empty `monitorSize` asks the window's screen.
void ShowPreviewWindow(QWidget* parent, const TPicture& source, const MonitorSizeFunction& monitorSize);

} // namespace tlc
