// The careful writer among other processes and users on POSIX: saves of two
// processes at once, interrupts that reach any thread, temporary files left
// by killed saves, and the reasons a save fails.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FileHelpers.h"
#include "TempDir.h"
#include "files/FileWriter.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

// Read as a reader that keeps to the writers' lock does.
std::vector<std::uint8_t> ReadLocked(const fs::path& p) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::vector<std::uint8_t> bytes;
    if (::flock(fd, LOCK_SH) == 0) {
        std::uint8_t chunk[4096];
        for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    return bytes;
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Temporary files that get a name (as on a file system without unnamed ones).
class NamedTempOps final : public FileOps {
public:
    FileHandle CreateUnnamed(const std::string&) override { return errno = EOPNOTSUPP, kNoFile; }
};

class SaveSafety : public ::testing::Test {
protected:
    test::TempDir temp_{"tlc-savesafety"};
    const fs::path dir_ = temp_.Path();
};

// Two processes save one logo through its two hard links, so both rewrite it
// in place; each looks at it after every save as a locking reader would. A
// long and a short logo: mixed, the short one's cut would leave the long
// one's tail, or the long one's bytes would follow the short one's.
TEST_F(SaveSafety, TwoProcessesSavingOneHardLinkedLogoNeverMixIt) {
    const fs::path logo = dir_ / "logo.rsc", twin = dir_ / "twin.rsc";
    const std::vector<std::uint8_t> longBytes(3000, 0xA5), shortBytes(700, 0x3C);
    WriteBytes(logo, shortBytes);
    fs::create_hard_link(logo, twin);
    constexpr int kSaves = 200;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] == 0) {
            int mixed = 0, failed = 0;
            for (int i = 0; i < kSaves; ++i) {
                if (!WriteFileCarefully((c ? twin : logo).string(), c ? shortBytes : longBytes)) ++failed;
                const std::vector<std::uint8_t> now = ReadLocked(logo);
                if (now != longBytes && now != shortBytes) ++mixed;
            }
            _exit(std::min(mixed, 100) + (failed ? 101 : 0));
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "mixed logos seen (above 100: a save failed)";
    }
    const std::vector<std::uint8_t> last = ReadBytes(logo);
    EXPECT_TRUE(last == longBytes || last == shortBytes);
    EXPECT_EQ(ReadBytes(twin), last);
    EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc", "twin.rsc"}));
}

// Ctrl-C, hang-up and termination wait while a temporary file has a name,
// also when they reach a thread other than the saving one (a window's
// toolkit runs several that block nothing); then they end the process.
TEST_F(SaveSafety, InterruptsReachingAnyThreadLeaveNoTemporaryFile) {
    const fs::path logo = dir_ / "logo.rsc";
    const std::vector<std::uint8_t> a(20000, 0x11), b(9000, 0x22);
    WriteBytes(logo, a);
    std::mt19937 random(11);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        for (int round = 0; round < 8; ++round) {
            const pid_t child = ::fork();
            if (child == 0) {
                sigset_t none;
                sigemptyset(&none);
                ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
                std::thread idle([] {
                    for (;;) ::pause();
                });
                idle.detach();
                NamedTempOps ops;
                for (int i = 0;; ++i) WriteFileCarefully(logo.string(), i % 2 ? a : b, ops);
            }
            ::usleep(3000 + random() % 7000);
            ::kill(child, sig);
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig;
            const std::vector<std::uint8_t> now = ReadBytes(logo);
            EXPECT_TRUE(now == a || now == b) << "signal " << sig;
            EXPECT_EQ(Listing(dir_), std::set<std::string>{"logo.rsc"}) << "signal " << sig;
            for (const std::string& name : Listing(dir_))
                if (name != "logo.rsc") fs::remove(dir_ / name);
        }
    }
}

// What a save removes of what earlier ones left: only its own kind of name,
// regular files of this user, untouched for more than a day.
TEST_F(SaveSafety, LeftoverTemporaryFilesOlderThanADayAreRemovedAtTheNextSave) {
    enum Kind { File, Link, Folder, OtherUsersFile };
    struct Case {
        const char* name;
        Kind kind;
        int daysOld;
        bool removed;
    };
    const Case cases[] = {
        {".tlc-0123456789abcdef.tmp", File, 2, true},
        {".tlc-zzzzzzzzzzzzzzzz.tmp", File, 30, true},
        {".tlc-0123456789abcdeg.tmp", File, 0, false},   // an hour old: a save may still be at it
        {".tlc-0123456789ABCDEF.tmp", File, 2, false},   // not a name of ours
        {".tlc-0123456789abcde.tmp", File, 2, false},    // one letter short
        {"tlc-0123456789abcdef.tmp", File, 2, false},
        {".tlc-0123456789abcdef.tmp.bak", File, 2, false},
        {".tlc-aaaaaaaaaaaaaaaa.tmp", Link, 2, false},
        {".tlc-bbbbbbbbbbbbbbbb.tmp", Folder, 2, false},
        {".tlc-cccccccccccccccc.tmp", OtherUsersFile, 2, false},
    };
    const bool root = ::geteuid() == 0;
    std::set<std::string> expected = {"logo.rsc"};
    for (const Case& c : cases) {
        const fs::path p = dir_ / c.name;
        if (c.kind == OtherUsersFile && !root) continue; // needs root to make
        if (c.kind == Link)
            fs::create_symlink(dir_ / "logo.rsc", p);
        else if (c.kind == Folder)
            fs::create_directory(p);
        else
            WriteBytes(p, {1, 2, 3});
        if (c.kind == OtherUsersFile) {
            ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
        }
        const std::time_t when = std::time(nullptr) - (c.daysOld ? c.daysOld * 86400 : 3600);
        const timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << c.name;
        if (!c.removed) expected.insert(c.name);
    }
    const FileWriteResult result = WriteFileCarefully((dir_ / "logo.rsc").string(), {7, 8, 9});
    ASSERT_TRUE(result.Written) << result.Message;
    EXPECT_EQ(Listing(dir_), expected);
}

// The cause follows the message where the system gives one.
TEST_F(SaveSafety, FailedSavesNameTheirCause) {
    class FullDiskOps final : public FileOps {
    public:
        bool WriteAll(FileHandle, const std::uint8_t*, std::size_t) override { return errno = ENOSPC, false; }
    };
    fs::create_directory(dir_ / "folder");
    WriteBytes(dir_ / "readonly.rsc", {1});
    fs::permissions(dir_ / "readonly.rsc", fs::perms::owner_read);
    const bool root = ::access((dir_ / "readonly.rsc").c_str(), W_OK) == 0;
    struct Case {
        fs::path path;
        const char* cause;
        bool fullDisk = false;
    };
    std::vector<Case> cases = {
        {dir_ / "missing" / "logo.rsc", "No such file or directory"},
        {dir_ / "folder", "Is a directory"},
        {"/dev/null", "not a regular file"},
        {dir_ / "logo.rsc", "No space left on device", true},
    };
    if (!root) cases.push_back({dir_ / "readonly.rsc", "Permission denied"});
    for (const Case& c : cases) {
        FullDiskOps full;
        const FileWriteResult result =
            c.fullDisk ? WriteFileCarefully(c.path.string(), {1, 2}, full) : WriteFileCarefully(c.path.string(), {1, 2});
        EXPECT_FALSE(result.Written) << c.path;
        EXPECT_EQ(result.Message, "Unable to create the file " + c.path.string());
        EXPECT_EQ(result.Cause, c.cause) << c.path;
        EXPECT_EQ(UnableToCreateMessage(c.path.string(), result.Cause),
                  "Unable to create the file " + c.path.string() + ": " + c.cause);
    }
    fs::permissions(dir_ / "readonly.rsc", fs::perms::owner_all);
}

} // namespace
} // namespace tlc
