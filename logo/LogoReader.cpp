#include "logo/LogoReader.h"

#include <algorithm>
#include <cstring>

#include "base/Exceptions.h"
#include "base/LittleEndian.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

std::string Range(const char* name, std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return std::string(name) + " = " + std::to_string(value) + " is outside " +
           std::to_string(low) + " to " + std::to_string(high);
}

} // namespace

std::vector<std::string> PrinterCommandWarnings(int model, std::uint32_t x, std::uint32_t y) {
    std::vector<std::string> warnings;
    if (!IsValidPrinterIndex(model)) return warnings;
    const LogoCommand& c = Printer(model).Command;
    const std::string command(c.Name);
    if (x < 1 || x > c.MaxX) warnings.push_back(command + ": " + Range("X", x, 1, c.MaxX));
    if (y < 1 || y > c.MaxY) warnings.push_back(command + ": " + Range("Y", y, 1, c.MaxY));
    const std::uint64_t xy = static_cast<std::uint64_t>(x) * y;
    if (c.MaxXTimesY > 0 && xy > c.MaxXTimesY)
        warnings.push_back(command + ": X x Y = " + std::to_string(xy) + " is above " +
                           std::to_string(c.MaxXTimesY));
    if (c.DataBytesBelow > 0 && xy * 8 >= c.DataBytesBelow)
        warnings.push_back(command + ": " + std::to_string(xy * 8) +
                           " bytes of dot data, the printer takes under " + std::to_string(c.DataBytesBelow));
    return warnings;
}

namespace {

struct LogoHead {
    int model = -1;
    std::size_t headerLength = 0;
    std::uint32_t x = 0, y = 0;
    std::uint64_t dataLength = 0;
};

// The printer, the header and the size the start of a logo file claims.
LogoHead ReadHead(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) throw Exception("too short for a logo file");
    LogoHead head;
    // No command is the start of another. A file that stops within one's
    // fixed bytes (or right after the length word) is cut short, not foreign.
    const std::size_t present = bytes.size() - 2;
    for (int m = 0; m < kPrinterModelCount; ++m) {
        const LogoCommand& c = Printer(m).Command;
        if (std::memcmp(bytes.data() + 2, c.Fixed.data(), std::min(present, c.FixedLength)) != 0) continue;
        if (present < c.FixedLength) throw Exception("logo file ends inside its header");
        head.model = m;
        break;
    }
    if (head.model < 0) throw Exception("not a logo file: unknown printer command");

    const LogoCommand& command = Printer(head.model).Command;
    head.headerLength = command.HeaderLength();
    if (bytes.size() < 2 + head.headerLength) throw Exception("logo file ends inside its header");
    const std::uint8_t* f = bytes.data() + 2 + command.FixedLength;
    head.x = command.WideSizeFields ? LoadLE16(f) : f[0];
    head.y = command.WideSizeFields ? LoadLE16(f + 2) : f[1];
    head.dataLength = static_cast<std::uint64_t>(head.x) * head.y * 8;
    // Dots are held a byte each: refuse what no printer could take rather
    // than spend nine times the file on it.
    if (head.dataLength > kMaxLogoDataBytes)
        throw Exception("the logo's " + std::to_string(head.x * 8) + " x " + std::to_string(head.y * 8) +
                        " dots are more than any printer holds (at most " +
                        std::to_string(kMaxLogoDataBytes) + " bytes of dot data, " +
                        std::to_string(LargestLogoCommand().MaxX * 8) + " x " +
                        std::to_string(LargestLogoCommand().MaxY * 8) + " dots)");
    return head;
}

void CheckFileSize(const LogoHead& head, std::uint64_t size) {
    const std::uint64_t expected = 2 + head.headerLength + head.dataLength;
    if (size != expected)
        throw Exception("logo file is " + std::to_string(size) + " bytes, but its header (" +
                        std::to_string(head.x * 8) + " x " + std::to_string(head.y * 8) +
                        " dots) needs " + std::to_string(expected));
}

} // namespace

void CheckLogoFileHead(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    CheckFileSize(ReadHead(head), fileSize);
}

DecodedLogo DecodeLogo(std::span<const std::uint8_t> bytes) {
    const LogoHead head = ReadHead(bytes);
    CheckFileSize(head, bytes.size());
    const std::uint32_t lengthWord = LoadLE16(bytes.data());
    const int model = head.model;
    const std::size_t headerLength = head.headerLength;
    const std::uint32_t x = head.x, y = head.y;
    const std::uint64_t dataLength = head.dataLength;
    if (((dataLength + headerLength) & 0xFFFF) != lengthWord)
        throw Exception("length word " + std::to_string(lengthWord) + " does not match the " +
                        std::to_string(dataLength + headerLength) + " bytes that follow it");

    DecodedLogo logo;
    logo.Model = model;
    logo.Width = static_cast<std::int32_t>(x * 8);
    logo.Height = static_cast<std::int32_t>(y * 8);
    logo.Dots.assign(static_cast<std::size_t>(logo.Width) * static_cast<std::size_t>(logo.Height), 0);
    const std::uint8_t* data = bytes.data() + 2 + headerLength;
    auto set = [&](std::uint32_t px, std::uint32_t py) {
        logo.Dots[static_cast<std::size_t>(py) * logo.Width + px] = 1;
    };
    std::size_t at = 0;
    if (Printer(model).RowOrder) {
        for (std::uint32_t row = 0; row < y * 8; ++row)
            for (std::uint32_t band = 0; band < x; ++band, ++at)
                for (int i = 0; i < 8; ++i)
                    if (data[at] & (0x80 >> i)) set(band * 8 + i, row);
    } else {
        for (std::uint32_t column = 0; column < x * 8; ++column)
            for (std::uint32_t band = 0; band < y; ++band, ++at)
                for (int i = 0; i < 8; ++i)
                    if (data[at] & (0x80 >> i)) set(column, band * 8 + i);
    }
    if (dataLength + headerLength > 0xFFFF)
        logo.Warnings.push_back("the length word holds only the low 16 bits of " +
                                std::to_string(dataLength + headerLength));
    for (auto& w : PrinterCommandWarnings(model, x, y)) logo.Warnings.push_back(std::move(w));
    return logo;
}

} // namespace tlc
