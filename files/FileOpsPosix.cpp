#include "files/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <set>
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
    facts.Directory = S_ISDIR(st.st_mode);
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

bool FileOps::Lock(FileHandle file) {
    // flock, not fcntl: a record lock would go as soon as any descriptor of
    // the file closed in this process, and one that must outlive the rename
    // would be lost then.
    while (::flock(Fd(file), LOCK_EX) != 0) {
        // A file system that keeps no locks (some network shares) saves as
        // before, unguarded, rather than not at all.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
        if (errno != EINTR) return false;
    }
    return true;
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

void FileOps::RemoveLeftovers(const std::string& folder) {
    // Once per folder and process: a batch saves many files into one.
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!swept.insert(folder).second) return;
    }
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    DIR* listing = ::fdopendir(dir);
    if (!listing) {
        ::close(dir);
        return;
    }
    constexpr time_t kDay = 24 * 60 * 60;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        struct stat st {};
        // The name itself, never what a link there leads to; a file another
        // user planted under such a name stays.
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime <= kDay)
            continue;
        ::unlinkat(dir, entry->d_name, 0);
    }
    ::closedir(listing);
}

namespace {

// Whatever thread a signal reaches (a window's toolkit starts threads of its
// own, which a signal mask of ours never covers), the handler looks here: the
// low bits count the saves holding signals back, the bits above them keep
// the first signal that came meanwhile, and kDying marks a process that has
// let a signal end it.
std::atomic<unsigned> interruptState{0};
constexpr unsigned kDepthMask = 0xFFFF;
constexpr unsigned kSignalShift = 16;
constexpr unsigned kDying = ~0u;
constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

[[noreturn]] void DieOf(int sig) {
    ::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(sig);
    for (;;) ::pause();
}

void OnInterrupt(int sig) {
    const int saved = errno;
    unsigned state = interruptState.load();
    for (;;) {
        if (state == kDying) break;
        if ((state & kDepthMask) == 0) {
            if (interruptState.compare_exchange_weak(state, kDying)) {
                ::signal(sig, SIG_DFL);
                ::raise(sig); // delivered as this handler returns
                break;
            }
        } else if ((state >> kSignalShift) != 0 ||
                   interruptState.compare_exchange_weak(state, state | (static_cast<unsigned>(sig) << kSignalShift))) {
            break; // the save that holds it raises it when done
        }
    }
    errno = saved;
}

// Installed once, before the first hold, for the signals whose action is
// still the default: one ignored from the start (nohup) stays ignored.
void InstallInterruptHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int sig : kHeld) {
            struct sigaction now {};
            if (::sigaction(sig, nullptr, &now) != 0 || now.sa_handler != SIG_DFL) continue;
            struct sigaction act {};
            act.sa_handler = OnInterrupt;
            sigfillset(&act.sa_mask);
            act.sa_flags = SA_RESTART;
            ::sigaction(sig, &act, nullptr);
        }
    });
}

} // namespace

void FileOps::DeferInterrupts(bool defer) {
    if (defer) {
        InstallInterruptHandlers();
        unsigned state = interruptState.load();
        for (;;) {
            // A signal already on its way ends the process before any name
            // comes to exist.
            if (state == kDying) for (;;) ::pause();
            if (interruptState.compare_exchange_weak(state, state + 1)) return;
        }
    }
    unsigned state = interruptState.load();
    for (;;) {
        if (state == kDying || (state & kDepthMask) == 0) return;
        const bool last = (state & kDepthMask) == 1;
        const unsigned pending = state >> kSignalShift;
        const unsigned next = last && pending ? kDying : last ? 0 : state - 1;
        if (interruptState.compare_exchange_weak(state, next)) {
            // Anything that arrived meanwhile ends the process now.
            if (next == kDying) DieOf(static_cast<int>(pending));
            return;
        }
    }
}

} // namespace tlc
