#pragma once

#include <cstdint>

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/Canvas.h"
#include "image/Picture.h"

namespace tlc {

// What a window system does for an image control. The Qt widget implements
// it; without a view the model runs alone.
class IImageView {
public:
    // Mark the control's area for repainting at the next paint cycle.
    virtual void InvalidateImage() = 0;
    // Paint everything marked, now, before returning.
    virtual void RepaintImageNow() = 0;
    // Visible with an existing parent window.
    virtual bool ImageShowing() const = 0;
    // The control's bounds changed (old and new areas need painting).
    virtual void ImageBoundsChanged() = 0;

protected:
    ~IImageView() = default;
};

// The image control: bounds, display properties and one picture.
class TImage final : public IChangeListener {
public:
    TImage() { picture_.SetListener(this); }
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }

    std::int32_t Left() const { return left_; }
    std::int32_t Top() const { return top_; }
    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    void SetLeft(std::int32_t v) { SetBounds(v, top_, width_, height_); }
    void SetTop(std::int32_t v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(std::int32_t v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(std::int32_t v) { SetBounds(left_, top_, width_, v); }
    // With AutoSize set, the picture's size replaces what was asked.
    void SetBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v) { stretch_ = v; allDirty_ = true; Changed(); }
    bool Proportional() const { return proportional_; }
    void SetProportional(bool v) { proportional_ = v; allDirty_ = true; Changed(); }
    bool Center() const { return center_; }
    void SetCenter(bool v) { center_ = v; allDirty_ = true; Changed(); }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v) { transparent_ = v; allDirty_ = true; Changed(); }
    bool Opaque() const { return opaque_; }

    void SetView(IImageView* view) { view_ = view; }
    IImageView* View() const { return view_; }

    // The canvas of the picture's bitmap. An empty picture first becomes a
    // blank white bitmap of the control's size; an icon or a metafile is refused.
    TBitmapCanvas& EnsureCanvas() {
        // The canvas handed out last time, while the picture keeps its graphic.
        if (canvas_ && picture_.Graphic() == canvasGraphic_) return *canvas_;
        TGraphic* graphic = picture_.Graphic();
        if (graphic && graphic->Kind() == GraphicKind::Bitmap) {
            canvas_ = &static_cast<TBitmap*>(graphic)->Canvas();
            canvasGraphic_ = graphic;
            return *canvas_;
        }
        return EnsureCanvasSlow();
    }

    // The bitmap behind EnsureCanvas when a pixel access through the canvas
    // would touch nothing but pixels, for loops that go along rows instead of
    // asking for the canvas at every dot. For reading: the picture holds a
    // bitmap whose canvas has its drawing context. For writing also: the
    // content is private and keeps nothing from the file, and pixel reports
    // are silenced until the next paint, so a write only stores and sets the
    // modified flag (the caller sets it). Null otherwise: the next dot must
    // then go through the canvas.
    TBitmap* SettledBitmap(bool forWrite) {
        TGraphic* graphic = picture_.Graphic();
        if (!graphic || graphic->Kind() != GraphicKind::Bitmap) return nullptr;
        auto* bitmap = static_cast<TBitmap*>(graphic);
        if (!bitmap->HasCanvas() || !bitmap->Canvas().HasContext()) return nullptr;
        if (forWrite && (bitmap->Image().CopyBeforeWrite() || bitmap->Image().HoldsFileDescription() ||
                         !graphic->QuietPixelChanges()))
            return nullptr;
        return bitmap;
    }

    // The picture changed: size to it (AutoSize), update transparency and
    // opacity, mark for repainting.
    void HandlePictureChange();
    void Changed() override { HandlePictureChange(); }

    // Immediate redraw.
    void Repaint();

    // Where the picture goes inside the control (natural size at the top-left
    // corner unless Stretch or Center say otherwise).
    struct Rect {
        std::int32_t Left, Top, Right, Bottom;
    };
    Rect DestRect() const;

    // The part of the control to paint for what changed since the last
    // paint: the whole control, or the changed rows of the picture mapped to
    // the control (rounded outwards when the picture is scaled). Empty when
    // nothing changed.
    Rect DirtyRect() const;

    // The view brackets its painting with these; changes meanwhile do not
    // mark the control again.
    void BeginPaint() { painting_ = true; }
    void EndPaint() {
        painting_ = false;
        invalid_ = false;
        allDirty_ = false;
        if (TGraphic* graphic = picture_.Graphic()) graphic->ForgetChangedRows();
        Unquiet();
    }
    bool NeedsPaint() const { return invalid_; }

private:
    TBitmapCanvas& EnsureCanvasSlow();
    void Unquiet() {
        if (TGraphic* graphic = picture_.Graphic()) graphic->SetQuietPixelChanges(false);
    }
    void Invalidate();

    TPicture picture_;
    IImageView* view_ = nullptr;
    // Forgotten at every picture change, so a replaced graphic is never used.
    TBitmapCanvas* canvas_ = nullptr;
    const TGraphic* canvasGraphic_ = nullptr;
    std::int32_t left_ = 0, top_ = 0, width_ = 105, height_ = 105;
    bool autoSize_ = false;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
    bool transparent_ = false;
    bool opaque_ = false;
    bool painting_ = false;
    bool invalid_ = false;
    // Bounds or display properties changed: the picture's rows say too little.
    bool allDirty_ = true;
};

} // namespace tlc
