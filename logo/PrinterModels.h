#pragma once

#include <array>
#include <cstdint>

#include "base/Types.h"

namespace tlc {

inline constexpr int kPrinterModelCount = 4;
using TPrinterModels = std::array<PrinterModel, kPrinterModelCount>;

// The four printers, by the index that the printer list and the logo file use.
TPrinterModels BuildPrinterModels();

// The three limits of the selected row; all 0 outside 0 to 3 (no printer).
struct PrinterLimits {
    std::int32_t MaxWidth = 0;
    std::int32_t MaxHeight = 0;
    std::int32_t MaxArea = 0;
};

inline bool IsValidPrinterIndex(int index) { return index >= 0 && index < kPrinterModelCount; }

PrinterLimits LimitsOf(const TPrinterModels& models, int index);

} // namespace tlc
