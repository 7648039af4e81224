#include "logo/LogoReport.h"

#include <cstdio>

#include "logo/PrinterModels.h"

namespace tlc {

namespace {

std::string Millimetres(std::int32_t dots, std::int32_t dotsPerInch) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", dots * 25.4 / dotsPerInch);
    return text;
}

std::string Size(std::int32_t w, std::int32_t h) {
    return std::to_string(w) + " x " + std::to_string(h);
}

} // namespace

std::string DescribeConversion(int model, const LogoGeometry& logo, PictureSize picture,
                               PictureSize original, bool scaled) {
    if (!IsValidPrinterIndex(model)) return "No printer chosen: no logo";
    std::string text = "Logo " + Size(logo.Width, logo.Height) + " dots";
    const std::int32_t dpi = kPrinterDotsPerInch[static_cast<std::size_t>(model)];
    if (dpi > 0)
        text += " (" + Millimetres(logo.Width, dpi) + " x " + Millimetres(logo.Height, dpi) +
                " mm at " + std::to_string(dpi) + " dpi)";
    if (scaled)
        text += "; picture " + Size(original.Width, original.Height) + " scaled to " +
                Size(picture.Width, picture.Height);
    if (picture.Width > logo.Width || picture.Height > logo.Height)
        text += "; picture " + Size(picture.Width, picture.Height) + " cut to " +
                Size(logo.Width, logo.Height) + " dots: Picture > Fit to printer scales it";
    if (const std::string warning = PrintWidthWarning(model, logo.Width); !warning.empty())
        text += "; " + warning;
    return text;
}

} // namespace tlc
