#pragma once

#include <functional>
#include <string>

#include <QFileDialog>
#include <QSize>
#include <QString>

#include "ui/ImageView.h"

class QLabel;
class QToolButton;

namespace tlc {

// A panel with a raised inner and a lowered outer bevel whose caption is
// drawn in its centre, under whatever its content covers. Drawing its content
// never raises: a failure turns the caption into "Invalid image".
class TSilentPaintPanel : public QWidget {
    Q_OBJECT
public:
    explicit TSilentPaintPanel(QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    // Runs the drawing of a child; whatever it throws is swallowed here.
    void PaintContent(const std::function<void()>& draw) noexcept;

    // Width of the two bevels: the client area lies this far inside.
    static constexpr int kBevelWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

// An image control that fills whatever area its layout gives it, keeping the
// model's bounds in step; inside a TSilentPaintPanel its drawing goes through
// the panel's guard.
class TFillImage : public TImageView {
    Q_OBJECT
public:
    explicit TFillImage(QWidget* parent = nullptr);

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

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
    QWidget& PicturePanel() const { return *picturePanel_; }
    QLabel& PictureLabel() const { return *pictureLabel_; }
    QToolButton& PreviewButton() const { return *previewButton_; }
    TSilentPaintPanel& PaintPanel() const { return *paintPanel_; }
    TFillImage& PaintBox() const { return *paintBox_; }

    // Size of the monitor that holds `window`; tests put their own screen here.
    using MonitorSizeFunction = std::function<QSize(const QWidget& window)>;
    void SetMonitorSize(MonitorSizeFunction monitorSize) { monitorSize_ = std::move(monitorSize); }

    // Opens the preview window (modal) with a copy of the preview picture.
    void PreviewClick();

    // Hides any hint that is showing as the dialog closes.
    void done(int result) override;

    // Client size of the preview window for a picture: the window's client
    // area less the panel's, plus the picture and 10 (the panel's border
    // widths), each way no more than three quarters of the monitor.
    static QSize PreviewClientSize(QSize monitor, QSize overhead, QSize picture);

    // Width of the preview strip beside the file controls.
    static constexpr int kStripWidth = 168;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearPreview();
    void SelectionChanged(const QString& path);
    void PlacePreviewButton();

    QString fileName_;
    QString initialDir_;
    std::string filter_;
    int filterIndex_ = 0;
    // The path last previewed: repeated notifications of it load nothing.
    QString savedFileName_;
    MonitorSizeFunction monitorSize_;

    QWidget* picturePanel_ = nullptr;
    QLabel* pictureLabel_ = nullptr;
    QToolButton* previewButton_ = nullptr;
    TSilentPaintPanel* paintPanel_ = nullptr;
    TFillImage* paintBox_ = nullptr;
};

} // namespace tlc
