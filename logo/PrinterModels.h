#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/Types.h"

namespace tlc {

// The logo-definition command that heads a printer's logo file: its fixed
// bytes, then X and Y (the logo's size in units of 8 dots) as XL XH YL YH or
// as one byte each.
struct LogoCommand {
    std::string_view Name; // as the printer's manual names it, for warnings
    std::array<std::uint8_t, 6> Fixed{};
    std::size_t FixedLength = 0;
    bool WideSizeFields = false;
    // What the command accepts: X from 1 to MaxX, Y from 1 to MaxY, X x Y at
    // most MaxXTimesY and X x Y x 8 bytes of dot data below DataBytesBelow
    // (0: no such limit).
    std::uint32_t MaxX = 0;
    std::uint32_t MaxY = 0;
    std::uint64_t MaxXTimesY = 0;
    std::uint64_t DataBytesBelow = 0;

    // Header length K: the fixed bytes and the size fields.
    constexpr std::size_t HeaderLength() const { return FixedLength + (WideSizeFields ? 4 : 2); }
};

// Everything the program knows of one printer.
struct PrinterFacts {
    std::string_view Name;
    std::int32_t MaxWidth = 0;
    std::int32_t MaxHeight = 0;
    std::int32_t MaxArea = 0;
    LogoCommand Command;
    bool RowOrder = false; // dots in rows of bands left to right, else columns of bands top down
    // Dots the printer prints across, where its maker publishes the figure;
    // 0 where we know none.
    std::int32_t PrintableWidth = 0;
    // The printers the row is for, as their owners name them ("|" between
    // names), so that a typed "Epson TM-T88II" finds its row.
    std::string_view Machines;
};

inline constexpr int kPrinterModelCount = 4;

// The one printer table, by the index that the printer list and the logo
// file use.
inline constexpr std::array<PrinterFacts, kPrinterModelCount> kPrinters = {{
    {"Epson TM-T88III (NVRam)", 600, 600, 999999,
     {"FS q", {0x1C, 0x71, 0x01}, 3, true, 1023, 288, 0, 0}, false,
     // Epson's TM-T88III technical reference (section 1.1, printing): on
     // 80 mm paper the print width is 72 mm, 512 dots.
     512, "Epson TM-T88III"},
    {"Epson TM-T88I/II (SRam)", 480, 384, 0x18000,
     {"GS *", {0x1D, 0x2A}, 2, false, 255, 48, 1536, 0}, false, 0, "Epson TM-T88I|Epson TM-T88II"},
    {"Star TSP-700", 600, 600, 999999,
     {"ESC FS q", {0x1B, 0x1C, 0x71, 0x01}, 4, true, 1023, 288, 0, 0}, false,
     // Star's printer manual for the TSP600 and TSP700 (print width): on
     // 80 mm paper the print width is 72 mm, 576 dots at 8 dots per mm.
     576, "Star TSP700"},
    {"IBM TF6", 568, 2040, 0x7F940,
     {"IBM logo", {0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01}, 6, false, 72, 255, 0, 65376}, true, 0, "IBM TF6"},
    // Row 1 is never wider (480) than the TM-T88 prints; for the IBM TF6 we
    // hold no published figure, and the model table's limits stand for it.
}};

// Dots per inch each printer prints, by the same index, where its maker
// publishes the figure; 0 where we know none (no size in millimetres is then
// given).
inline constexpr std::array<std::int32_t, kPrinterModelCount> kPrinterDotsPerInch = {
    // Epson's TM-T88III technical reference (section 1.1, printing): dot
    // density 180 x 180 dpi, so its 72 mm print width holds 512 dots.
    180,
    0,
    0,
    0,
};

inline bool IsValidPrinterIndex(int index) { return index >= 0 && index < kPrinterModelCount; }

// The row of a valid index (IsValidPrinterIndex).
inline const PrinterFacts& Printer(int index) { return kPrinters[static_cast<std::size_t>(index)]; }

using TPrinterModels = std::array<PrinterModel, kPrinterModelCount>;

// The window's copy of the names and limits.
TPrinterModels BuildPrinterModels();

// The three limits of the selected row; all 0 outside 0 to 3 (no printer).
// The dots it prints across go with them for the fit (0: not known), and
// play no part in the conversion's geometry.
struct PrinterLimits {
    std::int32_t MaxWidth = 0;
    std::int32_t MaxHeight = 0;
    std::int32_t MaxArea = 0;
    std::int32_t PrintableWidth = 0;
};

PrinterLimits LimitsOf(const TPrinterModels& models, int index);

// The same from the table itself.
PrinterLimits LimitsOf(int index);

} // namespace tlc
