#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/Graphic.h"

namespace tlc {

// The display's standard icon size.
inline constexpr std::int32_t kStandardIconSize = 32;

// The bytes of an icon file, and the size of the image chosen for display.
struct TIconImage {
    std::vector<std::uint8_t> Bytes;
    std::int32_t Width = kStandardIconSize;
    std::int32_t Height = kStandardIconSize;
};

// An icon: shown, never converted.
class TIcon final : public TGraphic {
public:
    TIcon() : TGraphic(GraphicKind::Icon), image_(std::make_shared<TIconImage>()) {}

    std::int32_t Width() const override { return image_->Width; }
    std::int32_t Height() const override { return image_->Height; }
    bool Empty() const override { return image_->Bytes.empty(); }
    std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TIcon>(); }
    void ShareFrom(const TGraphic& source) override {
        image_ = dynamic_cast<const TIcon&>(source).image_;
        Changed();
    }

    void SetImage(std::shared_ptr<TIconImage> image) {
        image_ = image ? std::move(image) : std::make_shared<TIconImage>();
        Changed();
    }
    const TIconImage& Image() const { return *image_; }
    long ShareCount() const { return image_.use_count(); }

private:
    std::shared_ptr<TIconImage> image_;
};

} // namespace tlc
