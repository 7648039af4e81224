// The public sample pictures of ../shared/testdata: each loads, or fails with
// one of the system's messages, as manifest.tsv leads us to expect; bitmaps
// with a NAME.ppm beside them match it pixel for pixel.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "image/Bitmap.h"
#include "image/Picture.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

fs::path TestdataRoot() {
    for (const char* name : {"TLC_TESTDATA", "TLC_TESTDATA_DEFAULT"}) {
        const char* value = std::getenv(name);
        if (value && *value && fs::is_regular_file(fs::path(value) / "manifest.tsv")) return value;
    }
    return {};
}

#define REQUIRE_TESTDATA(root)                                                                     \
    const fs::path root = TestdataRoot();                                                          \
    if (root.empty()) GTEST_SKIP() << "no test pictures (set TLC_TESTDATA to ../shared/testdata)"

struct Row {
    std::string path, kind, expected;
    int width = 0, height = 0;
};

std::vector<Row> Manifest(const fs::path& root) {
    std::ifstream in(root / "manifest.tsv");
    std::vector<Row> rows;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        Row r;
        std::string w, h;
        std::getline(fields, r.path, '\t');
        std::getline(fields, r.kind, '\t');
        std::getline(fields, r.expected, '\t');
        std::getline(fields, w, '\t');
        std::getline(fields, h, '\t');
        r.width = w.empty() ? 0 : std::stoi(w);
        r.height = h.empty() ? 0 : std::stoi(h);
        if (!r.path.empty()) rows.push_back(r);
    }
    return rows;
}

bool IsSystemMessage(const std::string& m) {
    return m == "Stream read error" || m == "Bitmap image is not valid" ||
           m == "Out of system resources" || m == "Icon image is not valid" ||
           m == "Metafile is not valid" || m.rfind("Unknown picture file extension (.", 0) == 0;
}

// A stand-in graphic that a failed load must leave in place.
std::unique_ptr<TGraphic> Sentinel() {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetImage(TBitmapImage::CreateBlank(3, 3));
    return bitmap;
}

enum class Outcome { Loaded, Failed };

// Loads one file through LoadFile and checks the outcome against the manifest.
Outcome CheckRow(const fs::path& root, const Row& row, TPicture& picture) {
    SCOPED_TRACE(row.path);
    picture.Install(Sentinel());
    const TGraphic* sentinel = picture.Graphic();
    try {
        picture.LoadFile((root / row.path).string());
    } catch (const Exception& e) {
        EXPECT_NE(row.expected, "loads") << e.what();
        EXPECT_TRUE(IsSystemMessage(e.Message())) << e.what();
        EXPECT_EQ(picture.Graphic(), sentinel) << "a failed load keeps the old picture";
        return Outcome::Failed;
    }
    EXPECT_NE(row.expected, "fails");
    EXPECT_NE(picture.Graphic(), sentinel);
    const std::int32_t w = picture.Width(), h = picture.Height();
    if (row.kind == "bmp") {
        EXPECT_EQ(picture.Graphic()->Kind(), GraphicKind::Bitmap);
        EXPECT_EQ(w, row.width);
        EXPECT_EQ(h, row.height);
    } else if (row.kind == "ico") {
        EXPECT_EQ(picture.Graphic()->Kind(), GraphicKind::Icon);
        EXPECT_GT(w, 0);
        EXPECT_GT(h, 0);
    } else {
        // The manifest's size is nominal at 96 pixels per inch.
        EXPECT_EQ(picture.Graphic()->Kind(), GraphicKind::Metafile);
        EXPECT_NEAR(w, row.width, 1);
        EXPECT_NEAR(h, row.height, 1);
    }
    return Outcome::Loaded;
}

void CheckKind(const std::string& kind, int minimumRows) {
    REQUIRE_TESTDATA(root);
    TPicture picture;
    int rows = 0, loaded = 0;
    for (const Row& row : Manifest(root)) {
        if (row.kind != kind && !(kind == "metafile" && (row.kind == "emf" || row.kind == "wmf")))
            continue;
        ++rows;
        if (CheckRow(root, row, picture) == Outcome::Loaded) ++loaded;
    }
    EXPECT_GE(rows, minimumRows);
    ::testing::Test::RecordProperty("loaded", loaded);
}

TEST(TestdataAcceptance, BitmapsLoadOrFailAsListed) {
    CheckKind("bmp", 140);
}
TEST(TestdataAcceptance, IconsLoadOrFailAsListed) {
    CheckKind("ico", 40);
}
TEST(TestdataAcceptance, MetafilesLoadOrFailAsListed) {
    CheckKind("metafile", 55);
}

TEST(TestdataAcceptance, EveryGoodBitmapLoadsAndBadOnesAreListed) {
    REQUIRE_TESTDATA(root);
    int good = 0;
    for (const auto& entry : fs::directory_iterator(root / "bmp" / "good")) {
        if (entry.path().extension() != ".bmp") continue;
        ++good;
        TPicture picture;
        EXPECT_NO_THROW(picture.LoadFile(entry.path().string())) << entry.path();
        EXPECT_GT(picture.Width(), 0) << entry.path();
    }
    EXPECT_EQ(good, 27);
    // Everything in bad/ and questionable/ is covered by the manifest rows.
    std::vector<std::string> listed;
    for (const Row& row : Manifest(root))
        listed.push_back(row.path);
    for (const char* folder : {"bad", "questionable"})
        for (const auto& entry : fs::directory_iterator(root / "bmp" / folder)) {
            if (entry.path().extension() != ".bmp") continue;
            const std::string rel = fs::relative(entry.path(), root).generic_string();
            EXPECT_NE(std::find(listed.begin(), listed.end(), rel), listed.end()) << rel;
        }
}

// Binary P6, maximum 255, RGB, top row first.
bool ReadPpm(const fs::path& path, int& width, int& height, std::vector<std::uint8_t>& rgb) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    if (magic != "P6" || maxValue != 255 || width <= 0 || height <= 0) return false;
    in.get();
    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<std::size_t>(in.gcount()) == rgb.size();
}

TEST(TestdataAcceptance, PixelsMatchTheReferences) {
    REQUIRE_TESTDATA(root);
    int compared = 0;
    for (const Row& row : Manifest(root)) {
        if (row.kind != "bmp") continue;
        fs::path ppm = root / row.path;
        ppm.replace_extension(".ppm");
        if (!fs::exists(ppm)) continue;
        SCOPED_TRACE(row.path);
        int w = 0, h = 0;
        std::vector<std::uint8_t> rgb;
        ASSERT_TRUE(ReadPpm(ppm, w, h, rgb));
        TPicture picture;
        ASSERT_NO_THROW(picture.LoadFile((root / row.path).string()));
        const auto& image = static_cast<const TBitmap*>(picture.Graphic())->Image();
        ASSERT_EQ(image.Width(), w);
        ASSERT_EQ(image.AbsHeight(), h);
        // A 16-bit file leaves the low bits of each widened channel open.
        std::uint32_t keep[3] = {0xFF, 0xFF, 0xFF};
        if (image.BitCount() == 16) {
            const std::uint32_t masks[3] = {image.Format().RedMask, image.Format().GreenMask,
                                            image.Format().BlueMask};
            for (int k = 0; k < 3; ++k) {
                const int bits = std::min(8, std::popcount(masks[k]));
                keep[k] = (0xFFu << (8 - bits)) & 0xFF;
            }
        }
        int mismatches = 0;
        for (int y = 0; y < h && mismatches < 5; ++y)
            for (int x = 0; x < w && mismatches < 5; ++x) {
                const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
                const TColor c = image.GetPixel(x, y);
                const TColor want = RGB(p[0], p[1], p[2]);
                const bool same =
                    (static_cast<std::uint32_t>(RedOf(c)) & keep[0]) == (p[0] & keep[0]) &&
                    (static_cast<std::uint32_t>(GreenOf(c)) & keep[1]) == (p[1] & keep[1]) &&
                    (static_cast<std::uint32_t>(BlueOf(c)) & keep[2]) == (p[2] & keep[2]);
                if (!same) {
                    ++mismatches;
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << c << " want "
                                  << want;
                }
            }
        ++compared;
    }
    EXPECT_GE(compared, 58);
}

} // namespace
} // namespace tlc
