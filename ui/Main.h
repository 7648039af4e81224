#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "base/Types.h"
#include "logo/PrinterModels.h"
#include "ui/OpenPictureDialog.h"

class QAction;
class QFileDialog;
class QLineEdit;

namespace Ui {
class TfmMain;
}

namespace tlc {

class TImage;
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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpControls();
    void ConnectHandlers();
    void FillPrinterModels();
    void CorrectThreshold(QLineEdit& edit);
    void FitScrollContent(TImageView& view);

    std::unique_ptr<Ui::TfmMain> ui;
    TOpenPictureDialog* openPictureDialog_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    QString saveFileName_ = QStringLiteral("logo.rsc");
    std::string loadedPicture_; // the picture file shown, which a save must not replace
    QPointer<QWidget> about_;
    QPointer<QWidget> help_;
    bool shownBefore_ = false;
};

} // namespace tlc
