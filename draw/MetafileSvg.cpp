#include "draw/MetafileSvg.h"

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/LittleEndian.h"

namespace tlc {

namespace {

// The Adobe Symbol encoding from 0x20 on, as Unicode; 0 where it has no
// character.
constexpr char16_t kSymbolToUnicode[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    // 0x60
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x0000,
    // 0x80 to 0x9F: none
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    // 0xF0
    0x0000, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x0000,
};

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

// libwmf writes the text of a <text> element as the metafile's bytes, in
// the font's own 8-bit encoding and without escaping; this rewrites each
// element's text as escaped UTF-8 (Symbol through its own table).
std::string EncodeWindowsText(const std::string& svg) {
    std::string out;
    out.reserve(svg.size() + svg.size() / 8);
    std::size_t pos = 0;
    while (pos < svg.size()) {
        const std::size_t open = svg.find("<text", pos);
        if (open == std::string::npos) break;
        const std::size_t tagEnd = svg.find('>', open);
        if (tagEnd == std::string::npos) break;
        const std::size_t close = svg.find("</text>", tagEnd);
        if (close == std::string::npos) break;
        const std::size_t family =
            std::string_view(svg).substr(open, tagEnd - open).find("font-family:Symbol");
        const bool symbol = family != std::string_view::npos;
        if (symbol) {
            // The characters are Unicode now; a font with a symbol character
            // map would not find them.
            out.append(svg, pos, open + family - pos);
            out += "font-family:serif";
            out.append(svg, open + family + 18, tagEnd + 1 - (open + family + 18));
        } else {
            out.append(svg, pos, tagEnd + 1 - pos);
        }
        for (std::size_t k = tagEnd + 1; k < close; ++k) {
            const auto b = static_cast<unsigned char>(svg[k]);
            char32_t c = symbol && b >= 0x20 ? kSymbolToUnicode[b - 0x20] : Windows1252(b);
            if (c == '&') out += "&amp;";
            else if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') AppendUtf8(out, c);
            // Control codes and unmapped characters have no place in XML text.
        }
        pos = close;
    }
    out.append(svg, pos, std::string::npos);
    return out;
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

// libwmf allocates by the header's total size and largest record, which a
// damaged file may state as gigabytes; the records (walked and checked on
// loading) tell the real figures.
void TrueWindowsHeader(std::vector<unsigned char>& data) {
    constexpr std::size_t kHeaderBytes = 18;
    if (data.size() < kHeaderBytes) return;
    std::uint32_t largest = 0;
    for (std::size_t pos = kHeaderBytes; data.size() - pos >= 6;) {
        const std::uint32_t words = LoadLE32(&data[pos]);
        if (words < 3 || words > (data.size() - pos) / 2) break;
        largest = std::max(largest, words);
        if (data[pos + 4] == 0 && data[pos + 5] == 0) break; // end record
        pos += std::size_t{words} * 2;
    }
    StoreLE32(&data[6], static_cast<std::uint32_t>(data.size() / 2));
    StoreLE32(&data[12], largest);
}

std::string WindowsToSvg(const MetafileSource& image) {
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL;
    if (!image.Messages) flags |= WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api) wmf_api_destroy(api);
        return {};
    }
    std::vector<unsigned char> bytes(image.Data.begin(), image.Data.end());
    TrueWindowsHeader(bytes);
    std::string svg;
    wmfD_Rect bbox{};
    if (wmf_mem_open(api, bytes.data(), static_cast<long>(bytes.size())) == wmf_E_None &&
        wmf_scan(api, 0, &bbox) == wmf_E_None) {
        wmf_svg_t* device = WMF_SVG_GetData(api);
        device->out = wmf_stream_create(api, nullptr);
        device->bbox = bbox;
        unsigned int width = 0, height = 0;
        wmf_display_size(api, &width, &height, 72, 72);
        device->width = width;
        device->height = height;
        device->flags |= WMF_SVG_INLINE_IMAGES;
        const bool played = device->out && wmf_play(api, 0, &bbox) == wmf_E_None;
        char* out = nullptr;
        unsigned long length = 0;
        if (device->out) wmf_stream_destroy(api, device->out, &out, &length);
        if (played && out) svg.assign(out, length);
        // libwmf halves the fill's opacity under a transparent background
        // mode, which on Windows only leaves the gaps of hatches and
        // styled lines and the text background alone: fills are solid.
        for (std::size_t at = 0; (at = svg.find("fill-opacity:0.5;", at)) != std::string::npos;)
            svg.replace(at + 13, 3, "1.0");
    }
    wmf_api_destroy(api);
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
    if (image.Data.empty()) return {};
    std::string svg = image.Enhanced ? EnhancedToSvg(image) : EncodeWindowsText(WindowsToSvg(image));
    return svg.empty() ? svg : RepairSvgText(std::move(svg));
}

} // namespace tlc
