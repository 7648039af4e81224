#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace tlc {

class TFillImage;
class TPicture;
class TSilentPaintPanel;

// The strip beside the open dialog's file controls: "Picture:" or the size of
// the selected picture, the Preview button in the label's row, and the
// picture itself drawn to fit in a bevelled panel.
class TPreviewStrip : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewStrip(QWidget* parent = nullptr);

    // Loads `path` into the box; a folder, a special file or a picture that
    // does not load shows nothing. Repeating the path last shown loads nothing.
    void ShowFile(const QString& path);
    // Empties the box and forgets the path last shown; the label and the
    // button keep what the last selection gave them.
    void Reset();

    const TPicture& Picture() const;
    QLabel& Label() const { return *label_; }
    QToolButton& PreviewButton() const { return *previewButton_; }
    TSilentPaintPanel& PaintPanel() const { return *paintPanel_; }
    TFillImage& PaintBox() const { return *paintBox_; }

    static constexpr int kWidth = 168;

signals:
    // The Preview button was pressed or the picture double-clicked.
    void PreviewRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearBox();
    void PlacePreviewButton();

    // The path last shown: repeated notifications of it load nothing.
    QString savedFileName_;
    QLabel* label_ = nullptr;
    QToolButton* previewButton_ = nullptr;
    TSilentPaintPanel* paintPanel_ = nullptr;
    TFillImage* paintBox_ = nullptr;
};

} // namespace tlc
