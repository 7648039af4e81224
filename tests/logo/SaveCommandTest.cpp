#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "FileHelpers.h"
#include "LogoTestSupport.h"
#include "TempDir.h"
#include "logo/LogoFile.h"
#include "logo/SaveCommand.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

TEST(SaveInitialDir, FolderOfTheLastPicture) {
    struct Case {
        const char* fileName;
        const char* folder;
    };
    const Case cases[] = {
        {"", ""},
        {"logo.bmp", ""},
        {"D:\\Logos\\shop.bmp", "D:\\Logos"},
        {"D:\\shop.bmp", "D:\\"},
        {"D:/shop.bmp", "D:/"},
        {"D:shop.bmp", "D:"},
        {"D:\\Logos\\2024\\shop.bmp", "D:\\Logos\\2024"},
        {"D:\\Logos/mixed\\shop.bmp", "D:\\Logos/mixed"},
        {"D:\\Logos\\", "D:\\Logos"},
        {"/home/shop/pictures/logo.bmp", "/home/shop/pictures"},
        {"pictures/logo.bmp", "pictures"},
        {"/logo.bmp", "/"},
        {"\\logo.bmp", "\\"},
        {"\\\\server\\share\\logo.bmp", "\\\\server\\share"},
        {"1:\\logo.bmp", "1:"}, // not a drive letter: only a folder "1:"
        {"a:b/c.bmp", "a:b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SaveInitialDir(c.fileName), c.folder) << c.fileName;
}

class SaveCommand : public ::testing::Test {
protected:
    void SetUp() override {
        test::InstallRaster(target_, 8, 8, [](int x, int) { return x == 0 ? clBlack : clWhite; });
    }

    test::TempDir tmp_{"tlc-save"};
    const fs::path dir_ = tmp_.Path();
    TImage target_;
};

TEST_F(SaveCommand, InvalidPrinterIndexDoesNothingAtAll) {
    for (int index : {-1, 4, 5, -2147483647 - 1, 2147483647}) {
        EXPECT_FALSE(CanSaveLogo(index));
        int dialogs = 0;
        const auto result = RunSaveCommand(
            index, "D:\\a.bmp",
            [&](const std::string&) -> std::optional<std::string> {
                ++dialogs;
                return (dir_ / "logo.rsc").string();
            },
            {8, 8}, target_);
        EXPECT_FALSE(result.has_value()) << index;
        EXPECT_EQ(dialogs, 0) << index;
    }
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(SaveCommand, CancelledDialogWritesNothing) {
    const auto result = RunSaveCommand(
        0, "", [](const std::string&) { return std::nullopt; }, {8, 8}, target_);
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(SaveCommand, OffersThePictureFolderThenWrites) {
    for (int index = 0; index < 4; ++index) {
        EXPECT_TRUE(CanSaveLogo(index));
        const std::string picture = (dir_ / "shop.bmp").string();
        std::string offered;
        const auto result = RunSaveCommand(
            index, picture,
            [&](const std::string& initialDir) -> std::optional<std::string> {
                offered = initialDir;
                return (dir_ / "logo.rsc").string();
            },
            {8, 8}, target_);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->Written) << result->Message;
        EXPECT_EQ(offered, dir_.string());
        EXPECT_EQ(fs::file_size(dir_ / "logo.rsc"), 2 + LogoHeaderLength(index) + 8);
    }
}

TEST_F(SaveCommand, UncreatableFileComesBackAsMessage) {
    const std::string path = (dir_ / "none" / "logo.rsc").string();
    const auto result = RunSaveCommand(
        1, "", [&](const std::string&) { return std::optional(path); }, {8, 8}, target_);
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(result->Written);
    EXPECT_EQ(result->Message, "Unable to create the file " + path);
}

// The loaded picture is not saved over, whichever name leads to it; another
// file is saved as ever.
TEST_F(SaveCommand, LoadedPictureIsNotOverwritten) {
    const fs::path picture = dir_ / "shop.bmp";
    test::WriteBytes(picture, {'B', 'M', 1, 2, 3});
    std::error_code noLinks;
    fs::create_hard_link(picture, dir_ / "twin.bmp", noLinks);
    std::error_code noSymlinks; // Wine has none
    fs::create_symlink(picture, dir_ / "link.bmp", noSymlinks);
    struct Case {
        const char* name;
        bool refused;
    };
    for (const Case c : {Case{"shop.bmp", true}, Case{"twin.bmp", !noLinks}, Case{"link.bmp", !noSymlinks},
                         Case{"logo.rsc", false}}) {
        const std::string path = (dir_ / c.name).string();
        const auto result = RunSaveCommand(
            0, picture.string(), [&](const std::string&) { return std::optional(path); }, {8, 8}, target_,
            picture.string());
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->Written, !c.refused) << c.name;
        if (c.refused) {
            EXPECT_EQ(result->Message, SameFileMessage(path, picture.string()));
        }
        EXPECT_EQ(test::ReadBytes(picture), (std::vector<std::uint8_t>{'B', 'M', 1, 2, 3})) << c.name;
    }
}

} // namespace
} // namespace tlc
