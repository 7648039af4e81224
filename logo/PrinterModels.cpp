#include "logo/PrinterModels.h"

namespace tlc {

TPrinterModels BuildPrinterModels() {
    return TPrinterModels{{
        {"Epson TM-T88III (NVRam)", 600, 600, 999999},
        {"Epson TM-T88I/II (SRam)", 480, 384, 0x18000},
        {"Star TSP-700", 600, 600, 999999},
        {"IBM TF6", 568, 2040, 0x7F940},
    }};
}

PrinterLimits LimitsOf(const TPrinterModels& models, int index) {
    if (!IsValidPrinterIndex(index)) return {};
    const PrinterModel& m = models[static_cast<std::size_t>(index)];
    return {m.MaxWidth, m.MaxHeight, m.MaxArea};
}

} // namespace tlc
