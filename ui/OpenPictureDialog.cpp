#include "ui/OpenPictureDialog.h"

#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QToolTip>
#include <QTreeView>

#include "ui/PictureFilter.h"

namespace tlc {

namespace {

// Default size of the dialog: the list's name, size, type and date columns and
// the sidebar's entries readable without cutting.
constexpr QSize kDefaultDialogSize(1000, 540);
constexpr int kSidebarWidth = 150;
// Name, size, type, date modified.
constexpr int kColumnWidths[] = {210, 90, 150, 160};

} // namespace

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QFileDialog(parent) {
    setObjectName(QStringLiteral("OpenPictureDialog"));
    // The widget-based dialog: the preview strip joins its layout.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    strip_ = new TPreviewStrip(this);
    connect(strip_, &TPreviewStrip::PreviewRequested, this, &TOpenPictureDialog::PreviewClick);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(strip_, 0, grid->columnCount(), grid->rowCount(), 1);
    else if (layout())
        layout()->addWidget(strip_);

    resize(kDefaultDialogSize);
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({kSidebarWidth, kDefaultDialogSize.width() - TPreviewStrip::kWidth - kSidebarWidth});
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 0; column < 4; ++column)
            tree->header()->resizeSection(column, kColumnWidths[column]);

    connect(this, &QFileDialog::currentChanged, strip_, &TPreviewStrip::ShowFile);
    // A name typed into the name box that picks out a file previews it, as
    // a click on it does.
    if (auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(nameBox, &QLineEdit::textChanged, this, [this](const QString& typed) {
            if (typed.isEmpty()) return;
            const QFileInfo file(directory(), typed);
            if (file.isFile()) strip_->ShowFile(file.absoluteFilePath());
        });
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

void TOpenPictureDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    // Every showing starts with an empty box.
    if (!event->spontaneous()) strip_->Reset();
}

void TOpenPictureDialog::done(int result) {
    QToolTip::hideText();
    QFileDialog::done(result);
}

void TOpenPictureDialog::PreviewClick() {
    ShowPreviewWindow(this, strip_->Picture(), monitorSize_);
}

} // namespace tlc
