#include "version/VersionRecord.h"
#include "version/ElfSection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tlc {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ProgramRecord() {
    return EncodeVersionRecord(MakeProgramVersion(1, 0, 0, 3, "Acme"));
}

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t GetU16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(VersionRecord, FixedPartHasTheWindowsLayout) {
    const Bytes r = ProgramRecord();
    // Root header (6 bytes) + L"VS_VERSION_INFO\0" (32 bytes) + pad to 40: value starts there.
    ASSERT_GE(r.size(), 40u + FixedFileInfoSize);
    EXPECT_EQ(GetU16(r, 0), r.size());
    EXPECT_EQ(GetU16(r, 2), 52);
    const std::uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};
    EXPECT_EQ(std::memcmp(&r[40], signature, 4), 0);
    const std::uint8_t fileVersion[] = {0x00, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(&r[48], fileVersion, 8), 0);

    const auto fixed = QueryFixedFileInfo(r);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->StrucVersion, 0x00010000u);
    EXPECT_EQ(fixed->FileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->FileVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->ProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->ProductVersionLS, 0u);
    EXPECT_EQ(fixed->FileType, VftApp);
    EXPECT_EQ(fixed->FileOS, VosWindows32);
}

TEST(VersionRecord, StringTableRoundTrips) {
    const Bytes r = ProgramRecord();
    const std::pair<const char*, const char*> expected[] = {
        {"CompanyName", "Acme"},
        {"FileDescription", "Tillora Graphic Logo Converter"},
        {"FileVersion", "1.0.0.3"},
        {"InternalName", "Logo Converter"},
        {"ProductVersion", "1.0.0.0"},
        {"LegalCopyright", ""},
        {"OriginalFilename", ""},
        {"ProductName", ""},
        {"Comments", ""},
    };
    for (const auto& [key, value] : expected) {
        SCOPED_TRACE(key);
        const auto got = QueryVersionString(r, key);
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, value);
    }
    EXPECT_FALSE(QueryVersionString(r, "NoSuchEntry"));
    EXPECT_FALSE(QueryVersionString(r, "Translation"));
}

TEST(VersionRecord, TableKeyAndTranslationNameEnglishUkCodePage1252) {
    const Bytes r = ProgramRecord();
    // The table key and the Translation value as they appear in the bytes.
    const std::u16string key = u"080904E4";
    Bytes keyLe;
    for (char16_t c : key) {
        keyLe.push_back(static_cast<std::uint8_t>(c & 0xFF));
        keyLe.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    EXPECT_NE(std::search(r.begin(), r.end(), keyLe.begin(), keyLe.end()), r.end());
    // Translation: 0x0809, 1252 (0x04E4) as the record's last four bytes.
    const Bytes tail(r.end() - 4, r.end());
    EXPECT_EQ(tail, (Bytes{0x09, 0x08, 0xE4, 0x04}));
}

struct CaptionCase {
    const char* name;
    std::uint16_t parts[4];
    const char* caption;
};

TEST(VersionRecord, CaptionFromTheFourParts) {
    const CaptionCase cases[] = {
        {"program", {1, 0, 0, 3}, "Version 1.0.0  Build 3"},
        {"all 65535", {65535, 65535, 65535, 65535}, "Version 65535.65535.65535  Build 65535"},
        {"halves kept apart", {2, 65535, 0, 1}, "Version 2.65535.0  Build 1"},
        {"zeros", {0, 0, 0, 0}, "Version 0.0.0  Build 0"},
        {"each part in its place", {4, 3, 2, 1}, "Version 4.3.2  Build 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes r = EncodeVersionRecord(
            MakeProgramVersion(c.parts[0], c.parts[1], c.parts[2], c.parts[3], ""));
        const auto fixed = QueryFixedFileInfo(r);
        ASSERT_TRUE(fixed);
        EXPECT_EQ(VersionCaption(*fixed), c.caption);
    }
}

TEST(VersionRecord, EveryTruncationIsRejectedOrStaysInBounds) {
    const Bytes full = ProgramRecord();
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        // The root's length no longer fits: nothing can be read.
        EXPECT_FALSE(QueryFixedFileInfo(cut));
        EXPECT_FALSE(QueryVersionString(cut, "FileVersion"));
    }
}

struct HostileCase {
    const char* name;
    void (*mutate)(Bytes&);
};

TEST(VersionRecord, HostileRecordsGiveNothing) {
    const HostileCase cases[] = {
        {"root length below header size", [](Bytes& b) { PutU16(b, 0, 4); }},
        {"root length zero", [](Bytes& b) { PutU16(b, 0, 0); }},
        {"root length past the buffer",
         [](Bytes& b) { PutU16(b, 0, static_cast<std::uint16_t>(b.size() + 4)); }},
        {"wrong signature", [](Bytes& b) { b[40] ^= 0xFF; }},
        {"fixed part shorter than 52", [](Bytes& b) { PutU16(b, 2, 48); }},
        {"fixed part larger than the block", [](Bytes& b) { PutU16(b, 2, 0xFFFF); }},
        {"root key renamed", [](Bytes& b) { b[6] = 'X'; }},
        {"root key without terminator",
         [](Bytes& b) {
             PutU16(b, 0, 30); // ends inside the key
             b.resize(30);
         }},
        {"text type on the root", [](Bytes& b) { PutU16(b, 4, 1); }},
        {"unknown block type", [](Bytes& b) { PutU16(b, 4, 7); }},
        {"all 0xFF", [](Bytes& b) { std::fill(b.begin(), b.end(), 0xFF); }},
        {"all zero", [](Bytes& b) { std::fill(b.begin(), b.end(), 0x00); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes r = ProgramRecord();
        c.mutate(r);
        EXPECT_FALSE(QueryFixedFileInfo(r));
    }
}

TEST(VersionRecord, HostileChildBlocksEndTheStringSearch) {
    const Bytes good = ProgramRecord();
    const std::size_t firstChild = 40 + FixedFileInfoSize; // StringFileInfo
    ASSERT_EQ(GetU16(good, firstChild + 6), u'S');

    Bytes zeroLength = good;
    PutU16(zeroLength, firstChild, 0); // a walk that trusted it would never move on
    EXPECT_FALSE(QueryVersionString(zeroLength, "FileVersion"));
    EXPECT_TRUE(QueryFixedFileInfo(zeroLength)) << "the fixed part is still sound";

    Bytes tooLong = good;
    PutU16(tooLong, firstChild, 0xFFF0);
    EXPECT_FALSE(QueryVersionString(tooLong, "FileVersion"));

    // A string value that claims more characters than its block holds.
    Bytes longValue = good;
    const Bytes keyLe = {'F', 0, 'i', 0, 'l', 0, 'e', 0, 'V', 0};
    auto at = std::search(longValue.begin(), longValue.end(), keyLe.begin(), keyLe.end());
    ASSERT_NE(at, longValue.end());
    const std::size_t block = static_cast<std::size_t>(at - longValue.begin()) - 6;
    PutU16(longValue, block + 2, 0x7FFF);
    EXPECT_FALSE(QueryVersionString(longValue, "FileVersion"));
    // Entries before the broken one are still found; the walk stops at it.
    EXPECT_EQ(QueryVersionString(longValue, "FileDescription"), "Tillora Graphic Logo Converter");
    EXPECT_FALSE(QueryVersionString(longValue, "InternalName"));
}

TEST(VersionRecord, ThisTestProgramCarriesTheProjectVersion) {
    const auto record = ReadOwnVersionRecord();
    ASSERT_TRUE(record) << "no " << VersionSectionName << " section in /proc/self/exe";
    const auto fixed = QueryFixedFileInfo(*record);
    ASSERT_TRUE(fixed);
    EXPECT_EQ(QueryVersionString(*record, "FileVersion"), TLC_EXPECTED_FILE_VERSION);
    EXPECT_EQ(QueryVersionString(*record, "FileDescription"), "Tillora Graphic Logo Converter");
    const unsigned major = fixed->FileVersionMS >> 16, minor = fixed->FileVersionMS & 0xFFFF;
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." +
                  std::to_string(fixed->FileVersionLS >> 16) + "." +
                  std::to_string(fixed->FileVersionLS & 0xFFFF),
              TLC_EXPECTED_FILE_VERSION);
    EXPECT_EQ(fixed->ProductVersionMS, fixed->FileVersionMS);
    EXPECT_EQ(fixed->ProductVersionLS, 0u);
}

} // namespace
} // namespace tlc
