#include "image/FileBytes.h"

#include <algorithm>
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

// Steps `bytes` on through consecutive runs, where `next` is the first run
// not yet whole and `done` the bytes of it behind; empty runs are stepped over.
void AdvanceRuns(const ByteRun* runs, std::size_t count, std::size_t bytes, std::size_t& next,
                 std::size_t& done) {
    while (bytes > 0) {
        const std::size_t want = runs[next].Size - done;
        if (bytes < want) {
            done += bytes;
            return;
        }
        bytes -= want;
        done = 0;
        ++next;
    }
    while (next < count && runs[next].Size == 0) ++next;
}

} // namespace

PictureFile::PictureFile(const std::string& fileName) {
    if (fileName.empty()) CannotOpen(fileName);
    std::uint64_t size = 0;
    file_ = OpenPlainFileForReading(fileName, size);
    if (file_ < 0) CannotOpen(fileName);
    size_ = static_cast<std::size_t>(size);
}

PictureFile::~PictureFile() {
    CloseReadHandle(file_);
}

void PictureFile::Gather(std::size_t offset, const ByteRun* runs, std::size_t count) const {
    constexpr std::size_t kBatch = 1024;
    ByteRun batch[kBatch];
    std::size_t next = 0;   // first run not yet complete
    std::size_t done = 0;   // bytes of that run already read
    while (next < count) {
        std::size_t n = 0;
        for (std::size_t k = next; k < count && n < kBatch; ++k, ++n) {
            const std::size_t skip = k == next ? done : 0;
            batch[n] = ByteRun{runs[k].Data + skip, runs[k].Size - skip};
        }
        const std::int64_t got = ReadRunsAt(file_, offset, batch, n);
        if (got <= 0) ReadError();
        offset += static_cast<std::size_t>(got);
        AdvanceRuns(runs, count, static_cast<std::size_t>(got), next, done);
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
