// The whole road from a picture to the logo file, for every picture of the
// fixed table x the four printers x two uneven threshold sets, checked
// against files worked out on their own by tests/logo/expected_logos.py.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ExpectedLogos.h"
#include "LogoTestSupport.h"
#include "Sha256.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/PrinterModels.h"

namespace tlc {
namespace {

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(test::Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(test::Sha256Hex({'a', 'b', 'c'}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(test::Sha256Hex(reinterpret_cast<const std::uint8_t*>(twoBlocks.data()), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

class ExpectedLogoTest : public ::testing::TestWithParam<test::ExpectedPicture> {};

TEST_P(ExpectedLogoTest, ConvertedAndEncodedForEachPrinterAndThresholds) {
    const test::ExpectedPicture& picture = GetParam();
    const TPrinterModels models = BuildPrinterModels();
    TImage source;
    test::InstallRaster(
        source, picture.Width, picture.Height,
        [](int x, int y) {
            const std::uint32_t rgb = test::ExpectedPictureRgb(x, y);
            return RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF);
        },
        24);
    int checked = 0;
    for (const test::ExpectedLogo& e : test::kExpectedLogos) {
        if (std::strcmp(e.Picture, picture.Name) != 0) continue;
        SCOPED_TRACE(::testing::Message() << "printer " << e.Printer << ", thresholds "
                                          << e.ThresholdSet);
        const test::ExpectedThresholds& t = test::kExpectedThresholdSets[e.ThresholdSet];
        TImage target;
        LogoGeometry geometry;
        ConvertImage(source, target, {t.Red, t.Green, t.Blue}, LimitsOf(models, e.Printer), geometry);
        EXPECT_EQ(geometry, (LogoGeometry{e.Width, e.Height}));
        const std::vector<std::uint8_t> file = EncodeLogo(e.Printer, geometry, target);
        EXPECT_EQ(file.size(), e.Size);
        if (*e.Hex) {
            EXPECT_EQ(test::ToHex(file), e.Hex);
        }
        EXPECT_EQ(test::Sha256Hex(file), e.Sha256);
        ++checked;
    }
    EXPECT_EQ(checked, 8); // four printers x two threshold sets
}

INSTANTIATE_TEST_SUITE_P(Table, ExpectedLogoTest, ::testing::ValuesIn(test::kExpectedPictures),
                         [](const ::testing::TestParamInfo<test::ExpectedPicture>& info) {
                             return std::string(info.param.Name);
                         });

} // namespace
} // namespace tlc
