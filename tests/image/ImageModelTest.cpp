#include <gtest/gtest.h>

#include <memory>

#include "CountingView.h"
#include "base/Exceptions.h"
#include "image/Icon.h"
#include "image/Image.h"
#include "image/Metafile.h"

namespace tlc {
namespace {

using test::CountingView;

// A 100 x 50 24-bit bitmap with a gradient, installed in `image`.
void InstallGradient(TImage& image, std::int32_t w = 100, std::int32_t h = 50) {
    TRasterFormat f;
    f.Width = w;
    f.Height = h;
    f.BitCount = 24;
    auto raster = TBitmapImage::Create(f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) raster->SetPixel(x, y, RGB(x, y, 77));
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(raster);
    image.Picture().Install(std::move(bitmap));
}

const TBitmap& BitmapOf(const TImage& image) {
    return *static_cast<const TBitmap*>(image.Picture().Graphic());
}

TEST(Picture, EmptyPictureAndEmptyCopy) {
    TImage target;
    CountingView view(target);
    EXPECT_EQ(target.Picture().Width(), 0);
    EXPECT_EQ(target.Picture().Height(), 0);
    TImage source;
    InstallGradient(target);
    target.EndPaint();
    view.invalidations = 0;
    target.Picture().CopyPicture(source.Picture());
    EXPECT_EQ(target.Picture().Graphic(), nullptr);
    EXPECT_EQ(view.invalidations, 1); // the target was still notified
}

TEST(Picture, CopyOnWriteInBothDirections) {
    for (bool writeTarget : {true, false}) {
        SCOPED_TRACE(writeTarget ? "write to target" : "write to source");
        TImage source, target;
        InstallGradient(source);
        target.Picture().CopyPicture(source.Picture());
        ASSERT_EQ(BitmapOf(source).ShareCount(), 2);
        ASSERT_EQ(&BitmapOf(source).Image(), &BitmapOf(target).Image());

        TImage& written = writeTarget ? target : source;
        TImage& other = writeTarget ? source : target;
        written.EnsureCanvas().WritePixel(10, 10, clBlack);
        EXPECT_EQ(written.EnsureCanvas().ReadPixel(10, 10), clBlack);
        EXPECT_EQ(other.EnsureCanvas().ReadPixel(10, 10), RGB(10, 10, 77));
        EXPECT_EQ(BitmapOf(source).ShareCount(), 1);
        EXPECT_EQ(BitmapOf(target).ShareCount(), 1);
    }
}

TEST(Picture, ReadDoesNotUnshare) {
    TImage source, target;
    InstallGradient(source);
    target.Picture().CopyPicture(source.Picture());
    EXPECT_EQ(target.EnsureCanvas().ReadPixel(3, 3), RGB(3, 3, 77));
    EXPECT_EQ(BitmapOf(target).ShareCount(), 2);
}

TEST(Picture, WriteOutsideStillUnsharesAndMarksForRepaint) {
    TImage source, target;
    CountingView view(target);
    InstallGradient(source);
    target.Picture().CopyPicture(source.Picture());
    target.EndPaint(); // as after a paint cycle
    view.invalidations = 0;
    target.EnsureCanvas().WritePixel(-1, 0, clBlack);
    EXPECT_EQ(BitmapOf(target).ShareCount(), 1);
    EXPECT_EQ(view.invalidations, 1);
    EXPECT_TRUE(BitmapOf(target).Modified());
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(target.EnsureCanvas().ReadPixel(x, y), RGB(x, y, 77));
}

TEST(Picture, ShareCountFollowsCopiesAndTheirEnd) {
    TImage source;
    InstallGradient(source);
    {
        TImage a, b;
        a.Picture().CopyPicture(source.Picture());
        b.Picture().CopyPicture(a.Picture());
        EXPECT_EQ(BitmapOf(source).ShareCount(), 3);
        b.Picture().CopyPicture(TImage().Picture()); // b empties
        EXPECT_EQ(BitmapOf(source).ShareCount(), 2);
    }
    EXPECT_EQ(BitmapOf(source).ShareCount(), 1);
}

TEST(Picture, EveryPaintCycleGetsItsOwnMark) {
    // Writes between two paints mark the control once; after a paint the
    // next write marks it again.
    TImage image;
    CountingView view(image);
    InstallGradient(image);
    image.EndPaint();
    view.invalidations = 0;
    for (int round = 1; round <= 3; ++round) {
        for (int x = 0; x < 10; ++x) image.EnsureCanvas().WritePixel(x, round, clBlack);
        EXPECT_EQ(view.invalidations, round);
        image.Repaint();
        EXPECT_FALSE(image.NeedsPaint());
    }
    // A property change still reaches the control while marked.
    image.EnsureCanvas().WritePixel(0, 0, clBlack);
    image.SetStretch(true);
    EXPECT_TRUE(image.Opaque());
}

TEST(Picture, UnshareDropsColourCountsAndFileCopy) {
    TImage image;
    InstallGradient(image);
    auto& raster = const_cast<TBitmapImage&>(BitmapOf(image).Image());
    raster.ClrUsed = 12;
    raster.ClrImportant = 3;
    raster.FileCopy = {1, 2, 3};
    EXPECT_FALSE(BitmapOf(image).Empty());
    image.EnsureCanvas().WritePixel(0, 0, clWhite);
    EXPECT_EQ(BitmapOf(image).Image().ClrUsed, 0u);
    EXPECT_EQ(BitmapOf(image).Image().ClrImportant, 0u);
    EXPECT_TRUE(BitmapOf(image).Image().FileCopy.empty());
}

TEST(ImageControl, BoundsNeverChangePixels) {
    TImage image;
    InstallGradient(image);
    image.SetWidth(104);
    image.SetHeight(56);
    EXPECT_EQ(image.Picture().Width(), 100);
    EXPECT_EQ(image.Picture().Height(), 50);
    TCanvas& canvas = image.EnsureCanvas();
    EXPECT_EQ(canvas.ReadPixel(102, 3), clNone);
    EXPECT_EQ(canvas.ReadPixel(3, 52), clNone);
    EXPECT_EQ(canvas.ReadPixel(-1, 0), clNone);
    EXPECT_EQ(canvas.ReadPixel(100, 0), clNone);
    EXPECT_EQ(canvas.ReadPixel(0, 50), clNone);
    canvas.WritePixel(102, 3, clBlack);
    EXPECT_EQ(canvas.ReadPixel(102, 3), clNone);
    EXPECT_EQ(canvas.ReadPixel(99, 3), RGB(99, 3, 77));
}

TEST(ImageControl, AutoSizeFollowsPicture) {
    TImage image;
    CountingView view(image);
    image.SetAutoSize(true);
    image.SetBounds(-4, -6, 105, 105); // no picture yet: as asked
    EXPECT_EQ(image.Width(), 105);
    InstallGradient(image);
    EXPECT_EQ(image.Left(), -4);
    EXPECT_EQ(image.Top(), -6);
    EXPECT_EQ(image.Width(), 100);
    EXPECT_EQ(image.Height(), 50);
    image.SetWidth(300);
    EXPECT_EQ(image.Width(), 100);
    EXPECT_GE(view.boundsChanges, 2);
}

TEST(ImageControl, EnsureCanvasOnEmptyImage) {
    TImage image;
    CountingView view(image);
    image.SetBounds(0, 0, 245, 263);
    TCanvas& canvas = image.EnsureCanvas();
    EXPECT_EQ(image.Picture().Width(), 245);
    EXPECT_EQ(image.Picture().Height(), 263);
    EXPECT_EQ(BitmapOf(image).ShareCount(), 1);
    EXPECT_GE(view.invalidations, 1);
    for (int y = 0; y < 263; ++y)
        for (int x = 0; x < 245; ++x) ASSERT_EQ(canvas.ReadPixel(x, y), clWhite);
    canvas.WritePixel(1, 1, clBlack);
    EXPECT_EQ(canvas.ReadPixel(1, 1), clBlack);
    // The same canvas from now on.
    EXPECT_EQ(&image.EnsureCanvas(), &canvas);
}

TEST(ImageControl, EnsureCanvasFollowsEveryNewGraphic) {
    // The canvas handed out must always be the current bitmap's.
    TImage image;
    InstallGradient(image, 10, 10);
    EXPECT_EQ(image.EnsureCanvas().ReadPixel(9, 0), RGB(9, 0, 77));
    InstallGradient(image, 4, 4);
    EXPECT_EQ(&image.EnsureCanvas().Bitmap(), &BitmapOf(image));
    EXPECT_EQ(image.EnsureCanvas().ReadPixel(9, 0), clNone);

    TImage other;
    InstallGradient(other, 20, 20);
    image.Picture().CopyPicture(other.Picture());
    EXPECT_EQ(image.EnsureCanvas().ReadPixel(19, 0), RGB(19, 0, 77));

    TImage iconImage;
    auto icon = std::make_unique<TIcon>();
    auto bytes = std::make_shared<TIconImage>();
    bytes->Bytes = {0, 0, 1, 0, 0, 0};
    icon->SetImage(bytes);
    iconImage.Picture().Install(std::move(icon));
    image.Picture().CopyPicture(iconImage.Picture());
    EXPECT_THROW(image.EnsureCanvas(), EInvalidOperation);

    image.Picture().CopyPicture(TImage().Picture());
    image.SetBounds(0, 0, 3, 2);
    EXPECT_EQ(image.EnsureCanvas().ReadPixel(2, 1), clWhite);
    EXPECT_EQ(image.Picture().Width(), 3);
}

TEST(ImageControl, EnsureCanvasOnZeroWideImageHasNoRaster) {
    TImage image;
    image.SetBounds(0, 0, 0, 263);
    TCanvas& canvas = image.EnsureCanvas();
    ASSERT_NE(image.Picture().Graphic(), nullptr);
    EXPECT_EQ(image.Picture().Width(), 0);
    canvas.WritePixel(0, 0, clBlack);
    EXPECT_EQ(canvas.ReadPixel(0, 0), clNone);
}

TEST(ImageControl, IconAndMetafileRefusePixelAccess) {
    for (int kind = 0; kind < 2; ++kind) {
        TImage image;
        if (kind == 0) {
            auto icon = std::make_shared<TIconImage>();
            icon->Bytes = {0, 0, 1, 0, 0, 0};
            auto graphic = std::make_unique<TIcon>();
            graphic->SetImage(icon);
            image.Picture().Install(std::move(graphic));
        } else {
            auto meta = std::make_shared<TMetafileImage>();
            meta->Data = {1, 2, 3};
            meta->Width = 20;
            meta->Height = 10;
            auto graphic = std::make_unique<TMetafile>();
            graphic->SetImage(meta);
            image.Picture().Install(std::move(graphic));
        }
        const TGraphic* before = image.Picture().Graphic();
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                image.EnsureCanvas();
                FAIL() << "pixel access allowed";
            } catch (const EInvalidOperation& e) {
                EXPECT_EQ(e.Message(), "Can only modify an image if it contains a bitmap");
            }
        }
        EXPECT_EQ(image.Picture().Graphic(), before);
        // A copy shares the content and is refused the same way.
        TImage copy;
        copy.Picture().CopyPicture(image.Picture());
        EXPECT_EQ(copy.Picture().Width(), kind == 0 ? 32 : 20);
        EXPECT_THROW(copy.EnsureCanvas(), EInvalidOperation);
    }
}

TEST(ImageControl, RepaintOnlyWhenShowing) {
    TImage hidden, shown;
    CountingView hiddenView(hidden, false), shownView(shown, true);
    hidden.Repaint();
    shown.Repaint();
    EXPECT_EQ(hiddenView.repaints, 0);
    EXPECT_EQ(shownView.repaints, 1);
}

TEST(ImageControl, OpaqueOnlyWhenStretchedWithoutProportion) {
    TImage image;
    InstallGradient(image);
    EXPECT_FALSE(image.Opaque());
    image.SetStretch(true);
    EXPECT_TRUE(image.Opaque());
    image.SetProportional(true);
    EXPECT_FALSE(image.Opaque());
    image.SetProportional(false);
    image.SetTransparent(true);
    EXPECT_FALSE(image.Opaque());
    EXPECT_TRUE(BitmapOf(image).Transparent());
}

TEST(ImageControl, SystemColourWriteStoresResolvedColour) {
    TImage image;
    image.SetBounds(0, 0, 4, 4);
    image.EnsureCanvas().WritePixel(0, 0, 0x8000000F);
    EXPECT_EQ(image.EnsureCanvas().ReadPixel(0, 0), SystemColour(15));
}

} // namespace
} // namespace tlc
