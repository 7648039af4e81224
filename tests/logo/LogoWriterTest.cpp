#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "LogoTestSupport.h"
#include "TempDir.h"
#include "base/Exceptions.h"
#include "logo/LogoFile.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;
using test::Hex;
using test::InstallIcon;
using test::InstallRaster;
using test::ToHex;

const char* const kExampleModel3 =
    "18 00 1B 23 01 1D 2A 01 02 01 FF FF 40 01 20 01 10 01 08 01 04 01 02 01 01 01";

void InstallWorkedExample(TImage& target) {
    InstallRaster(target, 16, 8,
                  [](int x, int y) { return (y == 0 || x == y || x == 15) ? clBlack : clWhite; });
}

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// A fresh folder per test, removed afterwards.
class LogoWriter : public ::testing::Test {
protected:
    void SetUp() override {
        oldBytes_.assign(300, 0x5A); // longer than any logo written here
    }

    test::TempDir tmp_{"tlc-writer"};
    const fs::path dir_ = tmp_.Path();
    std::vector<std::uint8_t> oldBytes_;
};

TEST_F(LogoWriter, WritesExactBytesToANewFile) {
    TImage target;
    InstallWorkedExample(target);
    const fs::path file = dir_ / "logo.rsc";
    const LogoWriteResult result = WriteLogoFile(file.string(), 3, {16, 8}, target);
    EXPECT_TRUE(result.Written) << result.Message;
    EXPECT_TRUE(result.Message.empty());
    EXPECT_EQ(ToHex(ReadAll(file)), kExampleModel3);
    EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc"}));
    // A new file gets the ordinary permissions of a created file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(file).permissions()), 0666 & ~mask);
}

TEST_F(LogoWriter, OverwritingALongerFileLeavesOnlyTheNewBytes) {
    TImage target;
    InstallWorkedExample(target);
    const fs::path file = dir_ / "logo.rsc";
    WriteBytes(file, oldBytes_);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteLogoFile(file.string(), 3, {16, 8}, target));
    EXPECT_EQ(ToHex(ReadAll(file)), kExampleModel3);
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc"}));
}

TEST_F(LogoWriter, ByteOAStaysOneByte) {
    TImage target;
    InstallRaster(target, 8, 8,
                  [](int x, int y) { return x == 0 && (y == 4 || y == 6) ? clBlack : clWhite; });
    const fs::path file = dir_ / "logo.rsc";
    ASSERT_TRUE(WriteLogoFile(file.string(), 0, {8, 8}, target));
    EXPECT_EQ(ToHex(ReadAll(file)), "0F 00 1C 71 01 01 00 01 00 0A 00 00 00 00 00 00 00");
}

TEST_F(LogoWriter, SavesThroughASymbolicLink) {
    TImage target;
    InstallWorkedExample(target);
    const fs::path real = dir_ / "real.rsc";
    const fs::path link = dir_ / "logo.rsc";
    WriteBytes(real, oldBytes_);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteLogoFile(link.string(), 3, {16, 8}, target));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ToHex(ReadAll(real)), kExampleModel3);
}

// Paths that cannot be created: the message names the path exactly, no pixel
// is read (the target is an icon, which would raise at the first pixel), and
// the folder is left as it was.
TEST_F(LogoWriter, UncreatablePathsGiveTheMessageWithoutReadingPixels) {
    WriteBytes(dir_ / "plain.txt", oldBytes_);
    fs::create_directory(dir_ / "folder.rsc");
    const std::string paths[] = {
        (dir_ / "missing" / "logo.rsc").string(),   // folder does not exist
        (dir_ / "plain.txt" / "logo.rsc").string(), // "folder" is a file
        (dir_ / "folder.rsc").string(),             // a folder, not a file
        (dir_ / "missing" / "deeper" / "logo.rsc").string(),
        "",
    };
    const std::set<std::string> before = Listing(dir_);
    for (const std::string& path : paths) {
        TImage target;
        InstallIcon(target);
        const LogoWriteResult result = WriteLogoFile(path, 0, {8, 8}, target);
        EXPECT_FALSE(result.Written) << path;
        EXPECT_EQ(result.Message, "Unable to create the file " + path);
        EXPECT_EQ(Listing(dir_), before) << path;
    }
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    EXPECT_EQ(ReadAll(dir_ / "plain.txt"), oldBytes_);
    EXPECT_TRUE(fs::is_empty(dir_ / "folder.rsc"));
}

// Root writes to read-only files and folders; an immutable one refuses even
// root, where the file system supports the flag.
bool SetImmutable(const fs::path& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

// Makes `path` refuse writes: permission bits, else the immutable flag.
// False when neither holds for this process (the caller skips).
bool MakeReadOnly(const fs::path& path, fs::perms readOnly) {
    fs::permissions(path, readOnly);
    if (::access(path.c_str(), W_OK) != 0) return true;
    return SetImmutable(path, true);
}

TEST_F(LogoWriter, ReadOnlyFileStaysAsItWas) {
    const fs::path file = dir_ / "logo.rsc";
    WriteBytes(file, oldBytes_);
    const bool readOnly =
        MakeReadOnly(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    struct Restore {
        fs::path p;
        ~Restore() { SetImmutable(p, false); }
    } restore{file};
    if (!readOnly)
        GTEST_SKIP() << "no way to make a file read-only for this process; "
                        "the injected refusal below covers the logic";
    TImage target;
    InstallIcon(target);
    const LogoWriteResult result = WriteLogoFile(file.string(), 0, {8, 8}, target);
    EXPECT_FALSE(result.Written);
    EXPECT_EQ(result.Message, "Unable to create the file " + file.string());
    EXPECT_EQ(ReadAll(file), oldBytes_);
    EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc"}));
}

TEST_F(LogoWriter, ReadOnlyFolderCreatesNothing) {
    const bool readOnly = MakeReadOnly(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    struct Restore {
        fs::path p;
        ~Restore() { SetImmutable(p, false); }
    } restore{dir_};
    if (!readOnly) GTEST_SKIP() << "no way to make a folder read-only for this process";
    TImage target;
    InstallWorkedExample(target);
    const fs::path file = dir_ / "logo.rsc";
    const LogoWriteResult result = WriteLogoFile(file.string(), 3, {16, 8}, target);
    EXPECT_FALSE(result.Written);
    EXPECT_EQ(result.Message, "Unable to create the file " + file.string());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(LogoWriter, PixelErrorKeepsTheOldFile) {
    const fs::path file = dir_ / "logo.rsc";
    WriteBytes(file, oldBytes_);
    TImage target;
    InstallIcon(target);
    EXPECT_THROW(WriteLogoFile(file.string(), 1, {8, 8}, target), EInvalidOperation);
    EXPECT_EQ(ReadAll(file), oldBytes_);
    EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc"}));
}

// The system's own operations, with one step made to fail.
enum class Step { Probe, Create, Write, Sync, Close, Rename };

class FailingOps final : public LogoFileOps {
public:
    explicit FailingOps(Step failing) : failing_(failing) {}

    bool ProbeTarget(const std::string& path, bool& exists) override {
        if (failing_ == Step::Probe) { // as for a read-only or locked file
            exists = true;
            return false;
        }
        return LogoFileOps::ProbeTarget(path, exists);
    }
    int CreateNew(const std::string& path) override {
        if (failing_ == Step::Create) {
            errno = EACCES;
            return -1;
        }
        return LogoFileOps::CreateNew(path);
    }
    bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) override {
        if (failing_ == Step::Write) { // the disk fills up half way
            LogoFileOps::WriteAll(fd, data, size / 2);
            errno = ENOSPC;
            return false;
        }
        return LogoFileOps::WriteAll(fd, data, size);
    }
    bool Sync(int fd) override {
        if (failing_ == Step::Sync) return errno = EIO, false;
        return LogoFileOps::Sync(fd);
    }
    bool Close(int fd) override {
        const bool closed = LogoFileOps::Close(fd);
        if (failing_ == Step::Close) return errno = EIO, false;
        return closed;
    }
    bool Rename(const std::string& from, const std::string& to) override {
        if (failing_ == Step::Rename) return errno = EXDEV, false;
        return LogoFileOps::Rename(from, to);
    }

private:
    Step failing_;
};

TEST_F(LogoWriter, FailingStepReportsAndKeepsTheOldFile) {
    const fs::path file = dir_ / "logo.rsc";
    const fs::path fresh = dir_ / "fresh.rsc";
    for (Step step :
         {Step::Probe, Step::Create, Step::Write, Step::Sync, Step::Close, Step::Rename}) {
        const int s = static_cast<int>(step);
        WriteBytes(file, oldBytes_);
        // Before the temporary file exists no pixel may be read: an icon
        // target would raise at the first one.
        const bool beforePixels = step == Step::Probe || step == Step::Create;
        TImage target;
        if (beforePixels)
            InstallIcon(target);
        else
            InstallWorkedExample(target);
        FailingOps ops(step);
        const LogoWriteResult over = WriteLogoFile(file.string(), 3, {16, 8}, target, ops);
        EXPECT_FALSE(over.Written) << "step " << s;
        EXPECT_EQ(over.Message, "Unable to create the file " + file.string()) << s;
        EXPECT_EQ(ReadAll(file), oldBytes_) << "step " << s;

        const LogoWriteResult created = WriteLogoFile(fresh.string(), 3, {16, 8}, target, ops);
        EXPECT_FALSE(created.Written) << "step " << s;
        EXPECT_EQ(created.Message, "Unable to create the file " + fresh.string()) << s;
        EXPECT_EQ(Listing(dir_), (std::set<std::string>{"logo.rsc"})) << "step " << s;
    }
}

} // namespace
} // namespace tlc
