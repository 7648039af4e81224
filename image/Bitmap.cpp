#include "image/Bitmap.h"

#include <mutex>

#include "image/Canvas.h"

namespace tlc {

namespace {

// Sharing and replacing content happens under one lock, as the window
// system's own bitmaps do: the command line's batch loads and converts
// pictures on several threads at once.
std::mutex& ContentLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

TBitmap::TBitmap() : TGraphic(GraphicKind::Bitmap) { Refer(std::make_shared<TBitmapImage>()); }

TBitmap::~TBitmap() {
    std::lock_guard<std::mutex> guard(ContentLock());
    --image_->shareCount_;
}

void TBitmap::Refer(std::shared_ptr<TBitmapImage> image) {
    ++image->shareCount_;
    if (image_) --image_->shareCount_;
    image_ = std::move(image);
    if (canvas_) canvas_->image_ = image_.get();
}

void TBitmap::ShareFrom(const TGraphic& source) {
    const auto& other = dynamic_cast<const TBitmap&>(source);
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(other.image_);
        SetTransparent(other.Transparent());
    }
    Changed();
}

void TBitmap::ShareFromNothing() {
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(std::make_shared<TBitmapImage>());
    }
    Changed();
}

void TBitmap::SetImage(std::shared_ptr<TBitmapImage> image) {
    {
        std::lock_guard<std::mutex> guard(ContentLock());
        Refer(image ? std::move(image) : std::make_shared<TBitmapImage>());
    }
    Changed();
}

void TBitmap::UnshareSlow() {
    std::lock_guard<std::mutex> guard(ContentLock());
    if (image_->CopyBeforeWrite()) Refer(image_->Clone());
    image_->ClrUsed = 0;
    image_->ClrImportant = 0;
    image_->FileCopy.clear();
    image_->FileCopy.shrink_to_fit();
}

TBitmapCanvas& TBitmap::CreateCanvas() {
    canvas_ = std::make_unique<TBitmapCanvas>(*this);
    return *canvas_;
}

void TBitmap::SetWidth(std::int32_t width) {
    if (width == image_->Width()) return;
    Resize(width, image_->Height());
}

void TBitmap::SetHeight(std::int32_t height) {
    if (height == image_->Height()) return;
    Resize(image_->Width(), height);
}

void TBitmap::Resize(std::int32_t width, std::int32_t height) {
    if (width < 0) width = 0;
    if (width > 0 && height != 0)
        SetImage(TBitmapImage::CreateBlank(width, height));
    else
        SetImage(TBitmapImage::CreateSizeOnly(width, height));
}

} // namespace tlc
