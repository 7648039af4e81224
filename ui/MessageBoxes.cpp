#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpacerItem>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/AppTitle.h"

namespace tlc {

std::string WithFullStop(const std::string& message) {
    if (message.empty()) return message;
    // By byte: a multi-byte character ends in a byte of 0x80 or more, so it
    // always gains the full stop.
    if (static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + ".";
    return message;
}

int CaptionWidth() {
    // The title bar's own font is the desktop's; the application font is the
    // nearest we know. Room for the icon and the three frame buttons besides.
    constexpr int kFrameButtons = 150;
    return QFontMetrics(QApplication::font())
               .horizontalAdvance(QString::fromUtf8(kApplicationTitle)) +
           kFrameButtons;
}

namespace {

void ShowErrorText(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                    QString::fromUtf8(WithFullStop(message)), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // a path with "<" must show as written
    box.setWindowModality(Qt::ApplicationModal);
    // A short text would make the box narrower than its caption, which the
    // title bar would then cut.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(CaptionWidth(), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
}

// Esc and the close button press the one button: the result is always OK.
class InfoDialog final : public QDialog {
public:
    using QDialog::QDialog;
    void reject() override { accept(); }
};

QRect ScreenArea() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

} // namespace

void ReportException(const Exception& e) {
    ShowErrorText(e.Message());
}

void ReportException(const std::exception& e) {
    ShowErrorText(e.what());
}

void ShowInfoMessage(const std::string& text) {
    const QString message = QString::fromUtf8(text);
    const QRect screen = ScreenArea();

    InfoDialog dialog;
    dialog.setWindowTitle(QString::fromUtf8(kApplicationTitle));
    dialog.setWindowModality(Qt::ApplicationModal);

    auto* label = new QLabel(message, &dialog);
    label->setObjectName(QStringLiteral("messageLabel"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // As wide as the wrapped text needs, at most half the screen. A single
    // word longer than that (a long path) would be cut off, so it may widen
    // the box up to the screen's width.
    const QFontMetrics metrics = label->fontMetrics();
    const int halfScreen = std::max(1, screen.width() / 2);
    int width =
        metrics.boundingRect(QRect(0, 0, halfScreen, 1 << 20), Qt::TextWordWrap, message).width();
    for (const QString& word :
         message.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        width = std::max(width, metrics.horizontalAdvance(word) + 2);
    const int widest = std::max(halfScreen, screen.width() - 48);
    label->setFixedWidth(std::clamp(width, 1, widest));

    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addLayout(buttons);
    // Never narrower than the caption.
    const QMargins margins = layout->contentsMargins();
    layout->addItem(
        new QSpacerItem(std::min(CaptionWidth(), widest) - margins.left() - margins.right(), 0,
                        QSizePolicy::Fixed, QSizePolicy::Minimum));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    dialog.adjustSize();
    dialog.move(screen.center() - dialog.rect().center());
    ok->setFocus();
    dialog.exec();
}

} // namespace tlc
