// Inputs that once made a reader fail badly (a crash, a hang, a runaway
// allocation, or a time limit missed) under the fuzzers in fuzz/. Each must
// now end in one of the system's messages, or, where it is a valid file,
// load.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/BitmapFile.h"
#include "image/IconFile.h"
#include "image/MetafileFile.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = TLC_FUZZ_REGRESSIONS;

std::vector<std::uint8_t> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Inputs kept because they were slow carry "timeout" in their name. Each must
// now decode well within this; it guards against the slowness coming back
// (ten times and more what the slowest takes today on a busy machine), it is
// not a measure of speed.
constexpr auto kSlowInputLimit = std::chrono::milliseconds(TLC_SLOW_INPUT_LIMIT_MS);

// Folder per reader; a file name starting "loads-" is a valid file that must
// load, any other must fail with the reader's message(s). Returns the number
// of inputs checked.
int CheckFolder(const std::string& reader, const std::vector<std::string>& messages,
                void (*decode)(const std::vector<std::uint8_t>&)) {
    int cases = 0;
    for (const auto& entry : fs::directory_iterator(kRegressions / reader)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++cases;
        const auto bytes = Bytes(entry.path());
        const auto start = std::chrono::steady_clock::now();
        if (name.rfind("loads-", 0) == 0) {
            EXPECT_NO_THROW(decode(bytes));
        } else {
            try {
                decode(bytes);
                ADD_FAILURE() << "loaded";
            } catch (const Exception& e) {
                EXPECT_NE(std::find(messages.begin(), messages.end(), e.Message()), messages.end())
                    << e.what();
            }
        }
        const auto took = std::chrono::steady_clock::now() - start;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
        ::testing::Test::RecordProperty(name, static_cast<int>(ms));
        if (name.find("timeout") != std::string::npos) {
            EXPECT_LT(took, kSlowInputLimit) << ms << " ms";
        }
    }
    ::testing::Test::RecordProperty("cases", cases);
    return cases;
}

// The folders the readers' inputs are kept in; one that is not here would
// never be checked.
const char* const kReaderFolders[] = {"bitmap", "icon", "metafile"};

TEST(FuzzRegression, EveryFolderBelongsToAReaderAndHoldsInputs) {
    ASSERT_TRUE(fs::is_directory(kRegressions)) << kRegressions;
    int folders = 0;
    for (const auto& entry : fs::directory_iterator(kRegressions)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(entry.is_directory()) << name;
        EXPECT_NE(std::find_if(std::begin(kReaderFolders), std::end(kReaderFolders),
                               [&](const char* f) { return name == f; }),
                  std::end(kReaderFolders))
            << name << " is no reader's folder";
        EXPECT_FALSE(fs::is_empty(entry.path())) << name;
        ++folders;
    }
    EXPECT_GE(folders, 1);
}

TEST(FuzzRegression, Bitmaps) {
    // Bitmap inputs have been kept: their folder must be there.
    ASSERT_TRUE(fs::is_directory(kRegressions / "bitmap")) << kRegressions / "bitmap";
    EXPECT_GT(CheckFolder("bitmap",
                          {"Stream read error", "Bitmap image is not valid", "Out of system resources"},
                          [](const std::vector<std::uint8_t>& b) { DecodeBitmapFile(b); }),
              0);
}

TEST(FuzzRegression, Icons) {
    if (!fs::is_directory(kRegressions / "icon")) GTEST_SKIP() << "no icon inputs kept yet";
    CheckFolder("icon", {"Stream read error", "Icon image is not valid"},
                [](const std::vector<std::uint8_t>& b) { DecodeIconFile(b); });
}

TEST(FuzzRegression, Metafiles) {
    if (!fs::is_directory(kRegressions / "metafile")) GTEST_SKIP() << "no metafile inputs kept yet";
    CheckFolder("metafile", {"Stream read error", "Metafile is not valid"},
                [](const std::vector<std::uint8_t>& b) { DecodeMetafileFile(b); });
}

} // namespace
} // namespace tlc
