#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tlc {

// The few steps that differ between Linux and Windows, one implementation per
// platform (PlatformPosix.cpp, PlatformWin.cpp). Paths are UTF-8 throughout
// the program; only these functions meet the system's own encoding.

// A path from UTF-8 bytes, and back. A std::string alone would be read in the
// Windows ANSI code page, losing every character outside it.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// The program's arguments (without its name) in UTF-8; Windows hands them over
// in the ANSI code page unless asked for the wide ones.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Standard input and output carry pictures and logo files: no line-end
// translation.
void UseBinaryStandardStreams();

// A raster of many megabytes is touched page by page as it is filled; large
// pages make that a few hundred faults instead of thousands. A hint only.
void AdviseHugePages(void* data, std::size_t bytes);

} // namespace tlc
