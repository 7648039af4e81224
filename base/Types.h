#pragma once

#include <cstdint>
#include <string>

namespace tlc {

// 0x00BBGGRR. A read outside a raster gives 0xFFFFFFFF; a written value with
// bit 31 set names a system colour.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x00000000u;
inline constexpr TColor clWhite = 0x00FFFFFFu;
inline constexpr TColor clNone = 0xFFFFFFFFu;

constexpr int RedOf(TColor c) { return static_cast<int>(c & 0xFFu); }
constexpr int GreenOf(TColor c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int BlueOf(TColor c) { return static_cast<int>((c >> 16) & 0xFFu); }
constexpr TColor RGB(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// One row of the printer table; sizes in printer dots.
struct PrinterModel {
    std::string Name;
    std::int32_t MaxWidth = 0;
    std::int32_t MaxHeight = 0;
    std::int32_t MaxArea = 0;
};

// Size of the logo in dots; multiples of 8 once a conversion has run.
struct LogoGeometry {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const LogoGeometry&, const LogoGeometry&) = default;
};

} // namespace tlc
