#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "logo/PrinterModels.h"

namespace tlc {

// A logo file read back: which printer it is for, its size in dots and its
// dots (row by row from the top, 1 = black).
struct DecodedLogo {
    int Model = -1;
    std::int32_t Width = 0;  // 8 x X
    std::int32_t Height = 0; // 8 x Y
    std::vector<std::uint8_t> Dots;
    // Limits of the printer's own command that the file breaks.
    std::vector<std::string> Warnings;

    bool Black(std::int32_t x, std::int32_t y) const {
        return Dots[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                    static_cast<std::size_t>(x)] != 0;
    }
};

// Reads and checks a logo file: a known command header, a data length that
// matches X and Y, and a length word that matches the file. Throws Exception
// with a one-line reason for anything else.
DecodedLogo DecodeLogo(std::span<const std::uint8_t> bytes);

// The printer command that takes the most dot data ("FS q": 1023 x 288
// units of 8 dots), and that most. Logo files claiming more are refused, not
// decoded.
constexpr const LogoCommand& LargestLogoCommand() {
    const LogoCommand* largest = &kPrinters[0].Command;
    for (const PrinterFacts& p : kPrinters)
        if (std::uint64_t{p.Command.MaxX} * p.Command.MaxY > std::uint64_t{largest->MaxX} * largest->MaxY)
            largest = &p.Command;
    return *largest;
}
inline constexpr std::uint64_t kMaxLogoDataBytes =
    std::uint64_t{LargestLogoCommand().MaxX} * LargestLogoCommand().MaxY * 8;
// The bytes of a logo file's head that the checks below need.
inline constexpr std::size_t kLogoHeadBytes = 12;

// Refuses, from its first bytes and its size, a file DecodeLogo would
// refuse for its header or size, before it is read whole.
void CheckLogoFileHead(std::span<const std::uint8_t> head, std::uint64_t fileSize);

// What the printer's command accepts, for model index `model` with X and Y
// in units of 8 dots: one line per broken limit.
std::vector<std::string> PrinterCommandWarnings(int model, std::uint32_t x, std::uint32_t y);

} // namespace tlc
