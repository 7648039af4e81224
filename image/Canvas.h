#pragma once

#include <cstdint>

#include "base/Types.h"
#include "image/Bitmap.h"

namespace tlc {

// Our own table of the window system's colours (index 0 to 30), as
// 0x00BBGGRR; indices beyond the table give black.
TColor SystemColour(int index);

// A value with bit 31 set names the system colour of its low byte.
inline TColor ResolveColour(TColor value) {
    if (value & 0x80000000u) return SystemColour(static_cast<int>(value & 0xFFu));
    return value;
}

// A drawing surface with hooks around every change.
class TCanvas {
public:
    virtual ~TCanvas() = default;
    virtual TColor ReadPixel(std::int32_t x, std::int32_t y) = 0;
    virtual void WritePixel(std::int32_t x, std::int32_t y, TColor colour) = 0;

protected:
    virtual void BeforeChange() = 0;
    virtual void AfterChange() = 0;
};

// The canvas of one bitmap: BeforeChange unshares its content, AfterChange
// reports the change up the listener chain.
class TBitmapCanvas final : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap), image_(&bitmap.ImageForWrite()) {}

    TBitmap& Bitmap() const { return bitmap_; }
    // Whether a pixel access has set up the drawing context yet.
    bool HasContext() const { return hasContext_; }

    TColor ReadPixel(std::int32_t x, std::int32_t y) override {
        // Stored only once: a store on every read would keep the compiler
        // from holding the raster's fields in registers across a loop of reads.
        if (!hasContext_) hasContext_ = true;
        return image_->GetPixel(x, y);
    }

    void WritePixel(std::int32_t x, std::int32_t y, TColor colour) override {
        BeforeChange();
        if (!hasContext_) hasContext_ = true;
        image_->SetPixel(x, y, ResolveColour(colour));
        changedRow_ = y;
        AfterChange();
    }

protected:
    void BeforeChange() override {
        // The same test as TBitmap::Unshare, on the content this canvas already holds.
        if (image_->CopyBeforeWrite() || image_->HoldsFileDescription()) bitmap_.Unshare();
    }
    void AfterChange() override { bitmap_.PixelsChanged(changedRow_); }

private:
    friend class TBitmap;

    TBitmap& bitmap_;
    // The bitmap's current content; the bitmap updates it whenever it
    // refers to other content, which saves a step on every pixel.
    TBitmapImage* image_;
    bool hasContext_ = false;
    std::int32_t changedRow_ = 0;
};

} // namespace tlc
