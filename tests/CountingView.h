#pragma once

#include "image/Image.h"

namespace tlc::test {

// Stands in for the window system: counts what the image control asks of it.
class CountingView final : public IImageView {
public:
    explicit CountingView(TImage& image, bool showing = true) : image_(image), showing_(showing) {
        image_.SetView(this);
    }
    ~CountingView() { image_.SetView(nullptr); }

    void InvalidateImage() override { ++invalidations; }
    void RepaintImageNow() override {
        ++repaints;
        image_.BeginPaint();
        image_.EndPaint();
    }
    bool ImageShowing() const override { return showing_; }
    void ImageBoundsChanged() override { ++boundsChanges; }

    int invalidations = 0;
    int repaints = 0;
    int boundsChanges = 0;

private:
    TImage& image_;
    bool showing_;
};

} // namespace tlc::test
