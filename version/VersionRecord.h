#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tlc {

// The fixed part of a version record: 13 little-endian 32-bit fields, 52 bytes,
// laid out as the Windows VS_FIXEDFILEINFO.
struct FixedFileInfo {
    std::uint32_t Signature = 0;
    std::uint32_t StrucVersion = 0;
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
    std::uint32_t FileFlagsMask = 0;
    std::uint32_t FileFlags = 0;
    std::uint32_t FileOS = 0;
    std::uint32_t FileType = 0;
    std::uint32_t FileSubtype = 0;
    std::uint32_t FileDateMS = 0;
    std::uint32_t FileDateLS = 0;
    friend bool operator==(const FixedFileInfo&, const FixedFileInfo&) = default;
};

inline constexpr std::size_t FixedFileInfoSize = 52;
inline constexpr std::uint32_t FixedFileInfoSignature = 0xFEEF04BDu;
inline constexpr std::uint32_t FixedFileInfoStrucVersion = 0x00010000u;
inline constexpr std::uint32_t VosWindows32 = 0x00000004u;
inline constexpr std::uint32_t VftApp = 0x00000001u;
inline constexpr std::uint16_t LangEnglishUK = 0x0809;
inline constexpr std::uint16_t CodePage1252 = 1252;

// Everything a version record holds: the fixed part and one string table.
// Strings are Latin-1; they are stored as UTF-16 in the record.
struct VersionResource {
    FixedFileInfo Fixed;
    std::uint16_t Language = LangEnglishUK;
    std::uint16_t CodePage = CodePage1252;
    std::vector<std::pair<std::string, std::string>> Strings;
};

// Four 16-bit parts into the two 32-bit halves of a 64-bit version.
constexpr std::uint32_t VersionHigh(std::uint16_t major, std::uint16_t minor) {
    return (std::uint32_t{major} << 16) | minor;
}

// The record this program carries: file version major.minor.release.build,
// product version major.minor.0.0.
VersionResource MakeProgramVersion(std::uint16_t major, std::uint16_t minor, std::uint16_t release,
                                   std::uint16_t build, std::string companyName);

// Serialises in the VS_VERSIONINFO block layout (VS_VERSION_INFO root,
// StringFileInfo with one table, VarFileInfo with its Translation).
std::vector<std::uint8_t> EncodeVersionRecord(const VersionResource& resource);

// The fixed part of a record, or nothing when the bytes are not a well-formed
// record (every length is checked against the buffer).
std::optional<FixedFileInfo> QueryFixedFileInfo(std::span<const std::uint8_t> record);

// One entry of the record's first string table, or nothing.
std::optional<std::string> QueryVersionString(std::span<const std::uint8_t> record,
                                              std::string_view key);

// "Version 1.0.0  Build 3" from the four 16-bit parts of the file version.
std::string VersionCaption(const FixedFileInfo& fixed);

} // namespace tlc
