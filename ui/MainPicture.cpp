// The main window's pictures beyond the threshold conversion: loading by
// name (Load, a drop, the command line), the Picture menu's fitting and
// dithering through the command line's own preparation, the line under the
// panes, and the refusal to save over the loaded picture.
#include "ui/Main.h"

#include <QAction>
#include <QActionGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/FileBytes.h"
#include "image/FileFormats.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "image/PictureFile.h"
#include "import/ImportedFormats.h"
#include "logo/LogoReport.h"
#include "ui/EventGuard.h"
#include "ui/MetafilePainter.h"
#include "ui/OpenPictureDialog.h"
#include "ui/PrinterCombo.h"
#include "ui/UpDown.h"
#include "ui_Main.h"

namespace tlc {

ImportFormat TfmMain::LoadPrepared(TPicture& picture, const ImportHints& hints) {
    if (loadedFormat_ != ImportFormat::None) {
        // Decoded again from the bytes read at loading, with the fit's hints
        // (a JPEG may decode smaller), as the command line decodes the file.
        InstallImportedFile(picture, loadedBytes_, loadedFormat_, hints);
        const ImportFormat byContent = SniffImportFormat(loadedBytes_);
        return byContent != ImportFormat::None ? byContent : loadedFormat_;
    }
    // A vector picture is drawn by LoadForPrinter at the size it fits to.
    picture.CopyPicture(SourceImage().Picture());
    return ImportFormat::None;
}

void TfmMain::ShowConversion(PictureSize picture, PictureSize original, bool scaled) {
    status_->setText(QString::fromStdString(DescribeConversion(
        ui->cbTargetPrinterType->ItemIndex(), Geometry, picture, original, scaled)));
    status_->setToolTip(status_->text());
    emit StatusShown(status_->text());
}

QString TfmMain::StatusText() const {
    return status_->text();
}

void TfmMain::LoadPicture(const QString& path) {
    // A failed load throws here and leaves picture, target and geometry alone.
    const std::string file = QFile::encodeName(path).toStdString();
    const ImportFormat format = ImportFormatOfExtension(PictureFileExtension(file));
    std::vector<std::uint8_t> bytes;
    if (format != ImportFormat::None) {
        // What LoadFile does for these formats, keeping the bytes for fitting.
        bytes = ReadFileBytes(file);
        InstallImportedFile(SourceImage().Picture(), bytes, format);
    } else if (TFileFormatsList::Instance().FindByExtension(PictureFileExtension(file)) != GraphicKind::Metafile) {
        SourceImage().Picture().LoadFile(file);
    } else {
        // A vector picture must also draw (the helper may find it damaged,
        // too slow or too large) before it replaces the shown one.
        TPicture loaded;
        loaded.LoadFile(file);
        if (const auto* metafile = dynamic_cast<const TMetafile*>(loaded.Graphic());
            metafile && !MetafileDrawable(metafile->Image()))
            throw EInvalidGraphic(metafile->Image().Svg ? "SVG picture is not valid" : "Metafile is not valid");
        SourceImage().Picture().CopyPicture(loaded);
    }
    loadedFile_ = file;
    loadedBytes_ = std::move(bytes);
    loadedFormat_ = format;
    SourceImage().Repaint();
    ConvertImage();
}

void TfmMain::OpenPicture(const QString& path) {
    openPictureDialog_->SetFileName(QFileInfo(path).absoluteFilePath());
    LoadPicture(openPictureDialog_->FileName());
}

void TfmMain::SetUpPictureMenu() {
    auto* menu = new QMenu(QStringLiteral("&Picture"), this);
    menu->setObjectName(QStringLiteral("Picture1"));
    menuBar()->insertMenu(ui->Help1->menuAction(), menu);
    fitToPrinter_ = menu->addAction(QStringLiteral("&Fit to printer"));
    fitToPrinter_->setObjectName(QStringLiteral("FitToPrinter1"));
    fitToPrinter_->setCheckable(true);
    menu->addSeparator();
    dithers_ = new QActionGroup(this);
    dithers_->setExclusive(true);
    const struct {
        const char* name;
        const char* caption;
        int method; // -1: none, the thresholds
    } choices[] = {{"NoDither1", "&No dither (thresholds)", -1},
                   {"FloydSteinberg1", "Floyd\u2013&Steinberg dither",
                    static_cast<int>(DitherMethod::FloydSteinberg)},
                   {"Atkinson1", "&Atkinson dither", static_cast<int>(DitherMethod::Atkinson)},
                   {"Ordered1", "&Ordered dither", static_cast<int>(DitherMethod::Ordered)}};
    for (const auto& c : choices) {
        QAction* action = menu->addAction(QString::fromUtf8(c.caption));
        action->setObjectName(QString::fromLatin1(c.name));
        action->setCheckable(true);
        action->setData(c.method);
        action->setChecked(c.method < 0);
        dithers_->addAction(action);
    }
    connect(fitToPrinter_, &QAction::triggered, this,
            [this] { RunGuarded([this] { PictureOptionsChanged(); }); });
    connect(dithers_, &QActionGroup::triggered, this,
            [this] { RunGuarded([this] { PictureOptionsChanged(); }); });
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusLine"));
    // A long line is cut at the window's edge rather than widening it; its
    // hint holds it whole.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // As tall empty as with a line, so the panes keep their room when it comes.
    status_->setText(QStringLiteral("Logo"));
    status_->setMinimumHeight(status_->sizeHint().height());
    status_->clear();
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(false);
}

bool TfmMain::FitToPrinter() const {
    return fitToPrinter_->isChecked();
}

std::optional<DitherMethod> TfmMain::Dither() const {
    const QAction* chosen = dithers_->checkedAction();
    const int method = chosen ? chosen->data().toInt() : -1;
    if (method < 0) return std::nullopt;
    return static_cast<DitherMethod>(method);
}

void TfmMain::SetFitToPrinter(bool fit) {
    if (fit == FitToPrinter()) return;
    fitToPrinter_->setChecked(fit);
    PictureOptionsChanged();
}

void TfmMain::SetDither(std::optional<DitherMethod> method) {
    if (method == Dither()) return;
    const int wanted = method ? static_cast<int>(*method) : -1;
    for (QAction* action : dithers_->actions())
        if (action->data().toInt() == wanted) action->setChecked(true);
    PictureOptionsChanged();
}

void TfmMain::PictureOptionsChanged() {
    // A dither decides black and white itself: the thresholds say why they rest.
    const bool thresholds = !Dither();
    static const QString kUnused = QStringLiteral(
        "Not used while a dither is chosen: Picture > No dither (thresholds) uses it");
    const struct {
        QLineEdit* edit;
        TUpDown* upDown;
        const char* hint;
    } boxes[] = {{ui->edRedThreshold, ui->UpDown1,
                  "All colours where red has a lower value than this (RGB) will be added to the "
                  "target image"},
                 {ui->edGreenThreshold, ui->UpDown2,
                  "All colours where green has a lower value than this (RGB) will be added to the "
                  "target image"},
                 {ui->edBlueThreshold, ui->UpDown3,
                  "All colours where blue has a lower value than this (RGB) will be added to the "
                  "target image"}};
    for (const auto& b : boxes) {
        b.edit->setEnabled(thresholds);
        b.upDown->setEnabled(thresholds);
        b.edit->setToolTip(thresholds ? QString::fromLatin1(b.hint) : kUnused);
    }
    // Shown at once on a loaded picture, as a printer change does.
    if (SourceImage().Picture().Graphic()) ConvertImage();
}

namespace {

// The one picture file of a drop whose extension a picture format claims.
QString DroppedPicture(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl url = data->urls().first();
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    if (!QFileInfo(path).isFile()) return {};
    const std::string extension = PictureFileExtension(QFile::encodeName(path).toStdString());
    return TFileFormatsList::Instance().FindEntry(extension) ? path : QString();
}

} // namespace

void TfmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPicture(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfmMain::dropEvent(QDropEvent* event) {
    const QString path = DroppedPicture(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    RunGuarded([&] { OpenPicture(path); });
}

} // namespace tlc
