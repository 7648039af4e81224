#include "logo/Conversion.h"

#include <algorithm>
#include <memory>

#include "base/ParseInt.h"
#include "image/Bitmap.h"

namespace tlc {

std::string CorrectThresholdText(const std::string& text) {
    std::string result = text;
    // Whole strings: assigning a literal trips a false overlap warning of GCC 12 at -O3.
    if (ParseIntOrDefault(result, 0) <= 0) result = std::string("0");
    if (ParseIntOrDefault(result, 0) > 255) result = std::string("255");
    return result;
}

LogoGeometry FitGeometry(std::int32_t width, std::int32_t height, const PrinterLimits& limits) {
    // 64-bit arithmetic: a hostile picture size must not overflow on the way.
    std::int64_t w = width;
    std::int64_t h = height;
    w = w + 8 - (w % 8);
    h = h + 8 - (h % 8);
    if (limits.MaxWidth < w) w = limits.MaxWidth;
    if (limits.MaxHeight < h) h = limits.MaxHeight;
    if (limits.MaxArea < w * h) {
        const std::int64_t excess = w * h - limits.MaxArea;
        h = h - excess / w - ((excess % w) != 0 ? 1 : 0);
    }
    w = w - (w % 8);
    h = h - (h % 8);
    return {static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
}

namespace {

// Dots handled at once along a row once the canvases are settled.
constexpr std::int32_t kRun = 512;

} // namespace

// Every dot is the canvas's request and write until a write would only store
// a pixel (see TImage::SettledBitmap); from then on nothing here paints or
// reports, so it stays that way and the rest is filled along rows.
void ClearTargetImage(TImage& target, const LogoGeometry& geometry) {
    // Locals: pixel stores could alias anything reached through a reference.
    const std::int32_t width = geometry.Width;
    const std::int32_t height = geometry.Height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            if (TBitmap* settled = target.SettledBitmap(true)) {
                TBitmapImage& raster = settled->ImageForWrite();
                raster.FillRow(x, y, width - x, clWhite);
                for (std::int32_t row = y + 1; row < height; ++row)
                    raster.FillRow(0, row, width, clWhite);
                settled->SetModified(true);
                settled->NoteRowsChanged(y, height);
                return;
            }
            target.EnsureCanvas().WritePixel(x, y, clWhite);
        }
    }
}

namespace {

// One row of the conversion. Reads change nothing once the source is
// settled, so they go along the row; a dark dot is written along the row
// only while the target is settled, otherwise through its canvas (it may
// unshare the content or report to the control after a redraw).
void ConvertRow(TImage& source, TImage& target, const Thresholds& t,
                const TBitmapImage::ChannelTables& dark, std::int32_t y, std::int32_t width) {
    std::uint8_t flags[kRun];
    std::int32_t x = 0;
    while (x < width) {
        TBitmap* from = source.SettledBitmap(false);
        if (!from) {
            // The first read may turn an empty source into a bitmap, or be refused.
            const TColor c = source.EnsureCanvas().ReadPixel(x, y);
            if (IsDark(c, t)) target.EnsureCanvas().WritePixel(x, y, clBlack);
            ++x;
            continue;
        }
        const std::int32_t n = std::min(kRun, width - x);
        from->Image().ClassifyRow(x, y, n, dark, flags);
        unsigned any = 0;
        for (std::int32_t i = 0; i < n; ++i) any |= flags[i];
        if (!any) {
            x += n;
            continue;
        }
        if (TBitmap* to = target.SettledBitmap(true)) {
            to->ImageForWrite().StoreWhere(x, y, n, flags, clBlack);
            to->SetModified(true);
            to->NoteRowsChanged(y, y + 1);
            x += n;
            continue;
        }
        std::int32_t i = 0;
        while (!flags[i]) ++i;
        target.EnsureCanvas().WritePixel(x + i, y, clBlack);
        x += i + 1;
    }
}

} // namespace

namespace {

// Whether a raster of `format` reads back `c` exactly as written.
bool HoldsExactly(const TRasterFormat& format, TColor c) {
    TRasterFormat probe = format;
    probe.Width = 1;
    probe.Height = 1;
    const std::shared_ptr<TBitmapImage> raster = TBitmapImage::Create(probe);
    raster->SetPixel(0, 0, c);
    return raster->GetPixel(0, 0) == c;
}

} // namespace

void LetTargetHoldBlackAndWhite(TImage& target) {
    const auto* bitmap = dynamic_cast<const TBitmap*>(target.Picture().Graphic());
    if (!bitmap || !bitmap->Image().HasRaster()) return;
    const TBitmapImage& image = bitmap->Image();
    if (HoldsExactly(image.Format(), clBlack) && HoldsExactly(image.Format(), clWhite)) return;
    TRasterFormat format;
    format.Width = image.Width();
    format.Height = image.Height();
    format.BitCount = 24;
    std::shared_ptr<TBitmapImage> copy = TBitmapImage::Create(format);
    for (std::int32_t y = 0; y < image.AbsHeight(); ++y) {
        std::uint8_t* row = copy->Row(y);
        for (std::int32_t x = 0; x < image.Width(); ++x, row += 3) {
            const TColor c = image.GetPixel(x, y);
            row[0] = static_cast<std::uint8_t>(BlueOf(c));
            row[1] = static_cast<std::uint8_t>(GreenOf(c));
            row[2] = static_cast<std::uint8_t>(RedOf(c));
        }
    }
    auto fresh = std::make_unique<TBitmap>();
    fresh->SetImage(std::move(copy));
    target.Picture().Install(std::move(fresh));
}

void ConvertImage(TImage& source, TImage& target, const Thresholds& thresholds,
                  const PrinterLimits& limits, LogoGeometry& geometry) {
    target.Picture().CopyPicture(source.Picture());
    geometry = FitGeometry(source.Picture().Width(), source.Picture().Height(), limits);
    LetTargetHoldBlackAndWhite(target);
    target.SetWidth(geometry.Width);
    target.SetHeight(geometry.Height);
    ClearTargetImage(target, geometry);
    target.Repaint();
    const Thresholds t = thresholds;
    // The rule per channel value, so that a dot costs three look-ups or compares.
    const auto dark = TBitmapImage::ChannelTables::AtMost(t.Red, t.Green, t.Blue);
    const std::int32_t width = geometry.Width;
    const std::int32_t height = geometry.Height;
    for (std::int32_t y = 0; y < height; ++y) {
        ConvertRow(source, target, t, dark, y, width);
        if (y % 20 == 0) target.Repaint();
    }
}

} // namespace tlc
