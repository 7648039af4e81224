#pragma once

#include <cstdint>
#include <string>

#include "base/Types.h"
#include "image/Image.h"
#include "logo/PrinterModels.h"

namespace tlc {

struct Thresholds {
    std::int32_t Red = 128;
    std::int32_t Green = 128;
    std::int32_t Blue = 128;
};

// The threshold boxes' correction of a typed text: anything that is not a
// number above 0 becomes "0", anything above 255 becomes "255", other texts
// stay as typed ("007", "$FF").
std::string CorrectThresholdText(const std::string& text);

// Logo size for a picture of width x height: one step past the next multiple
// of 8, clamped to the printer, the height cut to fit the area, then rounded
// down to multiples of 8. All limits 0 (no printer) gives 0 x 0.
LogoGeometry FitGeometry(std::int32_t width, std::int32_t height, const PrinterLimits& limits);

// A dot is dark when any channel is at or below its threshold.
inline bool IsDark(TColor c, const Thresholds& t) {
    // All three comparisons, as the rule is stated; one that holds is enough.
    const bool blue = BlueOf(c) <= t.Blue;
    const bool green = GreenOf(c) <= t.Green;
    const bool red = RedOf(c) <= t.Red;
    return blue | green | red;
}

// Paints the geometry area of the target white, one pixel at a time.
void ClearTargetImage(TImage& target, const LogoGeometry& geometry);

// A colour table without pure black (a 16-colour export of a navy logo)
// would store every black dot as its nearest entry, which the logo counts as
// clear, and one without white would show the paper grey: a target bitmap
// whose format cannot hold both exactly gets a true-colour copy of its
// picture. Any other target is left alone (still sharing the source).
void LetTargetHoldBlackAndWhite(TImage& target);

// Copies the source picture into the target, sets `geometry` (before any
// pixel is touched, so that it holds the new size even when the target then
// refuses pixel access), lets the target hold black and white (above),
// sizes the target control, clears it and writes black
// for every dark source pixel, redrawing the target before the rows and after
// every row whose number is a multiple of 20.
void ConvertImage(TImage& source, TImage& target, const Thresholds& thresholds,
                  const PrinterLimits& limits, LogoGeometry& geometry);

} // namespace tlc
