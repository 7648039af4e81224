#include "ui/OpenPictureDialog.h"

#include <algorithm>

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

#include "base/Exceptions.h"
#include "resources/Glyphs.h"
#include "ui/PictureFilter.h"

namespace tlc {

namespace {

const QString kNone = QStringLiteral("(None)");

// Default client size of the preview window for a picture without width.
constexpr QSize kDefaultPreviewSize(320, 240);
// Default size of the dialog: the list's name, size, type and date columns and
// the sidebar's entries readable without cutting.
constexpr QSize kDefaultDialogSize(1000, 540);
constexpr int kSidebarWidth = 150;
// Name, size, type, date modified.
constexpr int kColumnWidths[] = {210, 90, 150, 160};

} // namespace

// ---- TSilentPaintPanel ----

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

// ---- TFillImage ----

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

// ---- TOpenPictureDialog ----

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QFileDialog(parent) {
    setObjectName(QStringLiteral("OpenPictureDialog"));
    // The widget-based dialog: the preview strip joins its layout.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    picturePanel_ = new QWidget(this);
    picturePanel_->setObjectName(QStringLiteral("PicturePanel"));
    picturePanel_->setFixedWidth(kStripWidth);
    auto* stripLayout = new QVBoxLayout(picturePanel_);
    stripLayout->setContentsMargins(6, 6, 6, 6); // border width 6, no bevel
    stripLayout->setSpacing(0);

    pictureLabel_ = new QLabel(picturePanel_);
    pictureLabel_->setObjectName(QStringLiteral("PictureLabel"));
    pictureLabel_->setFixedHeight(23);
    pictureLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stripLayout->addWidget(pictureLabel_);

    paintPanel_ = new TSilentPaintPanel(picturePanel_);
    paintPanel_->setObjectName(QStringLiteral("PaintPanel"));
    paintPanel_->installEventFilter(this);
    stripLayout->addWidget(paintPanel_, 1);

    paintBox_ = new TFillImage(paintPanel_);
    paintBox_->setObjectName(QStringLiteral("PaintBox"));
    paintPanel_->layout()->addWidget(paintBox_);
    connect(paintBox_, &TFillImage::DoubleClicked, this, &TOpenPictureDialog::PreviewClick);

    // Outside the layout: it sits in the label's row, at the top right.
    previewButton_ = new QToolButton(picturePanel_);
    previewButton_->setObjectName(QStringLiteral("PreviewButton"));
    previewButton_->setAutoRaise(true);
    previewButton_->setFixedSize(23, 22);
    const QPixmap glyph = TransparentGlyph(QStringLiteral(":/glyphs/preview.bmp"));
    previewButton_->setIcon(QIcon(glyph));
    previewButton_->setIconSize(glyph.size());
    previewButton_->setToolTip(QStringLiteral("Preview"));
    previewButton_->setEnabled(false);
    previewButton_->raise();
    connect(previewButton_, &QToolButton::clicked, this, &TOpenPictureDialog::PreviewClick);

    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(picturePanel_, 0, grid->columnCount(), grid->rowCount(), 1);
    else if (layout())
        layout()->addWidget(picturePanel_);

    resize(kDefaultDialogSize);
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({kSidebarWidth, kDefaultDialogSize.width() - kStripWidth - kSidebarWidth});
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 0; column < 4; ++column)
            tree->header()->resizeSection(column, kColumnWidths[column]);

    connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::SelectionChanged);
    PaintPanel().SetCaption(kNone);
}

TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::SetInitialDir(const QString& dir) {
    initialDir_ = dir;
    setDirectory(dir);
}

void TOpenPictureDialog::SetFilter(const std::string& filter) {
    filter_ = filter;
    setNameFilters(QtNameFilters(filter));
}

bool TOpenPictureDialog::Execute() {
    const QStringList filters = nameFilters();
    if (!filters.isEmpty()) {
        const int index = filterIndex_ >= 1 && filterIndex_ <= filters.size() ? filterIndex_ - 1 : 0;
        selectNameFilter(filters[index]);
    }
    // As the platform dialog does: a path in FileName chooses the folder and
    // fills the name box, else the dialog opens in InitialDir.
    auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!fileName_.isEmpty() && QFileInfo(fileName_).isAbsolute()) {
        selectFile(fileName_);
    } else {
        setDirectory(initialDir_.isEmpty() ? QDir::currentPath() : initialDir_);
        if (nameBox) nameBox->setText(fileName_);
    }
    if (nameBox) nameBox->selectAll();

    if (exec() != QDialog::Accepted) return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) return false;
    fileName_ = chosen.first();
    const qsizetype used = filters.indexOf(selectedNameFilter());
    if (used >= 0) filterIndex_ = static_cast<int>(used) + 1;
    return true;
}

void TOpenPictureDialog::ClearPreview() {
    paintBox_->Model().Picture().Install(nullptr);
}

void TOpenPictureDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    if (event->spontaneous()) return;
    // Every showing starts with an empty box; the label and the button keep
    // what the last selection gave them.
    ClearPreview();
    savedFileName_.clear();
    paintPanel_->SetCaption(kNone);
    PlacePreviewButton();
}

void TOpenPictureDialog::done(int result) {
    QToolTip::hideText();
    QFileDialog::done(result);
}

void TOpenPictureDialog::SelectionChanged(const QString& path) {
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
        const TPicture& picture = paintBox_->Model().Picture();
        pictureLabel_->setText(QString::asprintf(" (%dx%d)", picture.Width(), picture.Height()));
        previewButton_->setEnabled(true);
        paintPanel_->SetCaption(QString());
    } else {
        pictureLabel_->setText(QStringLiteral("Picture:"));
        previewButton_->setEnabled(false);
        ClearPreview();
        paintPanel_->SetCaption(kNone);
    }
}

void TOpenPictureDialog::PlacePreviewButton() {
    const QRect box = paintPanel_->geometry();
    previewButton_->move(box.x() + box.width() - previewButton_->width() - 2, 1);
}

bool TOpenPictureDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == paintPanel_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        PlacePreviewButton();
    return QFileDialog::eventFilter(watched, event);
}

QSize TOpenPictureDialog::PreviewClientSize(QSize monitor, QSize overhead, QSize picture) {
    return {std::min(monitor.width() * 3 / 4, overhead.width() + picture.width() + 10),
            std::min(monitor.height() * 3 / 4, overhead.height() + picture.height() + 10)};
}

void TOpenPictureDialog::PreviewClick() {
    QDialog form(this, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
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
    image->Model().Picture().CopyPicture(paintBox_->Model().Picture());

    form.resize(kDefaultPreviewSize);
    formLayout->activate();
    const TPicture& picture = image->Model().Picture();
    if (picture.Width() > 0) {
        // What the window's client area holds besides the panel's client area
        // (the panel's line); the 10 are the panel's two border widths.
        const int line = panel->frameWidth();
        const QSize overhead = form.size() - (panel->size() - QSize(2 * line, 2 * line));
        const QSize monitor = monitorSize_ ? monitorSize_(form)
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
