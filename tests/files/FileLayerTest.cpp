// The careful writer over the platform's own file steps, from the same source
// on Linux and on Windows (under Wine in the cross-build).
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"
#include "base/Paths.h"
#include "image/FileBytes.h"
#include "files/FileWriter.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd', '\n', 0, 0x1A, '\r'};
const std::vector<std::uint8_t> kNew = {'n', 'e', 'w', '\r', '\n', 0, 0xFF, 0x0A, 0x1A};

std::vector<std::uint8_t> Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

std::set<fs::path> Listing(const fs::path& dir) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

// One step of the save fails, as on a full disk or a foreign file system.
class FailingOps : public FileOps {
public:
    enum Step { kWrite, kSync, kRename };
    explicit FailingOps(Step step) : step_(step) {}
    bool WriteAll(FileHandle f, const std::uint8_t* d, std::size_t n) override {
        return step_ == kWrite ? (errno = ENOSPC, false) : FileOps::WriteAll(f, d, n);
    }
    bool Sync(FileHandle f) override { return step_ == kSync ? (errno = EIO, false) : FileOps::Sync(f); }
    bool Rename(const std::string& from, const std::string& to) override {
        return step_ == kRename ? (errno = EIO, false) : FileOps::Rename(from, to);
    }

private:
    Step step_;
};

class FileLayer : public ::testing::Test {
protected:
    void TearDown() override {
        // Windows removes no read-only file.
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, ec);
    }
    test::TempDir temp_{"tlc-filelayer"};
    const fs::path dir_ = temp_.Path();
};

TEST_F(FileLayer, ReplacesAnExistingFileWholeAndLeavesNothingBeside) {
    const fs::path target = dir_ / "logo.rsc";
    Write(target, kOld);
    const FileWriteResult result = WriteFileCarefully(Utf8FromPath(target), kNew);
    EXPECT_TRUE(result.Written) << result.Message;
    EXPECT_EQ(Read(target), kNew);
    EXPECT_EQ(Listing(dir_), std::set<fs::path>{"logo.rsc"});
}

TEST_F(FileLayer, EveryFailedStepKeepsTheOldFileAndRemovesTheTemporaryOne) {
    for (const FailingOps::Step step : {FailingOps::kWrite, FailingOps::kSync, FailingOps::kRename}) {
        SCOPED_TRACE(step);
        const fs::path target = dir_ / "logo.rsc";
        Write(target, kOld);
        FailingOps ops(step);
        const std::string path = Utf8FromPath(target);
        const FileWriteResult result = WriteFileCarefully(path, kNew, ops);
        EXPECT_FALSE(result.Written);
        EXPECT_EQ(result.Message, "Unable to create the file " + path);
        EXPECT_EQ(Read(target), kOld);
        EXPECT_EQ(Listing(dir_), std::set<fs::path>{"logo.rsc"});
    }
}

TEST_F(FileLayer, NamesBeyondAsciiAreWrittenAndReadBack) {
    // Latin-1, Greek, CJK and a character outside the 16-bit plane.
    const std::string name = "logo-\xC3\xBF-\xCE\xB5-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x96\xA8.rsc";
    const std::string folder = Utf8FromPath(dir_) + "/caf\xC3\xA9";
    ASSERT_TRUE(fs::create_directory(PathFromUtf8(folder)));
    const std::string path = folder + "/" + name;
    for (const auto& bytes : {kOld, kNew}) { // a new file, then a replaced one
        const FileWriteResult result = WriteFileCarefully(path, bytes);
        EXPECT_TRUE(result.Written) << result.Message;
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
    EXPECT_EQ(Listing(PathFromUtf8(folder)), std::set<fs::path>{PathFromUtf8(name)});
}

TEST_F(FileLayer, ReadOnlyTargetIsRefusedAndStaysAsItWas) {
    const fs::path target = dir_ / "logo.rsc";
    Write(target, kOld);
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (std::ofstream(target, std::ios::app)) GTEST_SKIP() << "this user writes read-only files (root)";
    const std::string path = Utf8FromPath(target);
    const FileWriteResult result = WriteFileCarefully(path, kNew);
    EXPECT_FALSE(result.Written);
    EXPECT_EQ(result.Message, "Unable to create the file " + path);
    EXPECT_EQ(Read(target), kOld);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Listing(dir_), std::set<fs::path>{"logo.rsc"});
}

} // namespace
} // namespace tlc
