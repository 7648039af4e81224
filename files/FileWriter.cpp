#include "files/FileWriter.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/Paths.h"

namespace tlc {

namespace {

namespace fs = std::filesystem;

// Tries before giving up on free names; a clash is already one in 36^16.
constexpr int kNameAttempts = 100;
// An old file larger than this is not kept in memory to restore it after a
// failed rewrite in place.
constexpr std::uint64_t kRestoreLimit = 64u << 20;

// The file a path leads to, symbolic links followed one by one so that the
// temporary file goes beside the real file; `viaLink` tells whether there was
// one. Empty when a link must not be followed: another user's link in a sticky
// folder everyone may write (planted to turn our write elsewhere), or a loop.
std::string FollowLinks(FileOps& ops, const std::string& path, bool& viaLink) {
    viaLink = false;
    fs::path p = PathFromUtf8(path);
    for (int hops = 0; hops < 40; ++hops) {
        LinkFacts link;
        if (!ops.InspectLink(Utf8FromPath(p), link)) return {};
        if (!link.IsLink) return Utf8FromPath(p);
        if (link.Foreign) return errno = EACCES, std::string();
        std::error_code ec;
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) return {};
        viaLink = true;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return errno = ELOOP, std::string();
}

std::string FolderOf(const std::string& path) {
    const std::string folder = Utf8FromPath(PathFromUtf8(path).parent_path());
    return folder.empty() ? std::string(".") : folder;
}

} // namespace

std::string UnableToCreateMessage(const std::string& path) {
    return "Unable to create the file " + path;
}

std::string UnableToCreateMessage(const std::string& path, const std::string& cause) {
    return cause.empty() ? UnableToCreateMessage(path) : UnableToCreateMessage(path) + ": " + cause;
}

bool FileWriter::Failed() {
    if (error_ == 0 && !notRegular_) error_ = errno != 0 ? errno : EIO;
    return false;
}

std::string FileWriter::FailureCause() const {
    if (notRegular_) return "not a regular file";
    if (error_ == 0) return {};
    return std::generic_category().message(error_);
}

FileWriter::FileWriter(const std::string& path, FileOps& ops) : ops_(ops) {
    errno = 0;
    Open(path);
    if (!opened_) Failed();
}

void FileWriter::Open(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return;
    }
    bool viaLink = false;
    real_ = FollowLinks(ops_, path, viaLink);
    if (real_.empty()) return;
    folder_ = FolderOf(real_);
    FileFacts facts;
    if (!ops_.Inspect(real_, facts)) return;
    // A dangling link is not a file to create: whoever planted it chose where.
    if (viaLink && !facts.Exists) {
        errno = ENOENT;
        return;
    }
    if (facts.Exists) {
        // Only a regular file that opens for writing may be replaced: never
        // a folder or a device, and a read-only file stays read-only.
        if (!facts.Regular) {
            if (facts.Directory)
                errno = EISDIR;
            else
                notRegular_ = true;
            return;
        }
        // Through the link by its name, so that the system's own rules for
        // links in shared folders apply; then it must still be the file the
        // links led to, or a link changed meanwhile.
        target_ = ops_.OpenExisting(viaLink ? path : real_);
        const FileFacts named = facts;
        if (target_ == kNoFile || !ops_.InspectOpen(target_, facts)) return;
        if (facts.Device != named.Device || facts.Inode != named.Inode) {
            CloseTarget();
            errno = EACCES;
            return;
        }
        if (facts.Links > 1) { // every link must see the new bytes
            inPlace_ = opened_ = true;
            return;
        }
    }
    if (CreateTemp())
        opened_ = true;
    else if (target_ != kNoFile) // a writable file in a folder we may not write
        inPlace_ = opened_ = true;
}

FileWriter::~FileWriter() {
    DiscardTemp();
    CloseTarget();
}

void FileWriter::Defer(bool on) {
    if (on == deferring_) return;
    deferring_ = on;
    ops_.DeferInterrupts(on);
}

bool FileWriter::CreateTemp() {
    temp_ = ops_.CreateUnnamed(folder_);
    if (temp_ != kNoFile) return true;
    // A named file must not outlive an interrupted save.
    Defer(true);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = Utf8FromPath(PathFromUtf8(folder_) / ops_.UnpredictableName());
        errno = 0;
        temp_ = ops_.CreateNew(candidate);
        if (temp_ != kNoFile) {
            tempPath_ = candidate;
            return true;
        }
        if (errno != EEXIST) break;
    }
    Defer(false);
    return false;
}

bool FileWriter::NameTemp() {
    Defer(true);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = Utf8FromPath(PathFromUtf8(folder_) / ops_.UnpredictableName());
        errno = 0;
        if (ops_.Name(temp_, candidate)) {
            tempPath_ = candidate;
            return true;
        }
        if (errno != EEXIST) break;
    }
    return false;
}

void FileWriter::DiscardTemp() {
    if (temp_ != kNoFile) ops_.Close(temp_);
    temp_ = kNoFile;
    if (!tempPath_.empty()) ops_.Remove(tempPath_);
    tempPath_.clear();
    Defer(false);
}

void FileWriter::CloseTarget() {
    if (target_ != kNoFile) ops_.Close(target_);
    target_ = kNoFile;
}

bool FileWriter::Commit(const std::vector<std::uint8_t>& bytes) {
    if (!Write(bytes) || !Flush()) return false;
    const bool replacing = !inPlace_;
    if (!Finish()) return false;
    if (replacing) ops_.SyncFolder(folder_);
    return true;
}

bool FileWriter::Stage(const std::vector<std::uint8_t>& bytes) {
    if (!Write(bytes)) return false;
    if (!inPlace_) ops_.StartSync(temp_);
    return true;
}

bool FileWriter::Write(const std::vector<std::uint8_t>& bytes) {
    if (!opened_) return false;
    opened_ = false; // one commit per opening
    step_ = Step::Staged;
    if (inPlace_) {
        inPlaceBytes_ = bytes;
        return true;
    }
    if (!ops_.WriteAll(temp_, bytes.data(), bytes.size())) return step_ = Step::Done, Failed();
    // Set after the bytes: a write by a plain user drops set-id bits.
    if (target_ != kNoFile && !ops_.CopyIdentity(target_, temp_)) {
        DiscardTemp();
        inPlace_ = true;
        inPlaceBytes_ = bytes;
        return true;
    }
    return true;
}

bool FileWriter::Flush() {
    if (step_ != Step::Staged) return false;
    step_ = Step::Flushed;
    if (inPlace_ || ops_.Sync(temp_)) return true;
    step_ = Step::Done;
    return Failed();
}

bool FileWriter::Finish() {
    if (step_ != Step::Flushed) return false;
    step_ = Step::Done;
    if (!(inPlace_ ? CommitInPlace(inPlaceBytes_) : MoveIn())) {
        Failed();
        CloseTarget(); // the lock goes with it, for the next save of this process
        return false;
    }
    ops_.RemoveLeftovers(folder_);
    return true;
}

bool FileWriter::MoveIn() {
    // The writers' lock on the old file, so that a rewrite in place by
    // another save of ours is never replaced half done. Taken before the
    // temporary file has a name: the wait must not hold back Ctrl-C.
    if (target_ != kNoFile && !ops_.Lock(target_)) return false;
    if (tempPath_.empty() && !NameTemp()) return false;
    const FileHandle temp = temp_;
    temp_ = kNoFile;
    if (!ops_.Close(temp)) return false;
#ifdef _WIN32
    CloseTarget(); // ReplaceFileW moves the old file aside, which an open handle would stop
#endif
    if (!ops_.Rename(tempPath_, real_)) return false;
    CloseTarget(); // lets the lock go
    tempPath_.clear();
    Defer(false);
    return true;
}

bool FileWriter::CommitInPlace(const std::vector<std::uint8_t>& bytes) {
    // Under the writers' lock another save of ours never meets the file
    // half rewritten. A reader that takes no lock can, and a kill between
    // the write and the cut leaves the file so.
    FileFacts facts;
    if (!ops_.Lock(target_) || !ops_.InspectOpen(target_, facts)) return false;
    // Another save moved a new file in while we waited: this one has no
    // name left, and bytes written to it would be lost without a word.
    if (facts.Links == 0) return errno = ENOENT, false;
    // The old bytes are kept to put back should the new ones not fit.
    std::vector<std::uint8_t> old;
    bool restorable = facts.Size <= kRestoreLimit;
    if (restorable) {
        old.resize(static_cast<std::size_t>(facts.Size));
        restorable = ops_.ReadAll(target_, old.data(), old.size());
    }
    const bool written = ops_.WriteAll(target_, bytes.data(), bytes.size()) &&
                         ops_.Truncate(target_, bytes.size()) && ops_.Sync(target_);
    if (!written && restorable) {
        const int reason = errno;
        if (ops_.WriteAll(target_, old.data(), old.size()) && ops_.Truncate(target_, old.size()))
            ops_.Sync(target_);
        errno = reason;
    }
    const int reason = errno;
    const FileHandle target = target_;
    target_ = kNoFile;
    const bool closed = ops_.Close(target);
    if (!written) errno = reason;
    return closed && written;
}

FileWriteResult WriteFileCarefully(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                   FileOps& ops) {
    FileWriter writer(path, ops);
    if (writer.Opened() && writer.Commit(bytes)) return {true, {}, {}};
    return {false, UnableToCreateMessage(path), writer.FailureCause()};
}

} // namespace tlc
