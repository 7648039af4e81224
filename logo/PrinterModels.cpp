#include "logo/PrinterModels.h"

#include <string>

namespace tlc {

TPrinterModels BuildPrinterModels() {
    TPrinterModels models;
    for (int i = 0; i < kPrinterModelCount; ++i) {
        const PrinterFacts& p = Printer(i);
        models[static_cast<std::size_t>(i)] = {std::string(p.Name), p.MaxWidth, p.MaxHeight, p.MaxArea};
    }
    return models;
}

PrinterLimits LimitsOf(const TPrinterModels& models, int index) {
    if (!IsValidPrinterIndex(index)) return {};
    const PrinterModel& m = models[static_cast<std::size_t>(index)];
    return {m.MaxWidth, m.MaxHeight, m.MaxArea, Printer(index).PrintableWidth};
}

PrinterLimits LimitsOf(int index) {
    if (!IsValidPrinterIndex(index)) return {};
    const PrinterFacts& p = Printer(index);
    return {p.MaxWidth, p.MaxHeight, p.MaxArea, p.PrintableWidth};
}

} // namespace tlc
