#include "image/SvgFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "base/Exceptions.h"
#include "image/MetafileFile.h"

namespace tlc {

namespace {

// A picture larger than this (in pixels either way) is no logo.
constexpr double kLargestSide = 1 << 20;

[[noreturn]] void NotValid() {
    throw EInvalidGraphic("SVG picture is not valid");
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Text(std::span<const std::uint8_t> bytes) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text;
}

// Where the root element's name starts (after '<'), or npos.
std::size_t RootElement(std::string_view text) {
    std::size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] != '<') return std::string_view::npos;
        std::string_view rest = text.substr(pos);
        if (rest.starts_with("<?")) {
            pos = text.find("?>", pos);
            if (pos == std::string_view::npos) return pos;
            pos += 2;
        } else if (rest.starts_with("<!--")) {
            pos = text.find("-->", pos + 4);
            if (pos == std::string_view::npos) return pos;
            pos += 3;
        } else if (rest.starts_with("<!")) {
            // A document type, perhaps with an internal subset in brackets.
            int depth = 0;
            for (++pos; pos < text.size(); ++pos) {
                if (text[pos] == '[') ++depth;
                else if (text[pos] == ']') --depth;
                else if (text[pos] == '>' && depth <= 0) break;
            }
            if (pos >= text.size()) return std::string_view::npos;
            ++pos;
        } else {
            return pos + 1;
        }
    }
}

// The attributes of the element starting at `at`, up to its '>'.
std::optional<std::string_view> Attribute(std::string_view text, std::size_t at, std::string_view name) {
    std::size_t pos = at;
    while (pos < text.size() && !IsSpace(text[pos]) && text[pos] != '>' && text[pos] != '/') ++pos;
    for (;;) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] == '>' || text[pos] == '/') return std::nullopt;
        const std::size_t nameStart = pos;
        while (pos < text.size() && !IsSpace(text[pos]) && text[pos] != '=' && text[pos] != '>') ++pos;
        const std::string_view attribute = text.substr(nameStart, pos - nameStart);
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] != '=') return std::nullopt;
        ++pos;
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\'')) return std::nullopt;
        const char quote = text[pos++];
        const std::size_t end = text.find(quote, pos);
        if (end == std::string_view::npos) return std::nullopt;
        if (attribute == name) return text.substr(pos, end - pos);
        pos = end + 1;
    }
}

// Numbers from the text (at most `count`), separated by spaces or commas.
int Numbers(std::string_view text, double* out, int count) {
    const std::string copy(text);
    const char* p = copy.c_str();
    int n = 0;
    while (n < count) {
        while (*p && (IsSpace(*p) || *p == ',')) ++p;
        if (!*p) break;
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p) break;
        out[n++] = v;
        p = end;
    }
    return n;
}

// A length in pixels at 96 per inch; none for percentages, font-relative
// and unknown units.
std::optional<double> Length(std::optional<std::string_view> text) {
    if (!text) return std::nullopt;
    const std::string copy(*text);
    char* end = nullptr;
    const double v = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(v) || v <= 0) return std::nullopt;
    std::string_view unit(end);
    while (!unit.empty() && IsSpace(unit.back())) unit.remove_suffix(1);
    while (!unit.empty() && IsSpace(unit.front())) unit.remove_prefix(1);
    struct UnitScale { std::string_view Unit; double Pixels; };
    for (const UnitScale u : {UnitScale{"", 1}, {"px", 1}, {"pt", 96.0 / 72}, {"pc", 16},
                              {"mm", 96 / 25.4}, {"cm", 96 / 2.54}, {"in", 96}})
        if (unit == u.Unit) return v * u.Pixels;
    return std::nullopt;
}

std::int32_t Pixels(double v) {
    if (!(v > 0) || v > kLargestSide) NotValid();
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(v)));
}

} // namespace

bool LooksLikeSvg(std::span<const std::uint8_t> bytes) {
    const std::string_view text = Text(bytes);
    const std::size_t at = RootElement(text);
    if (at == std::string_view::npos) return false;
    std::size_t end = at;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != '>' && text[end] != '/') ++end;
    // "svg", or with a namespace prefix ("svg:svg").
    const std::string_view name = text.substr(at, end - at);
    return name == "svg" || name.ends_with(":svg");
}

std::shared_ptr<TMetafileImage> DecodeSvgFile(std::span<const std::uint8_t> bytes) {
    if (!LooksLikeSvg(bytes)) NotValid();
    const std::string_view text = Text(bytes);
    const std::size_t at = RootElement(text);
    std::optional<double> width = Length(Attribute(text, at, "width"));
    std::optional<double> height = Length(Attribute(text, at, "height"));
    double box[4] = {0, 0, 0, 0};
    const auto viewBox = Attribute(text, at, "viewBox");
    const bool hasBox = viewBox && Numbers(*viewBox, box, 4) == 4 && box[2] > 0 && box[3] > 0;
    if (!width && !height) {
        if (!hasBox) NotValid();
        width = box[2];
        height = box[3];
    } else if (!width || !height) {
        // One side given: the other follows the view box's proportions.
        if (!hasBox) NotValid();
        if (!width) width = *height * box[2] / box[3];
        else height = *width * box[3] / box[2];
    }
    auto image = std::make_shared<TMetafileImage>();
    image->Svg = true;
    image->Enhanced = false;
    image->Inch = 0;
    image->Width = Pixels(*width);
    image->Height = Pixels(*height);
    image->MMWidth = MulDivRound(image->Width, 2540, kScreenPixelsPerInch);
    image->MMHeight = MulDivRound(image->Height, 2540, kScreenPixelsPerInch);
    image->Data.assign(bytes.begin(), bytes.end());
    return image;
}

} // namespace tlc
