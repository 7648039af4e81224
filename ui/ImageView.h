#pragma once

#include <QImage>
#include <QWidget>

#include "image/Image.h"

namespace tlc {

// Shows one TImage model: its picture at natural size from the top-left
// corner, clipped to the control; where the control is larger, the parent
// shows through. The model's bounds are this widget's geometry.
class TImageView : public QWidget, public IImageView {
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);
    ~TImageView() override;

    TImage& Model() { return model_; }
    const TImage& Model() const { return model_; }

    // False when the picture held is one the control can only show as a
    // framed empty area (a metafile the metafile libraries refuse).
    bool GraphicDrawable() const;

    // Takes the position and size laid out by the form into the model.
    void AdoptFormBounds();

    // IImageView
    void InvalidateImage() override;
    void RepaintImageNow() override;
    bool ImageShowing() const override { return isVisible() && parentWidget() != nullptr; }
    void ImageBoundsChanged() override;

signals:
    // Bounds of the control changed; a scroll box resizes its content.
    void BoundsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBitmap(QPainter& painter, const QRect& dest, const QRect& exposed);
    void PaintIcon(QPainter& painter, const QRect& dest);
    static void PaintFramedArea(QPainter& painter, const QRect& dest);

    // The model's changed part in widget coordinates.
    QRect DirtyArea() const;
    void PaintChanged(bool now);

    TImage model_;
    // A deferred update of the changed part is queued; see InvalidateImage.
    bool updateQueued_ = false;
    // Decoded icon, kept while the icon content stays the same.
    const void* iconKey_ = nullptr;
    QImage iconImage_;
};

// Converts part of a raster (in picture coordinates) to a QImage.
QImage RasterToQImage(const TBitmapImage& raster, const QRect& part);

} // namespace tlc
