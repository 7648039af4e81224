#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image/Graphic.h"
#include "image/PictureCrop.h"

namespace tlc {

// Holds zero or one graphic and passes its changes on to one listener (the
// owning image control).
class TPicture final : public IChangeListener {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    TGraphic* Graphic() const { return graphic_.get(); }
    std::int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
    std::int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Takes a copy of `source`'s graphic that shares its content; an empty
    // source empties this picture. The listener hears of it once.
    void CopyPicture(const TPicture& source);
    // Shares `graphic`'s content in a new graphic of this picture (steps of
    // CopyPicture after the source is chosen).
    void AssignShared(const TGraphic* graphic);
    // Installs a freshly read graphic in place of the old one and notifies
    // the listener once.
    void Install(std::unique_ptr<TGraphic> graphic);

    // Loads a picture file chosen by its extension; on failure the old
    // graphic stays. With a crop a bitmap keeps only its top-left part (see
    // PictureCrop); the crop receives the picture's own size, whatever its kind.
    void LoadFile(const std::string& fileName, PictureCrop* crop = nullptr);

    void SetListener(IChangeListener* listener) { listener_ = listener; }

    // From the graphic.
    void Changed() override {
        if (listener_) listener_->Changed();
    }

private:
    std::unique_ptr<TGraphic> graphic_;
    IChangeListener* listener_ = nullptr;
};

} // namespace tlc
