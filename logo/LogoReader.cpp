#include "logo/LogoReader.h"

#include <array>
#include <cstring>

#include "base/Exceptions.h"
#include "image/FileBytes.h"

namespace tlc {

namespace {

struct HeaderShape {
    std::vector<std::uint8_t> fixed; // the command bytes before the size fields
    bool wideFields;                 // XL XH YL YH, else X Y
};

// By model index; the same bytes the writer lays out.
const std::array<HeaderShape, 4>& Shapes() {
    static const std::array<HeaderShape, 4> shapes = {{
        {{0x1C, 0x71, 0x01}, true},
        {{0x1D, 0x2A}, false},
        {{0x1B, 0x1C, 0x71, 0x01}, true},
        {{0x1B, 0x23, 0x01, 0x1D, 0x2A, 0x01}, false},
    }};
    return shapes;
}

std::string Range(const char* name, std::uint32_t value, std::uint32_t low, std::uint32_t high) {
    return std::string(name) + " = " + std::to_string(value) + " is outside " +
           std::to_string(low) + " to " + std::to_string(high);
}

} // namespace

std::vector<std::string> PrinterCommandWarnings(int model, std::uint32_t x, std::uint32_t y) {
    std::vector<std::string> warnings;
    auto check = [&](const char* command, const char* name, std::uint32_t value,
                     std::uint32_t low, std::uint32_t high) {
        if (value < low || value > high)
            warnings.push_back(std::string(command) + ": " + Range(name, value, low, high));
    };
    switch (model) {
    case 0:
    case 2: {
        const char* command = model == 0 ? "FS q" : "ESC FS q";
        check(command, "X", x, 1, 1023);
        check(command, "Y", y, 1, 288);
        break;
    }
    case 1:
        check("GS *", "X", x, 1, 255);
        check("GS *", "Y", y, 1, 48);
        if (static_cast<std::uint64_t>(x) * y > 1536)
            warnings.push_back("GS *: X x Y = " + std::to_string(static_cast<std::uint64_t>(x) * y) +
                               " is above 1536");
        break;
    case 3: {
        check("IBM logo", "X", x, 1, 72);
        check("IBM logo", "Y", y, 1, 255);
        const std::uint64_t data = static_cast<std::uint64_t>(x) * y * 8;
        if (data >= 65376)
            warnings.push_back("IBM logo: " + std::to_string(data) +
                               " bytes of dot data, the printer takes under 65376");
        break;
    }
    default:
        break;
    }
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
    for (int m = static_cast<int>(Shapes().size()) - 1; m >= 0; --m) {
        const auto& fixed = Shapes()[static_cast<std::size_t>(m)].fixed;
        if (bytes.size() >= 2 + fixed.size() &&
            std::memcmp(bytes.data() + 2, fixed.data(), fixed.size()) == 0) {
            head.model = m;
            break;
        }
    }
    if (head.model < 0) throw Exception("not a logo file: unknown printer command");

    const HeaderShape& shape = Shapes()[static_cast<std::size_t>(head.model)];
    head.headerLength = shape.fixed.size() + (shape.wideFields ? 4 : 2);
    if (bytes.size() < 2 + head.headerLength) throw Exception("logo file ends inside its header");
    const std::uint8_t* f = bytes.data() + 2 + shape.fixed.size();
    head.x = shape.wideFields ? LoadLE16(f) : f[0];
    head.y = shape.wideFields ? LoadLE16(f + 2) : f[1];
    head.dataLength = static_cast<std::uint64_t>(head.x) * head.y * 8;
    // Dots are held a byte each: refuse what no printer could take rather
    // than spend nine times the file on it.
    if (head.dataLength > kMaxLogoDataBytes)
        throw Exception("the logo's " + std::to_string(head.x * 8) + " x " + std::to_string(head.y * 8) +
                        " dots are more than any printer holds (at most " +
                        std::to_string(kMaxLogoDataBytes) + " bytes of dot data, 8184 x 2304 dots)");
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
    if (model == 3) {
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
