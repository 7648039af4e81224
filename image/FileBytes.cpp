#include "image/FileBytes.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "base/Exceptions.h"
#include "base/Platform.h"

namespace tlc {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void CannotOpen(const std::string& fileName) {
    throw EFOpenError("Cannot open file " + fileName);
}

} // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
    // Only plain files: a folder, a pipe or a device would fail late or never end.
    std::error_code error;
    if (fileName.empty() || !std::filesystem::is_regular_file(PathFromUtf8(fileName), error))
        CannotOpen(fileName);
    std::unique_ptr<std::FILE, FileCloser> file(OpenFile(fileName, "rb"));
    if (!file) CannotOpen(fileName);

    if (std::fseek(file.get(), 0, SEEK_END) != 0) throw EReadError("Stream read error");
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) throw EReadError("Stream read error");
    if (static_cast<unsigned long>(size) > kMaxPictureFileBytes) throw EOutOfResources();

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw EReadError("Stream read error");
    return bytes;
}

} // namespace tlc
