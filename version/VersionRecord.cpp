#include "version/VersionRecord.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <cstdio>

namespace tlc {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

void PutU16(Bytes& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void AppendU16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendU32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void AppendWide(Bytes& out, std::string_view text) {
    for (char c : text)
        AppendU16(out, static_cast<unsigned char>(c));
    AppendU16(out, 0);
}

void PadTo4(Bytes& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// Writes one block header and key; returns the block's start for FinishBlock.
std::size_t BeginBlock(Bytes& out, std::string_view key, std::uint16_t valueLength,
                       std::uint16_t type) {
    PadTo4(out);
    const std::size_t start = out.size();
    AppendU16(out, 0); // wLength, patched by FinishBlock
    AppendU16(out, valueLength);
    AppendU16(out, type);
    AppendWide(out, key);
    PadTo4(out);
    return start;
}

void FinishBlock(Bytes& out, std::size_t start) {
    PutU16(out, start, static_cast<std::uint16_t>(out.size() - start));
}

std::string HexTableKey(std::uint16_t language, std::uint16_t codePage) {
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    return key;
}

// A block as found in the buffer; all offsets lie inside it.
struct Block {
    std::u16string Key;
    std::uint16_t Type = 0;
    std::size_t ValueBegin = 0;
    std::size_t ValueSize = 0; // in bytes
    std::size_t ChildrenBegin = 0;
    std::size_t End = 0;
};

// Reads the block at `at`, which must end at or before `limit`.
std::optional<Block> ReadBlock(std::span<const std::uint8_t> b, std::size_t at, std::size_t limit) {
    if (limit > b.size() || at > limit || limit - at < 6) return std::nullopt;
    const std::size_t length = LoadLE16(b.data() + at);
    if (length < 6 || length > limit - at) return std::nullopt;
    Block block;
    block.End = at + length;
    const std::uint16_t valueLength = LoadLE16(b.data() + at + 2);
    block.Type = LoadLE16(b.data() + at + 4);
    if (block.Type > 1) return std::nullopt;
    std::size_t pos = at + 6;
    for (;;) {
        if (block.End - pos < 2) return std::nullopt; // key without its terminator
        const std::uint16_t c = LoadLE16(b.data() + pos);
        pos += 2;
        if (c == 0) break;
        block.Key.push_back(static_cast<char16_t>(c));
    }
    block.ValueBegin = std::min(Align4(pos), block.End);
    block.ValueSize = block.Type == 1 ? std::size_t{valueLength} * 2 : valueLength;
    if (block.ValueSize > block.End - block.ValueBegin) return std::nullopt;
    block.ChildrenBegin = std::min(Align4(block.ValueBegin + block.ValueSize), block.End);
    return block;
}

bool KeyIs(const std::u16string& key, std::string_view name) {
    if (key.size() != name.size()) return false;
    for (std::size_t i = 0; i < key.size(); ++i)
        if (key[i] != static_cast<unsigned char>(name[i])) return false;
    return true;
}

std::optional<Block> ReadRoot(std::span<const std::uint8_t> b) {
    auto root = ReadBlock(b, 0, b.size());
    if (!root || !KeyIs(root->Key, "VS_VERSION_INFO")) return std::nullopt;
    return root;
}

// The direct child of `parent` named `name`; a malformed child ends the search.
std::optional<Block> FindChild(std::span<const std::uint8_t> b, const Block& parent,
                               std::string_view name) {
    std::size_t at = parent.ChildrenBegin;
    while (at < parent.End) {
        auto child = ReadBlock(b, at, parent.End);
        if (!child) return std::nullopt;
        if (KeyIs(child->Key, name)) return child;
        at = Align4(child->End); // End > at, so the walk always moves on
    }
    return std::nullopt;
}

std::optional<Block> FirstChild(std::span<const std::uint8_t> b, const Block& parent) {
    if (parent.ChildrenBegin >= parent.End) return std::nullopt;
    return ReadBlock(b, parent.ChildrenBegin, parent.End);
}

} // namespace

VersionResource MakeProgramVersion(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                                   std::uint16_t build, std::string companyName) {
    VersionResource r;
    r.Fixed.Signature = FixedFileInfoSignature;
    r.Fixed.StrucVersion = FixedFileInfoStrucVersion;
    r.Fixed.FileVersionMS = VersionHigh(major, minor);
    r.Fixed.FileVersionLS = VersionHigh(release, build);
    r.Fixed.ProductVersionMS = VersionHigh(major, minor);
    r.Fixed.ProductVersionLS = 0;
    r.Fixed.FileFlagsMask = 0x3F;
    r.Fixed.FileOS = VosWindows32;
    r.Fixed.FileType = VftApp;
    const auto dotted = [](unsigned a, unsigned b, unsigned c, unsigned d) {
        return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
               std::to_string(d);
    };
    r.Strings = {
        {"CompanyName", std::move(companyName)},
        {"FileDescription", "Tillora Graphic Logo Converter"},
        {"FileVersion", dotted(major, minor, release, build)},
        {"InternalName", "Logo Converter"},
        {"LegalCopyright", ""},
        {"LegalTrademarks", ""},
        {"OriginalFilename", ""},
        {"ProductName", ""},
        {"ProductVersion", dotted(major, minor, 0, 0)},
        {"Comments", ""},
    };
    return r;
}

std::vector<std::uint8_t> EncodeVersionRecord(const VersionResource& resource) {
    Bytes out;
    const std::size_t root = BeginBlock(out, "VS_VERSION_INFO", FixedFileInfoSize, 0);
    const FixedFileInfo& f = resource.Fixed;
    for (std::uint32_t v : {f.Signature, f.StrucVersion, f.FileVersionMS, f.FileVersionLS,
                            f.ProductVersionMS, f.ProductVersionLS, f.FileFlagsMask, f.FileFlags,
                            f.FileOS, f.FileType, f.FileSubtype, f.FileDateMS, f.FileDateLS})
        AppendU32(out, v);

    const std::size_t sfi = BeginBlock(out, "StringFileInfo", 0, 1);
    const std::size_t table =
        BeginBlock(out, HexTableKey(resource.Language, resource.CodePage), 0, 1);
    for (const auto& [key, value] : resource.Strings) {
        const std::size_t s = BeginBlock(out, key, static_cast<std::uint16_t>(value.size() + 1), 1);
        AppendWide(out, value);
        FinishBlock(out, s);
    }
    FinishBlock(out, table);
    FinishBlock(out, sfi);

    const std::size_t vfi = BeginBlock(out, "VarFileInfo", 0, 1);
    const std::size_t var = BeginBlock(out, "Translation", 4, 0);
    AppendU16(out, resource.Language);
    AppendU16(out, resource.CodePage);
    FinishBlock(out, var);
    FinishBlock(out, vfi);

    FinishBlock(out, root);
    return out;
}

std::optional<FixedFileInfo> QueryFixedFileInfo(std::span<const std::uint8_t> record) {
    const auto root = ReadRoot(record);
    if (!root || root->Type != 0 || root->ValueSize < FixedFileInfoSize) return std::nullopt;
    std::uint32_t v[13];
    for (std::size_t i = 0; i < 13; ++i)
        v[i] = LoadLE32(record.data() + root->ValueBegin + 4 * i);
    if (v[0] != FixedFileInfoSignature) return std::nullopt;
    return FixedFileInfo{v[0], v[1], v[2], v[3],  v[4],  v[5], v[6],
                         v[7], v[8], v[9], v[10], v[11], v[12]};
}

std::optional<std::string> QueryVersionString(std::span<const std::uint8_t> record,
                                              std::string_view key) {
    const auto root = ReadRoot(record);
    if (!root) return std::nullopt;
    const auto sfi = FindChild(record, *root, "StringFileInfo");
    if (!sfi) return std::nullopt;
    const auto table = FirstChild(record, *sfi);
    if (!table) return std::nullopt;
    const auto entry = FindChild(record, *table, key);
    if (!entry || entry->Type != 1) return std::nullopt;
    std::string text;
    for (std::size_t at = entry->ValueBegin; at + 1 < entry->ValueBegin + entry->ValueSize;
         at += 2) {
        const std::uint16_t c = LoadLE16(record.data() + at);
        if (c == 0) break;
        text.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    }
    return text;
}

std::string VersionCaption(const FixedFileInfo& fixed) {
    const auto part = [](std::uint32_t half, bool high) {
        return std::to_string(high ? (half >> 16) : (half & 0xFFFFu));
    };
    return "Version " + part(fixed.FileVersionMS, true) + "." + part(fixed.FileVersionMS, false) +
           "." + part(fixed.FileVersionLS, true) + "  Build " + part(fixed.FileVersionLS, false);
}

} // namespace tlc
