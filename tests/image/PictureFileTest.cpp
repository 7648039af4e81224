#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "CountingView.h"
#include "TempDir.h"
#include "base/Exceptions.h"
#include "image/FileBytes.h"
#include "image/FileFormats.h"
#include "image/Icon.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "image/PictureFile.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The formats list.

// The four of the original program in its order, then SVG.
TEST(FileFormats, EntriesInRegistrationOrder) {
    const auto& entries = TFileFormatsList::Instance().Entries();
    ASSERT_EQ(entries.size(), 5u);
    // SVG first, so that the dialogs, which walk the list from its end,
    // offer it after the four.
    const char* ext[] = {"svg", "wmf", "emf", "ico", "bmp"};
    const char* desc[] = {"Scalable Vector Graphics", "Metafiles", "Enhanced Metafiles", "Icons", "Bitmaps"};
    const GraphicKind kind[] = {GraphicKind::Metafile, GraphicKind::Metafile, GraphicKind::Metafile,
                                GraphicKind::Icon, GraphicKind::Bitmap};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(entries[i].Extension, ext[i]);
        EXPECT_EQ(entries[i].Description, desc[i]);
        EXPECT_EQ(entries[i].Kind, kind[i]);
    }
}

TEST(FileFormats, FindByExtensionIgnoresLetterCase) {
    struct Row {
        const char* extension;
        std::optional<GraphicKind> kind;
    };
    for (const Row& r :
         {Row{"bmp", GraphicKind::Bitmap}, Row{"BMP", GraphicKind::Bitmap},
          Row{"Bmp", GraphicKind::Bitmap}, Row{"ico", GraphicKind::Icon},
          Row{"ICO", GraphicKind::Icon}, Row{"wmf", GraphicKind::Metafile},
          Row{"EMF", GraphicKind::Metafile}, Row{"Svg", GraphicKind::Metafile}, Row{"", std::nullopt}, Row{"jpg", std::nullopt},
          Row{"cur", std::nullopt}, Row{".bmp", std::nullopt}, Row{"bmp ", std::nullopt},
          Row{"bm", std::nullopt}})
        EXPECT_EQ(TFileFormatsList::Instance().FindByExtension(r.extension), r.kind) << r.extension;
}

TEST(FileFormats, FilterTexts) {
    const auto& list = TFileFormatsList::Instance();
    const FileFilter all = list.BuildFilter(GraphicClass::Graphic);
    EXPECT_EQ(all.Filter,
              "All (*.bmp;*.ico;*.emf;*.wmf;*.svg)|*.bmp;*.ico;*.emf;*.wmf;*.svg|Bitmaps (*.bmp)|*.bmp|"
              "Icons (*.ico)|*.ico|Enhanced Metafiles (*.emf)|*.emf|Metafiles (*.wmf)|*.wmf|Scalable "
              "Vector Graphics (*.svg)|*.svg");
    EXPECT_EQ(all.Masks, "*.bmp;*.ico;*.emf;*.wmf;*.svg");

    const FileFilter bitmaps = list.BuildFilter(GraphicClass::Bitmap);
    EXPECT_EQ(bitmaps.Filter, "Bitmaps (*.bmp)|*.bmp");
    EXPECT_EQ(bitmaps.Masks, "*.bmp");
    EXPECT_EQ(list.BuildFilter(GraphicKind::Bitmap).Filter, bitmaps.Filter);

    const FileFilter metafiles = list.BuildFilter(GraphicKind::Metafile);
    EXPECT_EQ(
        metafiles.Filter,
        "All (*.emf;*.wmf;*.svg)|*.emf;*.wmf;*.svg|Enhanced Metafiles (*.emf)|*.emf|Metafiles "
        "(*.wmf)|*.wmf|Scalable Vector Graphics (*.svg)|*.svg");
    EXPECT_EQ(list.BuildFilter(GraphicClass::Icon).Filter, "Icons (*.ico)|*.ico");
}

TEST(FileFormats, ExtensionOfAFileName) {
    struct Row {
        const char* name;
        const char* extension;
    };
    for (const Row& r : {Row{"logo.BMP", "BMP"}, Row{"logo.bmp", "bmp"}, Row{"a.b.ico", "ico"},
                         Row{"C:\\pictures.old\\logo", ""}, Row{"/home/shop/pictures.old/logo", ""},
                         Row{"logo.", ""}, Row{"logo", ""}, Row{"C:logo", ""}, Row{"x.y:z", ""},
                         Row{".bmp", "bmp"}, Row{"", ""}})
        EXPECT_EQ(PictureFileExtension(r.name), r.extension) << r.name;
}

// ---------------------------------------------------------------------------
// LoadFile through an image control, as the main window uses it.

class LoadFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_.SetAutoSize(true);
    }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static std::vector<std::uint8_t> Bitmap(std::int32_t w, std::int32_t h) {
        test::BitmapLayout s;
        s.Width = w;
        s.Height = h;
        s.Pixels =
            test::PackRows(w, h, 24, false, [](int x, int y) { return std::uint32_t(x + y); });
        return test::WriteBitmap(s);
    }

    // Loads `path` expecting `E` with `message`; the picture must not change.
    template <class E> void ExpectRefused(const std::string& path, const std::string& message) {
        const TGraphic* before = image_.Picture().Graphic();
        const int invalidations = view_.invalidations;
        try {
            image_.Picture().LoadFile(path);
            FAIL() << path << " loaded";
        } catch (const E& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_EQ(image_.Picture().Graphic(), before) << "the old graphic stays";
        EXPECT_EQ(view_.invalidations, invalidations) << "nobody hears of a failed load";
    }

    test::TempDir tmp_{"tlc-load"};
    const fs::path dir_ = tmp_.Path();
    TImage image_;
    test::CountingView view_{image_};
};

TEST_F(LoadFileTest, UpperCaseExtensionLoadsAsABitmapAndNotifiesOnce) {
    const std::string path = Write("logo.BMP", Bitmap(7, 3));
    image_.Picture().LoadFile(path);
    ASSERT_NE(image_.Picture().Graphic(), nullptr);
    EXPECT_EQ(image_.Picture().Graphic()->Kind(), GraphicKind::Bitmap);
    EXPECT_EQ(image_.Picture().Width(), 7);
    EXPECT_EQ(image_.Picture().Height(), 3);
    EXPECT_EQ(view_.invalidations, 1);
    EXPECT_EQ(image_.Width(), 7) << "the control sized itself to the picture";
    EXPECT_EQ(image_.EnsureCanvas().ReadPixel(2, 1), RGB(0, 0, 3)) << "blue is x + y";
}

TEST_F(LoadFileTest, EmptyBmpFileLoadsAsAnEmptyBitmap) {
    image_.Picture().LoadFile(Write("empty.bmp", {}));
    ASSERT_NE(image_.Picture().Graphic(), nullptr);
    EXPECT_EQ(image_.Picture().Graphic()->Kind(), GraphicKind::Bitmap);
    EXPECT_EQ(image_.Picture().Width(), 0);
    EXPECT_EQ(image_.Picture().Height(), 0);
}

TEST_F(LoadFileTest, UnknownExtensionsNameTheExtensionAsWritten) {
    image_.Picture().LoadFile(Write("first.bmp", Bitmap(5, 5)));
    ExpectRefused<EInvalidGraphic>("C:\\pictures.old\\logo", "Unknown picture file extension (.)");
    ExpectRefused<EInvalidGraphic>((dir_ / "logo.").string(), "Unknown picture file extension (.)");
    ExpectRefused<EInvalidGraphic>(Write("logo.jpg", Bitmap(2, 2)),
                                   "Unknown picture file extension (.jpg)");
    ExpectRefused<EInvalidGraphic>(Write("logo.JPeG", Bitmap(2, 2)),
                                   "Unknown picture file extension (.JPeG)");
    ExpectRefused<EInvalidGraphic>(Write("arrow.cur", {0, 0, 2, 0, 0, 0}),
                                   "Unknown picture file extension (.cur)");
}

TEST_F(LoadFileTest, FilesThatCannotBeOpened) {
    const std::string missing = (dir_ / "missing.bmp").string();
    ExpectRefused<EFOpenError>(missing, "Cannot open file " + missing);
    fs::create_directories(dir_ / "folder.bmp");
    ExpectRefused<EFOpenError>((dir_ / "folder.bmp").string(),
                               "Cannot open file " + (dir_ / "folder.bmp").string());
}

TEST_F(LoadFileTest, FileAboveTheSizeLimitIsRefusedBeforeReading) {
    const std::string path = Write("huge.bmp", Bitmap(2, 2));
    fs::resize_file(path, kMaxPictureFileBytes + 1); // sparse: nothing is written
    ExpectRefused<EOutOfResources>(path, "Out of system resources");
}

TEST_F(LoadFileTest, FailedLoadKeepsThePreviousPicture) {
    image_.Picture().LoadFile(Write("good.bmp", Bitmap(9, 4)));
    const TGraphic* good = image_.Picture().Graphic();
    std::vector<std::uint8_t> bad = Bitmap(3, 3);
    bad[0] = 'M';
    bad[1] = 'B';
    ExpectRefused<EInvalidGraphic>(Write("bad.bmp", bad), "Bitmap image is not valid");
    ExpectRefused<EReadError>(Write("short.bmp", std::vector<std::uint8_t>(10, 'B')),
                              "Stream read error");
    ExpectRefused<EReadError>(Write("short.ico", {0, 0, 1}), "Stream read error");
    ExpectRefused<EInvalidGraphic>(Write("cursor.ico", {0, 0, 2, 0, 1, 0}),
                                   "Icon image is not valid");
    ExpectRefused<EInvalidGraphic>(
        Write("plain.wmf", {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
        "Metafile is not valid");
    EXPECT_EQ(image_.Picture().Graphic(), good);
    EXPECT_EQ(image_.Picture().Width(), 9);
}

TEST_F(LoadFileTest, IconsAndMetafilesLoadButCannotBeConverted) {
    const std::vector<std::uint8_t> icon = {0, 0, 1, 0,  1, 0, 16, 24, 0, 0, 1,
                                            0, 8, 0, 40, 0, 0, 0,  22, 0, 0, 0};
    image_.Picture().LoadFile(Write("shop.ICO", icon));
    ASSERT_EQ(image_.Picture().Graphic()->Kind(), GraphicKind::Icon);
    EXPECT_EQ(image_.Picture().Width(), 16);
    EXPECT_EQ(image_.Picture().Height(), 24);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            image_.EnsureCanvas();
            FAIL() << "an icon gave a canvas";
        } catch (const EInvalidOperation& e) {
            EXPECT_STREQ(e.what(), "Can only modify an image if it contains a bitmap");
        }
    }
}

TEST_F(LoadFileTest, EnhancedMetafileNamedWmfLoadsAsEnhanced) {
    std::vector<std::uint8_t> emf;
    auto put = [&](std::uint32_t v) { test::PutLE32(emf, v); };
    put(1);
    put(88);
    for (int k = 0; k < 4; ++k)
        put(0);
    put(0), put(0), put(2540), put(1270); // frame: 25.4 mm x 12.7 mm
    put(0x464D4520);
    put(0x10000);
    put(88 + 20);
    while (emf.size() < 88)
        emf.push_back(0);
    put(14), put(20), put(0), put(0), put(0);
    image_.Picture().LoadFile(Write("drawing.wmf", emf));
    const auto* metafile = dynamic_cast<const TMetafile*>(image_.Picture().Graphic());
    ASSERT_NE(metafile, nullptr);
    EXPECT_TRUE(metafile->Image().Enhanced);
    EXPECT_EQ(image_.Picture().Width(), 96);
    EXPECT_EQ(image_.Picture().Height(), 48);
    EXPECT_THROW(image_.EnsureCanvas(), EInvalidOperation);
}

// Pictures without a name (standard input) are told apart by their first
// bytes; the metafile key is little-endian and an enhanced header needs its
// signature at offset 40.
TEST(SniffGraphicKind, KnowsEachReadersFirstBytes) {
    std::vector<std::uint8_t> emf(44, 0);
    emf[0] = 1;
    emf[40] = ' ', emf[41] = 'E', emf[42] = 'M', emf[43] = 'F';
    std::vector<std::uint8_t> emfCut(emf.begin(), emf.end() - 1);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::optional<GraphicKind> kind;
    };
    const Case cases[] = {
        {"bitmap", {'B', 'M', 0, 0}, GraphicKind::Bitmap},
        {"placeable", {0xD7, 0xCD, 0xC6, 0x9A, 0}, GraphicKind::Metafile},
        {"key reversed", {0x9A, 0xC6, 0xCD, 0xD7, 0}, std::nullopt},
        {"enhanced", emf, GraphicKind::Metafile},
        {"enhanced cut short", emfCut, std::nullopt},
        {"icon", {0, 0, 1, 0, 1, 0}, GraphicKind::Icon},
        {"cursor", {0, 0, 2, 0, 1, 0}, std::nullopt},
        {"png", {0x89, 'P', 'N', 'G'}, std::nullopt},
        {"empty", {}, std::nullopt},
        {"one byte", {'B'}, std::nullopt},
        {"svg", {'<', 's', 'v', 'g', '>'}, GraphicKind::Metafile},
        {"other markup", {'<', 'h', 't', 'm', 'l', '>'}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SniffGraphicKind(c.bytes), c.kind);
    }
}

} // namespace
} // namespace tlc
