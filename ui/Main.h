#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "base/Types.h"
#include "image/Resample.h"
#include "import/ImportedPicture.h"
#include "logo/PrintFit.h"
#include "logo/PrinterModels.h"
#include "ui/OpenPictureDialog.h"

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QLineEdit;

namespace Ui {
class TfmMain;
}

namespace tlc {

class TImage;
class TPicture;
class TImageView;
class TPrinterCombo;

// The working window: load a picture, choose the printer, set thresholds,
// compare source and target, save the logo file.
class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    // Read by the conversion and the writer.
    std::int32_t BlueThreshold = 0;
    std::int32_t GreenThreshold = 0;
    std::int32_t RedThreshold = 0;
    TPrinterModels PrinterModels;
    LogoGeometry Geometry;

    void ConvertImage();
    std::int32_t GetMaxWidth() const;
    std::int32_t GetMaxHeight() const;
    std::int32_t GetMaxArea() const;

    // Handlers.
    void btLoadClick();
    void btSaveClick();
    void btRefreshClick();
    void btCloseClick();
    void cbTargetPrinterTypeChange();
    void edRedThresholdChange();
    void edGreenThresholdChange();
    void edBlueThresholdChange();
    void About1Click();
    void Help2Click();
    void FormCreate();

    // Steps 2 to 4 of loading, after the dialog.
    void LoadPicture(const QString& path);
    // A picture named on the command line or dropped on the window: loaded
    // as Load does, and the save dialog then opens in its folder.
    void OpenPicture(const QString& path);

    // Picture menu: scale to what the printer holds, and dither instead of
    // the thresholds. Both off: the thresholds alone, as always.
    void SetFitToPrinter(bool fit);
    void SetDither(std::optional<DitherMethod> method);
    bool FitToPrinter() const;
    std::optional<DitherMethod> Dither() const;
    // The line under the panes after each conversion.
    QString StatusText() const;

    // The windows opened from the Help menu; the menu's shortcuts also work
    // while the Help window has the focus.
    void SetAboutWindow(QWidget* about);
    void SetHelpWindow(QWidget* help);

    TImage& SourceImage();
    TImage& TargetImage();
    TPrinterCombo& PrinterList();
    TOpenPictureDialog& OpenPictureDialog() { return *openPictureDialog_; }
    QFileDialog& SaveDialog() { return *saveDialog_; }
    QList<QAction*> MenuActions() const;

signals:
    // The window was closed: the program ends.
    void Closed();
    // A conversion's line was put under the panes.
    void StatusShown(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpControls();
    void ConnectHandlers();
    void FillPrinterModels();
    void CorrectThreshold(QLineEdit& edit);
    void FitScrollContent(TImageView& view);
    void SetUpPictureMenu();
    void SetUpResizing();
    void LayOutClientArea();
    void PictureOptionsChanged();
    void ShowConversion(PictureSize picture, PictureSize original, bool scaled);
    ImportFormat LoadPrepared(TPicture& picture, const ImportHints& hints);

    std::unique_ptr<Ui::TfmMain> ui;
    TOpenPictureDialog* openPictureDialog_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    QString saveFileName_ = QStringLiteral("logo.rsc");
    QPointer<QWidget> about_;
    QPointer<QWidget> help_;
    bool shownBefore_ = false;
    QAction* fitToPrinter_ = nullptr;
    QActionGroup* dithers_ = nullptr;
    QLabel* status_ = nullptr;
    // The loaded picture's file: its name and, for a format of import/, its
    // bytes, which fitting decodes again at the size it needs.
    std::string loadedFile_;
    std::vector<std::uint8_t> loadedBytes_;
    ImportFormat loadedFormat_ = ImportFormat::None;
};

} // namespace tlc
