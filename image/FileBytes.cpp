#include "image/FileBytes.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "base/Exceptions.h"

namespace tlc {

namespace {

[[noreturn]] void CannotOpen(const std::string& fileName) {
    throw EFOpenError("Cannot open file " + fileName);
}

[[noreturn]] void ReadError() {
    throw EReadError("Stream read error");
}

} // namespace

PictureFile::PictureFile(const std::string& fileName) {
    if (fileName.empty()) CannotOpen(fileName);
    // Non-blocking: a pipe or a device must not hang the open; only plain
    // files are read at all.
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) CannotOpen(fileName);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        CannotOpen(fileName);
    }
    size_ = static_cast<std::size_t>(st.st_size);
}

PictureFile::~PictureFile() {
    if (fd_ >= 0) ::close(fd_);
}

void PictureFile::Gather(std::size_t offset, const ByteRun* runs, std::size_t count) const {
    // The system fills up to IOV_MAX runs per call, straight from its cache.
    constexpr std::size_t kBatch = IOV_MAX < 1024 ? IOV_MAX : 1024;
    iovec iov[kBatch];
    std::size_t next = 0;   // first run not yet complete
    std::size_t done = 0;   // bytes of that run already read
    while (next < count) {
        std::size_t n = 0;
        for (std::size_t k = next; k < count && n < kBatch; ++k, ++n) {
            const std::size_t skip = k == next ? done : 0;
            iov[n].iov_base = runs[k].Data + skip;
            iov[n].iov_len = runs[k].Size - skip;
        }
        const ssize_t got = ::preadv(fd_, iov, static_cast<int>(n), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) ReadError();
        offset += static_cast<std::size_t>(got);
        std::size_t left = static_cast<std::size_t>(got);
        while (left > 0) {
            const std::size_t want = runs[next].Size - done;
            if (left < want) {
                done += left;
                left = 0;
            } else {
                left -= want;
                done = 0;
                ++next;
            }
        }
        while (next < count && runs[next].Size == 0) ++next;
    }
}

std::vector<std::uint8_t> PictureFile::Read(std::size_t offset, std::size_t size) const {
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    const ByteRun run{bytes.data(), bytes.size()};
    if (size > 0) Gather(offset, &run, 1);
    return bytes;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
    return ReadFileBytes(fileName, 0, nullptr);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t headSize,
                                        const FileHeadCheck& checkHead) {
    const PictureFile file(fileName);
    std::vector<std::uint8_t> bytes;
    if (checkHead) {
        bytes = file.Read(0, std::min(headSize, file.Size()));
        checkHead(bytes, file.Size());
    }
    if (file.Size() > kMaxPictureFileBytes) throw EOutOfResources();
    const std::size_t head = bytes.size();
    try {
        bytes.resize(file.Size());
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
    const ByteRun rest{bytes.data() + head, bytes.size() - head};
    if (rest.Size > 0) file.Gather(head, &rest, 1);
    return bytes;
}

} // namespace tlc
