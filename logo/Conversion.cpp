#include "logo/Conversion.h"

#include "base/ParseInt.h"

namespace tlc {

std::string CorrectThresholdText(const std::string& text) {
    std::string result = text;
    if (ParseIntOrDefault(result, 0) <= 0) result = "0";
    if (ParseIntOrDefault(result, 0) > 255) result = "255";
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

void ClearTargetImage(TImage& target, const LogoGeometry& geometry) {
    // Locals: pixel stores could alias anything reached through a reference.
    const std::int32_t width = geometry.Width;
    const std::int32_t height = geometry.Height;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) target.EnsureCanvas().WritePixel(x, y, clWhite);
}

void ConvertImage(TImage& source, TImage& target, const Thresholds& thresholds,
                  const PrinterLimits& limits, LogoGeometry& geometry) {
    target.Picture().CopyPicture(source.Picture());
    geometry = FitGeometry(source.Picture().Width(), source.Picture().Height(), limits);
    target.SetWidth(geometry.Width);
    target.SetHeight(geometry.Height);
    ClearTargetImage(target, geometry);
    target.Repaint();
    const Thresholds t = thresholds;
    const std::int32_t width = geometry.Width;
    const std::int32_t height = geometry.Height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const TColor c = source.EnsureCanvas().ReadPixel(x, y);
            if (IsDark(c, t)) target.EnsureCanvas().WritePixel(x, y, clBlack);
        }
        if (y % 20 == 0) target.Repaint();
    }
}

} // namespace tlc
