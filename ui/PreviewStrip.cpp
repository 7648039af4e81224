#include "ui/PreviewStrip.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "resources/Glyphs.h"
#include "ui/FillImage.h"
#include "ui/SilentPaintPanel.h"

namespace tlc {

namespace {

const QString kNone = QStringLiteral("(None)");

} // namespace

TPreviewStrip::TPreviewStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PicturePanel"));
    setFixedWidth(kWidth);
    auto* stripLayout = new QVBoxLayout(this);
    stripLayout->setContentsMargins(6, 6, 6, 6); // border width 6, no bevel
    stripLayout->setSpacing(0);

    label_ = new QLabel(this);
    label_->setObjectName(QStringLiteral("PictureLabel"));
    label_->setFixedHeight(23);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stripLayout->addWidget(label_);

    paintPanel_ = new TSilentPaintPanel(this);
    paintPanel_->setObjectName(QStringLiteral("PaintPanel"));
    paintPanel_->installEventFilter(this);
    stripLayout->addWidget(paintPanel_, 1);

    paintBox_ = new TFillImage(paintPanel_);
    paintBox_->setObjectName(QStringLiteral("PaintBox"));
    paintPanel_->layout()->addWidget(paintBox_);
    connect(paintBox_, &TFillImage::DoubleClicked, this, &TPreviewStrip::PreviewRequested);

    // Outside the layout: it sits in the label's row, at the top right.
    previewButton_ = new QToolButton(this);
    previewButton_->setObjectName(QStringLiteral("PreviewButton"));
    previewButton_->setAutoRaise(true);
    previewButton_->setFixedSize(23, 22);
    const QPixmap glyph = TransparentGlyph(QStringLiteral(":/glyphs/preview.bmp"));
    previewButton_->setIcon(QIcon(glyph));
    previewButton_->setIconSize(glyph.size());
    previewButton_->setToolTip(QStringLiteral("Preview"));
    previewButton_->setEnabled(false);
    previewButton_->raise();
    connect(previewButton_, &QToolButton::clicked, this, &TPreviewStrip::PreviewRequested);

    paintPanel_->SetCaption(kNone);
}

const TPicture& TPreviewStrip::Picture() const {
    return paintBox_->Model().Picture();
}

void TPreviewStrip::ClearBox() {
    paintBox_->Model().Picture().Install(nullptr);
}

void TPreviewStrip::Reset() {
    ClearBox();
    savedFileName_.clear();
    paintPanel_->SetCaption(kNone);
    PlacePreviewButton();
}

void TPreviewStrip::ShowFile(const QString& path) {
    // Exact comparison, letter case included.
    if (path == savedFileName_) return;
    savedFileName_ = path;
    // Only a regular file: a folder shows nothing, and a pipe or a device
    // would block the dialog while it is read.
    const QFileInfo info(path);
    bool shown = false;
    if (!path.isEmpty() && info.isFile() && info.isReadable()) {
        try {
            paintBox_->Model().Picture().LoadFile(QFile::encodeName(path).toStdString());
            shown = true;
        } catch (...) {
            // An unknown extension or a damaged file: the box shows nothing.
        }
    }
    if (shown) {
        const TPicture& picture = Picture();
        label_->setText(QString::asprintf(" (%dx%d)", picture.Width(), picture.Height()));
        previewButton_->setEnabled(true);
        paintPanel_->SetCaption(QString());
    } else {
        label_->setText(QStringLiteral("Picture:"));
        previewButton_->setEnabled(false);
        ClearBox();
        paintPanel_->SetCaption(kNone);
    }
}

void TPreviewStrip::PlacePreviewButton() {
    const QRect box = paintPanel_->geometry();
    previewButton_->move(box.x() + box.width() - previewButton_->width() - 2, 1);
}

bool TPreviewStrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == paintPanel_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlacePreviewButton();
    return QWidget::eventFilter(watched, event);
}

} // namespace tlc
