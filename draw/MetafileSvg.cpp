#include "draw/MetafileSvg.h"

#include <emf2svg.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/LittleEndian.h"

namespace tlc {

namespace {

// Windows-1252 for 0x80 to 0x9F (0 where it has no character); above, the
// code is the character.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0,
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t Windows1252(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kWindows1252High[b - 0x80];
    return b;
}

// Length of the well-formed UTF-8 sequence at p (at most n bytes), 0 when
// there is none.
std::size_t Utf8SequenceLength(const unsigned char* p, std::size_t n) {
    const unsigned char b = p[0];
    std::size_t len;
    char32_t c;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) { len = 2; c = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { len = 3; c = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { len = 4; c = b & 0x07; }
    else return 0;
    if (n < len) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (p[k] & 0x3F);
    }
    const bool overlong = (len == 3 && c < 0x800) || (len == 4 && c < 0x10000);
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    if (overlong || surrogate || c > 0x10FFFF || c == 0xFFFE || c == 0xFFFF) return 0;
    return len;
}

// libemf2svg starts with a black brush where the system's device context
// starts with the white stock brush, so a shape drawn before any brush is
// chosen came out solid black: the white brush is chosen explicitly after
// the header record.
std::vector<char> WithWhiteBrushChosen(std::span<const std::uint8_t> data) {
    constexpr std::uint32_t kSelectObject = 37, kWhiteBrush = 0x80000000;
    std::vector<char> bytes(data.begin(), data.end());
    if (data.size() < 100) return bytes;
    const std::uint32_t headerSize = LoadLE32(&data[4]);
    if (headerSize < 88 || headerSize % 4 != 0 || headerSize > data.size()) return bytes;
    std::uint8_t record[12];
    StoreLE32(record, kSelectObject);
    StoreLE32(record + 4, sizeof record);
    StoreLE32(record + 8, kWhiteBrush);
    bytes.insert(bytes.begin() + headerSize, record, record + sizeof record);
    auto* header = reinterpret_cast<std::uint8_t*>(bytes.data());
    StoreLE32(header + 48, static_cast<std::uint32_t>(bytes.size()));
    StoreLE32(header + 52, LoadLE32(header + 52) + 1);
    return bytes;
}

std::string EnhancedToSvg(const MetafileSource& image) {
    // The library takes non-const buffers; it gets its own copy.
    std::vector<char> bytes = WithWhiteBrushChosen(image.Data);
    char nameSpace[] = "";
    generatorOptions options{};
    options.nameSpace = nameSpace;
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = image.Width;
    options.imgHeight = image.Height;
    char* out = nullptr;
    std::size_t length = 0;
    const int ok = emf2svg(bytes.data(), bytes.size(), &out, &length, &options);
    std::string svg;
    if (ok && out) svg.assign(out, length);
    std::free(out);
    return svg;
}

// Rewrites every byte that does not start well-formed UTF-8 as its
// Windows-1252 character and drops control codes XML does not allow.
std::string RepairSvgText(std::string svg) {
    const auto* p = reinterpret_cast<const unsigned char*>(svg.data());
    const std::size_t n = svg.size();
    std::size_t k = 0;
    auto allowed = [](unsigned char b) { return b >= 0x20 || b == '\t' || b == '\n' || b == '\r'; };
    // Most documents are fine as they are.
    while (k < n) {
        const std::size_t len = Utf8SequenceLength(p + k, n - k);
        if (len == 0 || (len == 1 && !allowed(p[k]))) break;
        k += len;
    }
    if (k == n) return svg;
    std::string out(svg, 0, k);
    while (k < n) {
        const std::size_t len = Utf8SequenceLength(p + k, n - k);
        if (len == 0) {
            if (const char32_t c = Windows1252(p[k]); c != 0) AppendUtf8(out, c);
            ++k;
        } else {
            if (len > 1 || allowed(p[k])) out.append(svg, k, len);
            k += len;
        }
    }
    return out;
}

} // namespace

std::string MetafileToSvg(const MetafileSource& image) {
    if (image.Data.empty() || !image.Enhanced) return {};
    std::string svg = EnhancedToSvg(image);
    return svg.empty() ? svg : RepairSvgText(std::move(svg));
}

} // namespace tlc
