#include "base/Platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace tlc {

namespace {

std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

std::string Utf8(const wchar_t* wide) {
    return Utf8FromPath(std::filesystem::path(wide));
}

} // namespace

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return ::_wfopen(Wide(utf8Path).c_str(), Wide(mode).c_str());
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
    ::LocalFree(wide);
    return args;
}

void UseBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

void AdviseHugePages(void*, std::size_t) {}

} // namespace tlc
