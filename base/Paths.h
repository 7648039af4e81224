#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace tlc {

// Paths are UTF-8 throughout the program; only these functions meet the
// system's own encoding (PlatformCommon.cpp, PlatformPosix.cpp, PlatformWin.cpp).

// A path from UTF-8 bytes, and back. A std::string alone would be read in the
// Windows ANSI code page, losing every character outside it.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

} // namespace tlc
