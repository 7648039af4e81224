#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "image/Graphic.h"

namespace tlc {

// A Windows or enhanced metafile as read: the record bytes, the extent in
// 0.01 mm, the units per inch of a Windows metafile (0 for an enhanced one)
// and the size in screen pixels. An SVG picture is held the same way.
struct TMetafileImage {
    std::vector<std::uint8_t> Data;
    bool Enhanced = true;
    // An SVG document (Data its text; Enhanced false, Inch 0).
    bool Svg = false;
    std::int32_t MMWidth = 0;
    std::int32_t MMHeight = 0;
    std::uint16_t Inch = 0;
    // A Windows metafile's placeable bounding box, in its logical units (the
    // frame the picture is drawn in when its records set no window).
    std::int16_t FrameLeft = 0, FrameTop = 0, FrameRight = 0, FrameBottom = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // What the window system made of Data to draw it, made at the first
    // drawing and kept with the content, so every copy sharing the content
    // draws from the one result.
    mutable std::shared_ptr<void> Drawing;
};

// A metafile: shown, never converted.
class TMetafile final : public TGraphic {
public:
    TMetafile() : TGraphic(GraphicKind::Metafile), image_(std::make_shared<TMetafileImage>()) {}

    std::int32_t Width() const override { return image_->Width; }
    std::int32_t Height() const override { return image_->Height; }
    bool Empty() const override { return image_->Data.empty(); }
    std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TMetafile>(); }
    void ShareFrom(const TGraphic& source) override {
        image_ = dynamic_cast<const TMetafile&>(source).image_;
        Changed();
    }

    void SetImage(std::shared_ptr<TMetafileImage> image) {
        image_ = image ? std::move(image) : std::make_shared<TMetafileImage>();
        Changed();
    }
    const TMetafileImage& Image() const { return *image_; }
    long ShareCount() const { return image_.use_count(); }

private:
    std::shared_ptr<TMetafileImage> image_;
};

} // namespace tlc
