#include "files/FileOps.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

namespace tlc {

namespace {

int Fd(FileHandle file) {
    return static_cast<int>(file);
}

void FillFacts(const struct stat& st, FileFacts& facts) {
    facts.Exists = true;
    facts.Regular = S_ISREG(st.st_mode);
    facts.Device = static_cast<std::uint64_t>(st.st_dev);
    facts.Inode = static_cast<std::uint64_t>(st.st_ino);
    facts.Links = static_cast<std::uint64_t>(st.st_nlink);
    facts.Size = static_cast<std::uint64_t>(st.st_size);
}

// The names of a file's extended attributes (ACLs are the system.posix_acl_*
// ones); empty where the file system keeps none.
bool AttributeNames(int fd, std::vector<std::string>& names) {
    names.clear();
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) return errno == ENOTSUP;
        std::vector<char> list(static_cast<std::size_t>(size));
        const ssize_t got = ::flistxattr(fd, list.data(), list.size());
        if (got < 0 && errno == ERANGE) continue; // grew in between
        if (got < 0) return false;
        for (std::size_t i = 0; i < static_cast<std::size_t>(got);) {
            const std::string name(list.data() + i);
            names.push_back(name);
            i += name.size() + 1;
        }
        return true;
    }
}

bool AttributeValue(int fd, const std::string& name, std::vector<char>& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0) return false;
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got < 0 && errno == ERANGE) continue;
        if (got < 0) return false;
        value.resize(static_cast<std::size_t>(got));
        return true;
    }
}

// Makes `to` carry exactly the attributes of `from`: those it got from its
// folder (a default ACL) go, the old file's come over.
bool CopyAttributes(int from, int to) {
    std::vector<std::string> wanted, present;
    if (!AttributeNames(from, wanted) || !AttributeNames(to, present)) return false;
    bool ok = true;
    for (const std::string& name : present)
        if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() &&
            ::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA)
            ok = false;
    std::vector<char> value, have;
    for (const std::string& name : wanted) {
        if (!AttributeValue(from, name, value)) {
            ok = false;
            continue;
        }
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
            // A label the system set by itself may already be the right one.
            if (!AttributeValue(to, name, have) || have != value) ok = false;
        }
    }
    return ok;
}

} // namespace

bool FileOps::Inspect(const std::string& path, FileFacts& facts) {
    facts = {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    FillFacts(st, facts);
    return true;
}

bool FileOps::InspectOpen(FileHandle file, FileFacts& facts) {
    facts = {};
    struct stat st {};
    if (::fstat(Fd(file), &st) != 0) return false;
    FillFacts(st, facts);
    return true;
}

bool FileOps::InspectLink(const std::string& path, LinkFacts& facts) {
    facts = {};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISLNK(st.st_mode)) return true;
    facts.IsLink = true;
    if (st.st_uid == ::geteuid()) return true;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return false;
    facts.Foreign = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
    return true;
}

FileHandle FileOps::OpenExisting(const std::string& path) {
    // Non-blocking, so that a named pipe planted under the name cannot hang us.
    constexpr int kFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags);
    if (fd < 0) return kNoFile;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return kNoFile;
    }
    return fd;
}

FileHandle FileOps::CreateUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    return fd < 0 ? kNoFile : fd;
#else
    (void)folder;
    errno = EOPNOTSUPP;
    return kNoFile;
#endif
}

FileHandle FileOps::CreateNew(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    return fd < 0 ? kNoFile : fd;
}

bool FileOps::Name(FileHandle file, const std::string& path) {
    // Through /proc needs no privilege; AT_EMPTY_PATH is the way without it.
    const std::string self = "/proc/self/fd/" + std::to_string(Fd(file));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) return false;
    return ::linkat(Fd(file), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

bool FileOps::ReadAll(FileHandle file, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(Fd(file), data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileOps::WriteAll(FileHandle file, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(Fd(file), data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return errno = ENOSPC, false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileOps::Truncate(FileHandle file, std::uint64_t size) {
    while (::ftruncate(Fd(file), static_cast<off_t>(size)) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool FileOps::Sync(FileHandle file) {
    while (::fsync(Fd(file)) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool FileOps::Close(FileHandle file) {
    return ::close(Fd(file)) == 0;
}

bool FileOps::CopyIdentity(FileHandle fromFile, FileHandle toFile) {
    const int from = Fd(fromFile), to = Fd(toFile);
    struct stat want {}, have {};
    if (::fstat(from, &want) != 0 || ::fstat(to, &have) != 0) return false;
    // Only what differs is set, so that a user who may not give files away
    // still sets the group alone. Owner first: it clears set-id bits.
    if (want.st_uid != have.st_uid || want.st_gid != have.st_gid) {
        const uid_t uid = want.st_uid == have.st_uid ? static_cast<uid_t>(-1) : want.st_uid;
        const gid_t gid = want.st_gid == have.st_gid ? static_cast<gid_t>(-1) : want.st_gid;
        if (::fchown(to, uid, gid) != 0) return false;
    }
    const bool attributes = CopyAttributes(from, to);
    // After the access list, whose mask the group bits then set again.
    if (::fchmod(to, want.st_mode & 07777) != 0) return false;
    if (::fstat(to, &have) != 0) return false;
    return attributes && have.st_uid == want.st_uid && have.st_gid == want.st_gid &&
           (have.st_mode & 07777) == (want.st_mode & 07777);
}

void FileOps::StartSync([[maybe_unused]] FileHandle file) {
#ifdef SYNC_FILE_RANGE_WRITE
    ::sync_file_range(Fd(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool FileOps::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

void FileOps::SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool FileOps::Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

void FileOps::DeferInterrupts(bool defer) {
    static int depth = 0;
    static sigset_t before;
    if (defer && depth++ == 0) {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, sig);
        ::pthread_sigmask(SIG_BLOCK, &held, &before);
    } else if (!defer && depth > 0 && --depth == 0) {
        // Anything that arrived meanwhile is delivered here.
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
}

} // namespace tlc
