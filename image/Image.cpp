#include "image/Image.h"

#include <algorithm>

namespace tlc {

void TImage::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                       std::int32_t height) {
    if (autoSize_ && picture_.Width() > 0 && picture_.Height() > 0) {
        width = picture_.Width();
        height = picture_.Height();
    }
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    allDirty_ = true;
    if (view_) view_->ImageBoundsChanged();
}

void TImage::SetAutoSize(bool v) {
    autoSize_ = v;
    if (autoSize_) SetBounds(left_, top_, width_, height_);
}

void TImage::HandlePictureChange() {
    // A graphic created later at a freed one's address must not find its canvas.
    if (picture_.Graphic() != canvasGraphic_) canvas_ = nullptr;
    if (autoSize_) {
        const std::int32_t w = picture_.Width();
        const std::int32_t h = picture_.Height();
        if (w > 0 && h > 0) SetBounds(left_, top_, w, h);
    }
    TGraphic* graphic = picture_.Graphic();
    if (graphic) {
        if (graphic->Kind() == GraphicKind::Bitmap) graphic->SetTransparent(transparent_);
        opaque_ = !graphic->Transparent() && stretch_ && !proportional_;
    } else {
        opaque_ = false;
    }
    if (!painting_) Invalidate();
    // Until the next paint, another pixel write would find the control sized,
    // its flags set and its area marked: let the graphic skip those reports.
    if (graphic && invalid_ && !painting_) graphic->SetQuietPixelChanges(true);
}

void TImage::Invalidate() {
    // One mark per paint cycle is enough; a conversion writes many pixels.
    if (invalid_) return;
    invalid_ = true;
    if (view_) view_->InvalidateImage();
}

void TImage::Repaint() {
    if (!view_ || !view_->ImageShowing()) return;
    if (!invalid_) {
        invalid_ = true;
        view_->InvalidateImage();
    }
    view_->RepaintImageNow();
}

TImage::Rect TImage::DestRect() const {
    std::int32_t w = picture_.Width();
    std::int32_t h = picture_.Height();
    if (stretch_ || (proportional_ && (w > width_ || h > height_))) {
        if (proportional_ && w > 0 && h > 0) {
            const double scale = std::min(static_cast<double>(width_) / w,
                                          static_cast<double>(height_) / h);
            w = static_cast<std::int32_t>(w * scale);
            h = static_cast<std::int32_t>(h * scale);
        } else {
            w = width_;
            h = height_;
        }
    }
    Rect r{0, 0, w, h};
    if (center_) {
        const std::int32_t dx = (width_ - w) / 2;
        const std::int32_t dy = (height_ - h) / 2;
        r = Rect{dx, dy, dx + w, dy + h};
    }
    return r;
}

TImage::Rect TImage::DirtyRect() const {
    const Rect whole{0, 0, width_, height_};
    const TGraphic* graphic = picture_.Graphic();
    if (allDirty_ || !graphic || graphic->Kind() != GraphicKind::Bitmap) return whole;
    const std::int64_t top = graphic->ChangedRowsTop();
    const std::int64_t bottom = graphic->ChangedRowsBottom();
    if (top >= bottom) return Rect{0, 0, 0, 0};
    const std::int64_t h = picture_.Height();
    if (h <= 0 || (top <= 0 && bottom >= h)) return whole;
    const Rect dest = DestRect();
    const std::int64_t destH = dest.Bottom - dest.Top;
    const std::int64_t t = std::clamp<std::int64_t>(top, 0, h);
    const std::int64_t b = std::clamp<std::int64_t>(bottom, 0, h);
    // Outwards: a scaled row may touch a screen row only in part.
    const std::int64_t y0 = dest.Top + (t * destH) / h;
    const std::int64_t y1 = dest.Top + (b * destH + h - 1) / h;
    const auto top32 = static_cast<std::int32_t>(std::clamp<std::int64_t>(y0, 0, height_));
    const auto bottom32 = static_cast<std::int32_t>(std::clamp<std::int64_t>(y1, 0, height_));
    if (top32 >= bottom32) return Rect{0, 0, 0, 0};
    return Rect{0, top32, width_, bottom32};
}

TBitmapCanvas& TImage::EnsureCanvasSlow() {
    if (!picture_.Graphic()) {
        TBitmap blank;
        blank.SetWidth(width_);
        blank.SetHeight(height_);
        picture_.AssignShared(&blank);
    }
    TGraphic* graphic = picture_.Graphic();
    if (graphic->Kind() == GraphicKind::Bitmap) return static_cast<TBitmap*>(graphic)->Canvas();
    throw EInvalidOperation("Can only modify an image if it contains a bitmap");
}

} // namespace tlc
