#include "image/FileBytes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>

#include "base/Exceptions.h"

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
    return ReadFileBytes(fileName, 0, nullptr);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t headSize,
                                        const FileHeadCheck& checkHead) {
    // Only plain files: a folder, a pipe or a device would fail late or never end.
    std::error_code error;
    if (fileName.empty() || !std::filesystem::is_regular_file(fileName, error))
        CannotOpen(fileName);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file) CannotOpen(fileName);

    if (std::fseek(file.get(), 0, SEEK_END) != 0) throw EReadError("Stream read error");
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) throw EReadError("Stream read error");
    const auto total = static_cast<std::size_t>(size);

    std::vector<std::uint8_t> bytes;
    if (checkHead) {
        bytes.resize(std::min(headSize, total));
        if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
            throw EReadError("Stream read error");
        checkHead(bytes, total);
    }
    if (total > kMaxPictureFileBytes) throw EOutOfResources();

    const std::size_t head = bytes.size();
    try {
        bytes.resize(total);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    if (total > head && std::fread(bytes.data() + head, 1, total - head, file.get()) != total - head)
        throw EReadError("Stream read error");
    return bytes;
}

} // namespace tlc
