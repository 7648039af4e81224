#include "version/ElfSection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "TempDir.h"

namespace tlc {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Section {
    std::string Name;
    std::uint32_t Type = 1; // PROGBITS
    Bytes Data;
};

// Writes a minimal relocatable ELF: header, section data, .shstrtab, then the
// section header table. Offsets of interesting fields are kept for the tests.
struct ElfImage {
    Bytes Bytes_;
    bool Is64 = true;
    bool BigEndian = false;
    std::size_t ShOff = 0;
    std::size_t ShEntSize = 0;
    std::vector<std::size_t> DataOffsets; // per section in the list given to Make

    void Put(std::size_t at, std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = BigEndian ? 8 * (size - 1 - i) : 8 * i;
            Bytes_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> shift);
        }
    }
    std::size_t HeaderAt(std::size_t index) const { return ShOff + index * ShEntSize; }
    // Field offsets inside an ELF header and a section header.
    std::size_t ShOffField() const { return Is64 ? 0x28 : 0x20; }
    std::size_t ShEntSizeField() const { return Is64 ? 0x3A : 0x2E; }
    std::size_t ShNumField() const { return Is64 ? 0x3C : 0x30; }
    std::size_t ShStrNdxField() const { return Is64 ? 0x3E : 0x32; }
    std::size_t OffsetField(std::size_t index) const {
        return HeaderAt(index) + (Is64 ? 0x18 : 0x10);
    }
    std::size_t SizeField(std::size_t index) const {
        return HeaderAt(index) + (Is64 ? 0x20 : 0x14);
    }
    int Word() const { return Is64 ? 8 : 4; }

    static ElfImage Make(const std::vector<Section>& sections, bool is64 = true,
                         bool bigEndian = false) {
        ElfImage e;
        e.Is64 = is64;
        e.BigEndian = bigEndian;
        const std::size_t ehSize = is64 ? 64 : 52;
        e.ShEntSize = is64 ? 64 : 40;
        e.Bytes_.assign(ehSize, 0);
        for (const auto& s : sections) {
            e.DataOffsets.push_back(e.Bytes_.size());
            e.Bytes_.insert(e.Bytes_.end(), s.Data.begin(), s.Data.end());
        }
        Bytes strtab{0};
        std::vector<std::size_t> nameAt;
        for (const auto& s : sections) {
            nameAt.push_back(strtab.size());
            strtab.insert(strtab.end(), s.Name.begin(), s.Name.end());
            strtab.push_back(0);
        }
        const std::size_t strtabName = strtab.size();
        for (char c : std::string(".shstrtab"))
            strtab.push_back(static_cast<std::uint8_t>(c));
        strtab.push_back(0);
        const std::size_t strtabAt = e.Bytes_.size();
        e.Bytes_.insert(e.Bytes_.end(), strtab.begin(), strtab.end());
        while (e.Bytes_.size() % 8)
            e.Bytes_.push_back(0);

        const std::size_t count = sections.size() + 2; // null, ..., .shstrtab
        e.ShOff = e.Bytes_.size();
        e.Bytes_.resize(e.ShOff + count * e.ShEntSize, 0);

        e.Bytes_[0] = 0x7F;
        e.Bytes_[1] = 'E';
        e.Bytes_[2] = 'L';
        e.Bytes_[3] = 'F';
        e.Bytes_[4] = is64 ? 2 : 1;
        e.Bytes_[5] = bigEndian ? 2 : 1;
        e.Bytes_[6] = 1;
        e.Put(0x10, 1, 2); // ET_REL
        e.Put(e.ShOffField(), e.ShOff, e.Word());
        e.Put(e.ShEntSizeField(), e.ShEntSize, 2);
        e.Put(e.ShNumField(), count, 2);
        e.Put(e.ShStrNdxField(), count - 1, 2);

        const auto writeHeader = [&](std::size_t index, std::size_t name, std::uint32_t type,
                                     std::size_t offset, std::size_t size) {
            e.Put(e.HeaderAt(index), name, 4);
            e.Put(e.HeaderAt(index) + 4, type, 4);
            e.Put(e.OffsetField(index), offset, e.Word());
            e.Put(e.SizeField(index), size, e.Word());
        };
        for (std::size_t i = 0; i < sections.size(); ++i)
            writeHeader(i + 1, nameAt[i], sections[i].Type, e.DataOffsets[i],
                        sections[i].Data.size());
        writeHeader(count - 1, strtabName, 3, strtabAt, strtab.size());
        return e;
    }
};

const Bytes Payload = {'r', 'e', 'c', 'o', 'r', 'd', 1, 2, 3};

std::vector<Section> TypicalSections() {
    return {{".text", 1, Bytes(16, 0x90)},
            {".tlc_versionx", 1, Bytes{9, 9}}, // a longer name must not match
            {".tlc_version", 1, Payload},
            {".data", 1, Bytes(8, 0)}};
}

std::optional<Bytes> Find(const ElfImage& e, std::size_t max = MaxVersionSectionSize) {
    return ReadElfSection(e.Bytes_, VersionSectionName, max);
}

TEST(ElfSection, FindsTheSectionInEveryClassAndByteOrder) {
    for (bool is64 : {true, false}) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(testing::Message() << (is64 ? "64" : "32") << (big ? " msb" : " lsb"));
            const auto e = ElfImage::Make(TypicalSections(), is64, big);
            const auto got = Find(e);
            ASSERT_TRUE(got);
            EXPECT_EQ(*got, Payload);
        }
    }
}

TEST(ElfSection, MissingSectionGivesNothing) {
    auto sections = TypicalSections();
    sections.erase(sections.begin() + 2);
    EXPECT_FALSE(Find(ElfImage::Make(sections)));
}

TEST(ElfSection, EveryTruncationIsRejected) {
    const auto e = ElfImage::Make(TypicalSections());
    // The header table sits at the end, so any shorter image loses part of it.
    for (std::size_t n = 0; n < e.Bytes_.size(); ++n) {
        SCOPED_TRACE(n);
        const Bytes cut(e.Bytes_.begin(), e.Bytes_.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(ReadElfSection(cut, VersionSectionName, MaxVersionSectionSize));
    }
}

struct HostileCase {
    const char* name;
    void (*mutate)(ElfImage&);
};

TEST(ElfSection, HostileHeadersGiveNothing) {
    constexpr std::size_t version = 3; // header index of .tlc_version
    const HostileCase cases[] = {
        {"bad magic", [](ElfImage& e) { e.Bytes_[1] = 'X'; }},
        {"unknown class", [](ElfImage& e) { e.Bytes_[4] = 3; }},
        {"unknown byte order", [](ElfImage& e) { e.Bytes_[5] = 0; }},
        {"no section table", [](ElfImage& e) { e.Put(e.ShOffField(), 0, e.Word()); }},
        {"section table past the end",
         [](ElfImage& e) { e.Put(e.ShOffField(), e.Bytes_.size() + 1, e.Word()); }},
        {"section table offset near 2^64",
         [](ElfImage& e) { e.Put(e.ShOffField(), ~std::uint64_t{0} - 8, e.Word()); }},
        {"entry size too small", [](ElfImage& e) { e.Put(e.ShEntSizeField(), 16, 2); }},
        {"entry size huge", [](ElfImage& e) { e.Put(e.ShEntSizeField(), 0xFFFF, 2); }},
        {"section count past the end", [](ElfImage& e) { e.Put(e.ShNumField(), 0xFFF0, 2); }},
        {"name table index out of range", [](ElfImage& e) { e.Put(e.ShStrNdxField(), 6, 2); }},
        {"extended count in section 0 absurd",
         [](ElfImage& e) {
             e.Put(e.ShNumField(), 0, 2);
             e.Put(e.SizeField(0), 0xFFFFFFFFu, e.Word());
         }},
        {"name table past the end",
         [](ElfImage& e) { e.Put(e.OffsetField(5), e.Bytes_.size() - 2, e.Word()); }},
        {"name table size overflows",
         [](ElfImage& e) { e.Put(e.SizeField(5), ~std::uint64_t{0}, e.Word()); }},
        {"section data past the end",
         [](ElfImage& e) { e.Put(e.OffsetField(version), e.Bytes_.size() - 4, e.Word()); }},
        {"section offset near 2^64",
         [](ElfImage& e) { e.Put(e.OffsetField(version), ~std::uint64_t{0} - 2, e.Word()); }},
        {"section size huge",
         [](ElfImage& e) { e.Put(e.SizeField(version), 0x7FFFFFFFFFFFull, e.Word()); }},
        {"section without file data (NOBITS)",
         [](ElfImage& e) { e.Put(e.HeaderAt(version) + 4, 8, 4); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto e = ElfImage::Make(TypicalSections());
        ASSERT_TRUE(Find(e)) << "fixture must be good before the change";
        c.mutate(e);
        EXPECT_FALSE(Find(e));
    }
}

TEST(ElfSection, NameOffsetsOutsideTheNameTableAreSkipped) {
    auto e = ElfImage::Make(TypicalSections());
    // Point the wanted section's name past the table and at its last byte.
    e.Put(e.HeaderAt(3), 0xFFFFFF, 4);
    EXPECT_FALSE(Find(e));
    auto f = ElfImage::Make(TypicalSections());
    const std::size_t strtabSize =
        std::string("\0.text\0.tlc_versionx\0.tlc_version\0.data\0.shstrtab\0", 51).size();
    f.Put(f.HeaderAt(3), strtabSize - 1, 4);
    EXPECT_FALSE(Find(f));
}

TEST(ElfSection, SectionLargerThanTheCapIsRefused) {
    const auto e = ElfImage::Make(TypicalSections());
    EXPECT_TRUE(Find(e, Payload.size()));
    EXPECT_FALSE(Find(e, Payload.size() - 1));
}

TEST(ElfSection, ExtendedSectionCountIsFollowed) {
    auto e = ElfImage::Make(TypicalSections());
    // Counts moved into section 0, as linkers do past 0xFF00 sections.
    e.Put(e.ShNumField(), 0, 2);
    e.Put(e.SizeField(0), 6, e.Word());
    e.Put(e.ShStrNdxField(), 0xFFFF, 2);
    e.Put(e.HeaderAt(0) + (e.Is64 ? 0x28 : 0x18), 5, 4);
    const auto got = Find(e);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, Payload);
}

TEST(ElfSection, FilesThatAreNotElfOrAbsent) {
    EXPECT_FALSE(ReadElfSectionFromFile("/nonexistent/tlc/file", VersionSectionName, 64));
    const test::TempDir dir("tlc-elf");
    const auto path = dir.Path() / "not-elf.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "just some text, long enough to look like a header......................";
    }
    EXPECT_FALSE(ReadElfSectionFromFile(path.string(), VersionSectionName, 64));
    std::filesystem::remove(path);
}

TEST(ElfSection, ReadsFromAFileOnDisk) {
    const auto e = ElfImage::Make(TypicalSections(), false, true);
    const test::TempDir dir("tlc-elf");
    const auto path = dir.Path() / "section.o";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(e.Bytes_.data()),
                  static_cast<std::streamsize>(e.Bytes_.size()));
    }
    const auto got = ReadElfSectionFromFile(path.string(), VersionSectionName, 64);
    std::filesystem::remove(path);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, Payload);
}

} // namespace
} // namespace tlc
