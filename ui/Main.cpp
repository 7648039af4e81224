#include "ui/Main.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>

#include "base/ParseInt.h"
#include "image/Image.h"
#include "logo/Conversion.h"
#include "resources/Glyphs.h"
#include "ui/About.h"
#include "ui/CompleterPopups.h"
#include "ui/Fonts.h"
#include "ui/EventGuard.h"
#include "ui/Help.h"
#include "ui/ImageView.h"
#include "ui/MessageBoxes.h"
#include "ui/OpenPictureDialog.h"
#include "ui/PrinterCombo.h"
#include "ui/UpDown.h"
#include "ui_Main.h"

#include "base/Exceptions.h"
#include "image/FileFormats.h"
#include "import/ImportedFormats.h"
#include "logo/SaveCommand.h"
#include "prepare/PrepareForPrinter.h"

namespace tlc {

namespace {

QFont PixelFont(const QString& family, int pixels, bool italic) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setItalic(italic);
    return font;
}

// Connects a handler so that whatever it throws meets the event guard here,
// before it could unwind through the toolkit.
template <typename Signal, typename Sender>
void ConnectGuarded(Sender* sender, Signal signal, TfmMain* window, void (TfmMain::*handler)()) {
    QObject::connect(sender, signal, window,
                     [window, handler] { RunGuarded([&] { (window->*handler)(); }); });
}

// Asks for room for the whole laid-out client area, so the window first
// shows it all where the screen is large enough.
class TClientScroller final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        return widget() ? widget()->minimumSize() : QScrollArea::sizeHint();
    }
};

} // namespace

TfmMain::TfmMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TfmMain>()) {
    // The formats of import/ join the list before the open dialog's filter is made.
    RegisterImportedFormats();
    // The file dialogs would keep their state in a settings file under the
    // user's configuration folder; this program writes nothing but logos.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    ui->setupUi(this);
    SetUpControls();
    SetUpPictureMenu();
    SetUpResizing();
    ConnectHandlers();
    FillPrinterModels();
    FormCreate();
}

TfmMain::~TfmMain() = default;

void TfmMain::SetUpControls() {
    setFont(SansSerif11());
    const QFont buttonFont = PixelFont(QStringLiteral("Arial"), 19, true);
    for (QWidget* w : {static_cast<QWidget*>(ui->btLoad), static_cast<QWidget*>(ui->btSave),
                       static_cast<QWidget*>(ui->btClose), static_cast<QWidget*>(ui->btRefresh),
                       static_cast<QWidget*>(ui->cbTargetPrinterType)})
        w->setFont(buttonFont);
    ui->cbTargetPrinterType->SetItemHeight(23);

    const struct {
        QPushButton* button;
        const char* glyph;
    } glyphs[] = {{ui->btLoad, ":/glyphs/load.bmp"},
                  {ui->btSave, ":/glyphs/save.bmp"},
                  {ui->btClose, ":/glyphs/close.bmp"}};
    for (const auto& g : glyphs) {
        const QPixmap pixmap = TransparentGlyph(QString::fromLatin1(g.glyph));
        g.button->setIcon(QIcon(pixmap));
        g.button->setIconSize(pixmap.size());
    }

    const struct {
        TUpDown* upDown;
        QLineEdit* edit;
    } pairs[] = {{ui->UpDown1, ui->edRedThreshold},
                 {ui->UpDown2, ui->edGreenThreshold},
                 {ui->UpDown3, ui->edBlueThreshold}};
    for (const auto& p : pairs) {
        p.upDown->SetRange(0, 255);
        p.upDown->SetPosition(128);
        p.upDown->SetAssociate(p.edit);
    }

    // The separator of the File menu, named like the other items.
    for (QAction* a : ui->File1->actions())
        if (a->isSeparator()) a->setObjectName(QStringLiteral("N1"));

    for (TImageView* view : {ui->imgSourceImage, ui->imgTargetImage}) {
        connect(view, &TImageView::BoundsChanged, this, [this, view] { FitScrollContent(*view); });
        view->AdoptFormBounds();
    }
    ui->imgSourceImage->Model().SetAutoSize(true);

    openPictureDialog_ = new TOpenPictureDialog(this);
    openPictureDialog_->SetFilter(
        TFileFormatsList::Instance().BuildFilter(GraphicClass::Graphic).Filter);
    KeepCompleterPopupsWithDialog(*openPictureDialog_);

    saveDialog_ = new QFileDialog(this);
    saveDialog_->setObjectName(QStringLiteral("SaveDialog"));
    saveDialog_->setOption(QFileDialog::DontUseNativeDialog);
    saveDialog_->setOption(QFileDialog::DontConfirmOverwrite);
    saveDialog_->setAcceptMode(QFileDialog::AcceptSave);
    saveDialog_->setFileMode(QFileDialog::AnyFile);
    saveDialog_->setDefaultSuffix(QStringLiteral("rsc"));
    KeepCompleterPopupsWithDialog(*saveDialog_);

    // Menu shortcuts come before the focused control (Ctrl+X closes rather
    // than cuts): see eventFilter.
    qApp->installEventFilter(this);
    ui->btLoad->setFocus();
}

void TfmMain::ConnectHandlers() {
    ConnectGuarded(ui->btLoad, &QPushButton::clicked, this, &TfmMain::btLoadClick);
    ConnectGuarded(ui->btSave, &QPushButton::clicked, this, &TfmMain::btSaveClick);
    ConnectGuarded(ui->btClose, &QPushButton::clicked, this, &TfmMain::btCloseClick);
    ConnectGuarded(ui->btRefresh, &QPushButton::clicked, this, &TfmMain::btRefreshClick);
    ConnectGuarded(ui->cbTargetPrinterType, &TPrinterCombo::Change, this,
                   &TfmMain::cbTargetPrinterTypeChange);
    ConnectGuarded(ui->edRedThreshold, &QLineEdit::textChanged, this,
                   &TfmMain::edRedThresholdChange);
    ConnectGuarded(ui->edGreenThreshold, &QLineEdit::textChanged, this,
                   &TfmMain::edGreenThresholdChange);
    ConnectGuarded(ui->edBlueThreshold, &QLineEdit::textChanged, this,
                   &TfmMain::edBlueThresholdChange);
    ConnectGuarded(ui->Openbitmap1, &QAction::triggered, this, &TfmMain::btLoadClick);
    ConnectGuarded(ui->Saverscfile1, &QAction::triggered, this, &TfmMain::btSaveClick);
    ConnectGuarded(ui->Exit1, &QAction::triggered, this, &TfmMain::btCloseClick);
    ConnectGuarded(ui->Help2, &QAction::triggered, this, &TfmMain::Help2Click);
    ConnectGuarded(ui->About1, &QAction::triggered, this, &TfmMain::About1Click);
}

void TfmMain::FillPrinterModels() {
    PrinterModels = BuildPrinterModels();
    TPrinterCombo* list = ui->cbTargetPrinterType;
    list->clear();
    for (const PrinterModel& model : PrinterModels)
        list->addItem(QString::fromStdString(model.Name));
    list->SetItemIndex(0);
    Geometry = LogoGeometry{0, 0};
}

void TfmMain::FormCreate() {
    openPictureDialog_->SetInitialDir(QDir::currentPath());
}

TImage& TfmMain::SourceImage() {
    return ui->imgSourceImage->Model();
}
TImage& TfmMain::TargetImage() {
    return ui->imgTargetImage->Model();
}
TPrinterCombo& TfmMain::PrinterList() {
    return *ui->cbTargetPrinterType;
}

QList<QAction*> TfmMain::MenuActions() const {
    return {ui->Openbitmap1, ui->Saverscfile1, ui->Exit1, ui->Help2, ui->About1};
}

void TfmMain::SetAboutWindow(QWidget* about) {
    about_ = about;
}

void TfmMain::SetHelpWindow(QWidget* help) {
    help_ = help;
    if (help_) help_->addActions(MenuActions());
}

std::int32_t TfmMain::GetMaxWidth() const {
    return LimitsOf(PrinterModels, ui->cbTargetPrinterType->ItemIndex()).MaxWidth;
}
std::int32_t TfmMain::GetMaxHeight() const {
    return LimitsOf(PrinterModels, ui->cbTargetPrinterType->ItemIndex()).MaxHeight;
}
std::int32_t TfmMain::GetMaxArea() const {
    return LimitsOf(PrinterModels, ui->cbTargetPrinterType->ItemIndex()).MaxArea;
}

void TfmMain::ConvertImage() {
    RedThreshold = ParseIntOrDefault(ui->edRedThreshold->text().toStdString(), 0);
    GreenThreshold = ParseIntOrDefault(ui->edGreenThreshold->text().toStdString(), 0);
    BlueThreshold = ParseIntOrDefault(ui->edBlueThreshold->text().toStdString(), 0);
    PrinterLimits limits{GetMaxWidth(), GetMaxHeight(), GetMaxArea()};
    // The fit keeps to the width the printer prints, as the command line's.
    limits.PrintableWidth = LimitsOf(PrinterModels, ui->cbTargetPrinterType->ItemIndex()).PrintableWidth;
    Thresholds thresholds;
    thresholds.Red = RedThreshold;
    thresholds.Green = GreenThreshold;
    thresholds.Blue = BlueThreshold;
    status_->clear();
    status_->setToolTip(QString());
    if (!FitToPrinter() && !Dither()) {
        tlc::ConvertImage(SourceImage(), TargetImage(), thresholds, limits, Geometry);
        const PictureSize size{SourceImage().Picture().Width(), SourceImage().Picture().Height()};
        ShowConversion(size, size, false);
        return;
    }
    // The command line's own preparation, so the logo is the one
    // `tillora-logo convert --fit --dither` writes for the same file.
    PrepareOptions options;
    options.Fit = FitToPrinter();
    options.Dither = Dither();
    TImage prepared;
    prepared.SetAutoSize(true);
    const PreparedPicture result = LoadForPrinter(
        prepared.Picture(),
        [this](TPicture& p, const ImportHints& hints) { return LoadPrepared(p, hints); }, limits,
        options);
    // Dithered dots are black or white already; the thresholds stay unused,
    // as the command line leaves them.
    tlc::ConvertImage(prepared, TargetImage(), options.Dither ? Thresholds{} : thresholds, limits,
                      Geometry);
    ShowConversion({prepared.Picture().Width(), prepared.Picture().Height()}, result.Original,
                   result.Scaled);
}

void TfmMain::btLoadClick() {
    if (!openPictureDialog_->Execute()) return;
    LoadPicture(openPictureDialog_->FileName());
}

void TfmMain::btSaveClick() {
    const SaveDialogRunner runSaveDialog = [this](const std::string& folder) -> std::optional<std::string> {
        if (!folder.empty()) saveDialog_->setDirectory(QFile::decodeName(folder.c_str()));
        saveDialog_->selectFile(saveFileName_);
        if (saveDialog_->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList chosen = saveDialog_->selectedFiles();
        if (chosen.isEmpty()) return std::nullopt;
        saveFileName_ = chosen.first();
        const std::string path = QFile::encodeName(saveFileName_).toStdString();
        return path;
    };
    const auto result =
        RunSaveCommand(ui->cbTargetPrinterType->ItemIndex(),
                       QFile::encodeName(openPictureDialog_->FileName()).toStdString(), runSaveDialog,
                       Geometry, TargetImage(), loadedFile_);
    if (result && !*result) ShowInfoMessage(result->Message);
}

void TfmMain::btRefreshClick() {
    ConvertImage();
}

void TfmMain::btCloseClick() {
    close();
}

void TfmMain::cbTargetPrinterTypeChange() {
    repaint();
    ConvertImage();
}

void TfmMain::CorrectThreshold(QLineEdit& edit) {
    // Setting a different text raises the change event again, which runs
    // this rule on the new text and finds nothing to correct.
    const std::string typed = edit.text().toStdString();
    const std::string corrected = CorrectThresholdText(typed);
    if (corrected != typed) edit.setText(QString::fromStdString(corrected));
}

void TfmMain::edRedThresholdChange() {
    CorrectThreshold(*ui->edRedThreshold);
}
void TfmMain::edGreenThresholdChange() {
    CorrectThreshold(*ui->edGreenThreshold);
}
void TfmMain::edBlueThresholdChange() {
    CorrectThreshold(*ui->edBlueThreshold);
}

void TfmMain::About1Click() {
    if (!about_) return;
    if (auto* about = qobject_cast<TfmAbout*>(about_.data())) {
        about->ShowModal();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(about_.data())) {
        dialog->exec();
        return;
    }
    about_->setWindowModality(Qt::ApplicationModal);
    about_->show();
}

void TfmMain::Help2Click() {
    if (!help_) return;
    if (auto* help = qobject_cast<TfmHelp*>(help_.data())) {
        help->ShowHelp();
        return;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void TfmMain::SetUpResizing() {
    // The panes grow with the window; below the laid-out size the whole
    // client area scrolls, so a small screen still reaches every control.
    QWidget* central = takeCentralWidget();
    central->setMinimumSize(674 + 2 * 4, 521 + 2 * 4);
    auto* scroller = new TClientScroller(this);
    scroller->setObjectName(QStringLiteral("ClientScroller"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(central);
    setCentralWidget(scroller);
    // Arrow keys scroll a pane that was clicked; Tab still passes it by.
    for (QScrollArea* pane : {ui->ScrollBox1, ui->ScrollBox2})
        pane->setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
}

void TfmMain::LayOutClientArea() {
    const QSize client = ui->centralwidget->size() - QSize(2 * 4, 2 * 4);
    ui->ClientArea->setGeometry(4, 4, client.width(), client.height());
    const int dx = std::max(0, client.width() - 674);
    const int dy = std::max(0, client.height() - 521);
    ui->ScrollBox1->setGeometry(0, 92, 330 + dx / 2, 360 + dy);
    ui->ScrollBox2->setGeometry(344 + dx / 2, 92, 330 + dx - dx / 2, 360 + dy);
    ui->btLoad->move(0, 456 + dy);
    ui->btSave->move(346 + dx / 2, 456 + dy);
    ui->btClose->move(549 + dx, 456 + dy);
}

void TfmMain::FitScrollContent(TImageView& view) {
    // The scroll range reaches only to the image's right and bottom edges.
    if (QWidget* content = view.parentWidget()) {
        const TImage& m = view.Model();
        content->resize(std::max(0, m.Left() + m.Width()), std::max(0, m.Top() + m.Height()));
    }
}

void TfmMain::showEvent(QShowEvent* event) {
    if (!shownBefore_) {
        shownBefore_ = true;
        if (QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            // The laid-out size, or the screen's where that is smaller.
            const QSize frameExtra = frameGeometry().size() - size();
            resize(sizeHint().boundedTo(area.size() - frameExtra));
            const QSize frame = frameGeometry().size();
            move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
        }
    }
    QMainWindow::showEvent(event);
}

void TfmMain::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit Closed();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->centralwidget && event->type() == QEvent::Resize) LayOutClientArea();
    if (event->type() == QEvent::ShortcutOverride) {
        // A control that wants the key (an edit box wants Ctrl+X to cut) must
        // not keep it from the menu: refuse the override for menu shortcuts.
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* window = widget ? widget->window() : nullptr;
        if (window && (window == this || window == help_.data()) &&
            !QApplication::activeModalWidget()) {
            const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
            for (QAction* action : MenuActions()) {
                if (action->isEnabled() && action->shortcut() == pressed) {
                    event->ignore();
                    return true;
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tlc
