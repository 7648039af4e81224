#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tlc {

// Section that carries the version record inside our executables.
inline constexpr std::string_view VersionSectionName = ".tlc_version";

// Largest section we agree to read: a version record's length is a 16-bit field.
inline constexpr std::size_t MaxVersionSectionSize = 0x10000;

// Random access to the bytes of a file: fills `out` from `offset` and says
// whether all of them could be read.
using ReadAtFn = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> out)>;

// The contents of the named section of an ELF file (32 or 64 bit, either byte
// order), or nothing when the file is not ELF, has no such section, or any
// header points outside the file. Never reads more than `maxSize` section bytes.
std::optional<std::vector<std::uint8_t>> ReadElfSection(const ReadAtFn& readAt,
                                                        std::uint64_t fileSize,
                                                        std::string_view name, std::size_t maxSize);

std::optional<std::vector<std::uint8_t>> ReadElfSection(std::span<const std::uint8_t> image,
                                                        std::string_view name, std::size_t maxSize);

std::optional<std::vector<std::uint8_t>>
ReadElfSectionFromFile(const std::string& path, std::string_view name, std::size_t maxSize);

// The version record of the running executable, or nothing: its own ELF
// section on Linux, its version resource on Windows.
std::optional<std::vector<std::uint8_t>> ReadOwnVersionRecord();

} // namespace tlc
