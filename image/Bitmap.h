#pragma once

#include <cstdint>
#include <memory>

#include "image/BitmapImage.h"
#include "image/Graphic.h"

namespace tlc {

class TBitmapCanvas;

// A raster graphic; its content is shared with copies until one side writes.
class TBitmap final : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;

    std::int32_t Width() const override { return image_->Width(); }
    std::int32_t Height() const override { return image_->AbsHeight(); }
    bool Empty() const override { return !image_->HasRaster() && image_->FileCopy.empty(); }
    std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TBitmap>(); }
    void ShareFrom(const TGraphic& source) override;
    // New, empty content (ShareFrom with no source).
    void ShareFromNothing();

    // Sizing an empty bitmap records the width; once width and height are both
    // non-zero a blank white raster in the display's format takes their place.
    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);

    // Installs freshly read content (count 1) and reports a change.
    void SetImage(std::shared_ptr<TBitmapImage> image);

    const TBitmapImage& Image() const { return *image_; }
    // Only valid after Unshare().
    TBitmapImage& ImageForWrite() { return *image_; }
    const std::shared_ptr<TBitmapImage>& SharedImage() const { return image_; }
    int ShareCount() const { return image_->shareCount_; }

    // Takes a private copy when the content is shared; forgets the counts of
    // colours used and the kept file bytes, which no longer match the pixels.
    void Unshare() {
        if (image_->CopyBeforeWrite() || image_->HoldsFileDescription()) UnshareSlow();
    }

    TBitmapCanvas& Canvas() { return canvas_ ? *canvas_ : CreateCanvas(); }
    bool HasCanvas() const { return canvas_ != nullptr; }

private:
    void UnshareSlow();
    // Refers to `image` in place of the current content, keeping both counts.
    void Refer(std::shared_ptr<TBitmapImage> image);
    TBitmapCanvas& CreateCanvas();
    void Resize(std::int32_t width, std::int32_t height);

    std::shared_ptr<TBitmapImage> image_;
    std::unique_ptr<TBitmapCanvas> canvas_;
};

} // namespace tlc
