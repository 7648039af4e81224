// Inputs that once made a reader fail badly (a crash, a hang, a runaway
// allocation, or a time limit missed) under the fuzzers in fuzz/. Each must
// now end in one of the system's messages, or, where it is a valid file,
// load.
#include <gtest/gtest.h>

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

// Folder per reader; a file name starting "loads-" is a valid file that must
// load, any other must fail with the reader's message(s).
void CheckFolder(const std::string& reader, const std::vector<std::string>& messages,
                 void (*decode)(const std::vector<std::uint8_t>&)) {
    int cases = 0;
    if (!fs::is_directory(kRegressions / reader)) return; // nothing found for this reader yet
    for (const auto& entry : fs::directory_iterator(kRegressions / reader)) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        ++cases;
        const auto bytes = Bytes(entry.path());
        if (name.rfind("loads-", 0) == 0) {
            EXPECT_NO_THROW(decode(bytes));
            continue;
        }
        try {
            decode(bytes);
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_NE(std::find(messages.begin(), messages.end(), e.Message()), messages.end())
                << e.what();
        }
    }
    ::testing::Test::RecordProperty("cases", cases);
}

TEST(FuzzRegression, Bitmaps) {
    CheckFolder("bitmap",
                {"Stream read error", "Bitmap image is not valid", "Out of system resources"},
                [](const std::vector<std::uint8_t>& b) { DecodeBitmapFile(b); });
}

TEST(FuzzRegression, Icons) {
    CheckFolder("icon", {"Stream read error", "Icon image is not valid"},
                [](const std::vector<std::uint8_t>& b) { DecodeIconFile(b); });
}

TEST(FuzzRegression, Metafiles) {
    CheckFolder("metafile", {"Stream read error", "Metafile is not valid"},
                [](const std::vector<std::uint8_t>& b) { DecodeMetafileFile(b); });
}

} // namespace
} // namespace tlc
