#include "image/Picture.h"

namespace tlc {

void TPicture::CopyPicture(const TPicture& source) { AssignShared(source.Graphic()); }

void TPicture::AssignShared(const TGraphic* graphic) {
    std::unique_ptr<TGraphic> copy;
    if (graphic) {
        copy = graphic->NewEmpty();
        copy->ShareFrom(*graphic);
        // Attached only now, so that the sharing itself reports nothing.
        copy->SetListener(this);
    }
    graphic_ = std::move(copy);
    if (graphic_) graphic_->MarkAllRowsChanged();
    Changed();
}

void TPicture::Install(std::unique_ptr<TGraphic> graphic) {
    graphic_ = std::move(graphic);
    if (graphic_) {
        graphic_->SetListener(this);
        graphic_->MarkAllRowsChanged();
    }
    Changed();
}

} // namespace tlc
