#include "ui/PreviewWindow.h"

#include <algorithm>

#include <QDialog>
#include <QFrame>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/FillImage.h"

namespace tlc {

namespace {

// Default client size of the preview window for a picture without width.
constexpr QSize kDefaultPreviewSize(320, 240);

} // namespace

QSize PreviewClientSize(QSize monitor, QSize overhead, QSize picture) {
    return {std::min(monitor.width() * 3 / 4, overhead.width() + picture.width() + 10),
            std::min(monitor.height() * 3 / 4, overhead.height() + picture.height() + 10)};
}

void ShowPreviewWindow(QWidget* parent, const TPicture& source, const MonitorSizeFunction& monitorSize) {
    QDialog form(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    form.setObjectName(QStringLiteral("PreviewForm"));
    form.setWindowTitle(QStringLiteral("Preview"));
    form.setSizeGripEnabled(false);

    auto* panel = new QFrame(&form);
    panel->setObjectName(QStringLiteral("Panel"));
    panel->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    QPalette background = panel->palette();
    background.setColor(QPalette::Window, form.palette().color(QPalette::Base));
    panel->setPalette(background);
    auto* formLayout = new QVBoxLayout(&form);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->addWidget(panel);

    auto* image = new TFillImage(panel);
    image->setObjectName(QStringLiteral("Image"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(5, 5, 5, 5); // border width, inside the line
    panelLayout->addWidget(image);
    image->Model().Picture().CopyPicture(source);

    form.resize(kDefaultPreviewSize);
    formLayout->activate();
    const TPicture& picture = image->Model().Picture();
    if (picture.Width() > 0) {
        // What the window's client area holds besides the panel's client area
        // (the panel's line); the 10 are the panel's two border widths.
        const int line = panel->frameWidth();
        const QSize overhead = form.size() - (panel->size() - QSize(2 * line, 2 * line));
        const QSize monitor = monitorSize ? monitorSize(form)
                              : form.screen() ? form.screen()->geometry().size()
                                              : QSize();
        form.resize(PreviewClientSize(monitor, overhead, QSize(picture.Width(), picture.Height())));
    }
    if (QScreen* screen = form.screen()) {
        const QRect area = screen->availableGeometry();
        form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
    }
    form.exec();
}

} // namespace tlc
