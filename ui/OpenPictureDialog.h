#pragma once

#include <string>

#include <QFileDialog>
#include <QString>

#include "ui/PreviewStrip.h"
#include "ui/PreviewWindow.h"

class QLabel;
class QToolButton;

namespace tlc {

class TFillImage;
class TSilentPaintPanel;

// The file-open dialog for pictures: Qt's own widget-based dialog (the same
// on every desktop) with a preview strip at the right of the file controls.
class TOpenPictureDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TOpenPictureDialog(QWidget* parent = nullptr);
    ~TOpenPictureDialog() override;

    // Runs the dialog modally from Filter, FilterIndex, InitialDir and
    // FileName; true when a file was confirmed (FileName and FilterIndex then
    // hold the result), false on cancel with nothing changed.
    bool Execute();

    QString FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    QString InitialDir() const { return initialDir_; }
    void SetInitialDir(const QString& dir);
    // "description|patterns|..." pairs as BuildFilter makes them.
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& filter);
    // 1-based entry of Filter; 0 takes the first.
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }

    // The preview strip.
    TPreviewStrip& Strip() const { return *strip_; }
    QWidget& PicturePanel() const { return *strip_; }
    QLabel& PictureLabel() const { return strip_->Label(); }
    QToolButton& PreviewButton() const { return strip_->PreviewButton(); }
    TSilentPaintPanel& PaintPanel() const { return strip_->PaintPanel(); }
    TFillImage& PaintBox() const { return strip_->PaintBox(); }

    // Size of the monitor that holds the preview window.
    void SetMonitorSize(MonitorSizeFunction monitorSize) { monitorSize_ = std::move(monitorSize); }

    // Opens the preview window (modal) with a copy of the preview picture.
    void PreviewClick();

    // Hides any hint that is showing as the dialog closes.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString fileName_;
    QString initialDir_;
    std::string filter_;
    int filterIndex_ = 0;
    MonitorSizeFunction monitorSize_;
    TPreviewStrip* strip_ = nullptr;
};

} // namespace tlc
