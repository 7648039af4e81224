#include "version/ElfSection.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace tlc {

namespace {

constexpr std::uint8_t ElfClass32 = 1;
constexpr std::uint8_t ElfClass64 = 2;
constexpr std::uint8_t ElfDataLsb = 1;
constexpr std::uint8_t ElfDataMsb = 2;
constexpr std::uint32_t ShtNobits = 8;
constexpr std::uint16_t ShnXindex = 0xFFFF;
// More sections than any real executable has; bounds the header walk.
constexpr std::uint64_t MaxSections = 0x10000;
// Section names we compare are short; a longer run without NUL is not ours.
constexpr std::size_t MaxNameLength = 256;

struct Decoder {
    bool bigEndian = false;
    std::uint64_t Get(const std::uint8_t* p, int size) const {
        std::uint64_t v = 0;
        for (int i = 0; i < size; ++i) {
            const int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
            v |= std::uint64_t{p[i]} << shift;
        }
        return v;
    }
};

struct SectionHeader {
    std::uint32_t Name = 0;
    std::uint32_t Type = 0;
    std::uint64_t Offset = 0;
    std::uint64_t Size = 0;
    std::uint32_t Link = 0;
};

// True when [offset, offset + size) lies inside a file of fileSize bytes.
bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

} // namespace

std::optional<std::vector<std::uint8_t>> ReadElfSection(const ReadAtFn& readAt,
                                                        std::uint64_t fileSize,
                                                        std::string_view name,
                                                        std::size_t maxSize) {
    std::array<std::uint8_t, 64> eh{};
    if (fileSize < 52 || !readAt(0, std::span(eh).first(52))) return std::nullopt;
    if (eh[0] != 0x7F || eh[1] != 'E' || eh[2] != 'L' || eh[3] != 'F') return std::nullopt;
    const bool is64 = eh[4] == ElfClass64;
    if (!is64 && eh[4] != ElfClass32) return std::nullopt;
    if (eh[5] != ElfDataLsb && eh[5] != ElfDataMsb) return std::nullopt;
    if (is64 && (fileSize < 64 || !readAt(52, std::span(eh).subspan(52, 12)))) return std::nullopt;
    const Decoder d{eh[5] == ElfDataMsb};

    const std::uint64_t shoff = is64 ? d.Get(&eh[0x28], 8) : d.Get(&eh[0x20], 4);
    const std::uint64_t shentsize = d.Get(&eh[is64 ? 0x3A : 0x2E], 2);
    std::uint64_t shnum = d.Get(&eh[is64 ? 0x3C : 0x30], 2);
    std::uint64_t shstrndx = d.Get(&eh[is64 ? 0x3E : 0x32], 2);
    const std::uint64_t minEntry = is64 ? 64 : 40;
    if (shoff == 0 || shentsize < minEntry) return std::nullopt;

    const auto readHeader = [&](std::uint64_t index) -> std::optional<SectionHeader> {
        // index < MaxSections and shentsize < 2^16, so this cannot overflow.
        const std::uint64_t at = shoff + index * shentsize;
        if (shoff > fileSize || !Inside(at, minEntry, fileSize)) return std::nullopt;
        std::array<std::uint8_t, 64> sh{};
        if (!readAt(at, std::span(sh).first(minEntry))) return std::nullopt;
        SectionHeader h;
        h.Name = static_cast<std::uint32_t>(d.Get(&sh[0], 4));
        h.Type = static_cast<std::uint32_t>(d.Get(&sh[4], 4));
        h.Offset = is64 ? d.Get(&sh[0x18], 8) : d.Get(&sh[0x10], 4);
        h.Size = is64 ? d.Get(&sh[0x20], 8) : d.Get(&sh[0x14], 4);
        h.Link = static_cast<std::uint32_t>(d.Get(&sh[is64 ? 0x28 : 0x18], 4));
        return h;
    };

    // Many sections: the real counts live in section 0.
    if (shnum == 0 || shstrndx == ShnXindex) {
        const auto first = readHeader(0);
        if (!first) return std::nullopt;
        if (shnum == 0) shnum = first->Size;
        if (shstrndx == ShnXindex) shstrndx = first->Link;
    }
    if (shnum == 0 || shnum > MaxSections || shstrndx >= shnum) return std::nullopt;
    if (!Inside(shoff, shnum * shentsize, fileSize)) return std::nullopt;

    const auto names = readHeader(shstrndx);
    if (!names || names->Type == ShtNobits || !Inside(names->Offset, names->Size, fileSize))
        return std::nullopt;

    const auto nameIs = [&](std::uint32_t nameOffset) {
        if (nameOffset >= names->Size) return false;
        const std::uint64_t room = std::min<std::uint64_t>(names->Size - nameOffset, MaxNameLength);
        if (room < name.size() + 1) return false;
        std::vector<std::uint8_t> text(name.size() + 1);
        if (!readAt(names->Offset + nameOffset, text)) return false;
        return text.back() == 0 &&
               std::equal(name.begin(), name.end(), text.begin(),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
    };

    for (std::uint64_t i = 1; i < shnum; ++i) {
        const auto h = readHeader(i);
        if (!h) return std::nullopt;
        if (!nameIs(h->Name)) continue;
        if (h->Type == ShtNobits || h->Size > maxSize || !Inside(h->Offset, h->Size, fileSize))
            return std::nullopt;
        std::vector<std::uint8_t> data(static_cast<std::size_t>(h->Size));
        if (!readAt(h->Offset, data)) return std::nullopt;
        return data;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>>
ReadElfSection(std::span<const std::uint8_t> image, std::string_view name, std::size_t maxSize) {
    const ReadAtFn readAt = [image](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (!Inside(offset, out.size(), image.size())) return false;
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
    return ReadElfSection(readAt, image.size(), name, maxSize);
}

std::optional<std::vector<std::uint8_t>>
ReadElfSectionFromFile(const std::string& path, std::string_view name, std::size_t maxSize) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return std::nullopt;
    const std::streamoff end = file.tellg();
    if (end < 0) return std::nullopt;
    const ReadAtFn readAt = [&file, end](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (!Inside(offset, out.size(), static_cast<std::uint64_t>(end))) return false;
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return file.good() || (file.gcount() == static_cast<std::streamsize>(out.size()));
    };
    return ReadElfSection(readAt, static_cast<std::uint64_t>(end), name, maxSize);
}

} // namespace tlc
