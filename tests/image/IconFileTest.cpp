#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "base/Exceptions.h"
#include "image/IconFile.h"

namespace tlc {
namespace {

struct Entry {
    std::uint8_t width, height, colours;
    std::uint16_t bitCount;
};

std::vector<std::uint8_t> IconFile(std::uint16_t type, const std::vector<Entry>& entries,
                                   std::size_t declared = ~std::size_t{0}) {
    std::vector<std::uint8_t> out;
    test::PutLE16(out, 0);
    test::PutLE16(out, type);
    test::PutLE16(
        out, static_cast<std::uint32_t>(declared == ~std::size_t{0} ? entries.size() : declared));
    for (const Entry& e : entries) {
        out.push_back(e.width);
        out.push_back(e.height);
        out.push_back(e.colours);
        out.push_back(0);
        test::PutLE16(out, 1);
        test::PutLE16(out, e.bitCount);
        test::PutLE32(out, 40);
        test::PutLE32(out, 0); // offset: not looked at when loading
    }
    return out;
}

TEST(IconFile, ShorterThanItsHeaderIsAReadError) {
    for (std::size_t n = 1; n < 6; ++n) {
        const std::vector<std::uint8_t> bytes(n, 0);
        try {
            DecodeIconFile(bytes);
            FAIL() << n << " bytes loaded";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
    }
}

TEST(IconFile, CursorsAndOtherTypesAreRefused) {
    for (std::uint16_t type : {2, 3, 0x4646}) {
        try {
            DecodeIconFile(IconFile(type, {{32, 32, 0, 32}}));
            FAIL() << "type " << type << " loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Icon image is not valid");
        }
    }
}

struct ChoiceCase {
    std::string name;
    std::uint16_t type;
    std::vector<Entry> entries;
    std::size_t declared;
    int chosen;
    std::int32_t width, height;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class IconChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(IconChoiceTest, SizeIsThatOfTheImageShown) {
    const ChoiceCase& c = GetParam();
    const auto bytes = IconFile(c.type, c.entries, c.declared);
    EXPECT_EQ(ChooseIconImage(bytes), c.chosen);
    const auto image = DecodeIconFile(bytes);
    EXPECT_EQ(image->Width, c.width);
    EXPECT_EQ(image->Height, c.height);
    EXPECT_EQ(image->Bytes, bytes) << "the bytes are kept as they are";
}

constexpr std::size_t kAsWritten = ~std::size_t{0};

INSTANTIATE_TEST_SUITE_P(
    Choice, IconChoiceTest,
    ::testing::Values(
        ChoiceCase{"single_16", 1, {{16, 16, 0, 8}}, kAsWritten, 0, 16, 16},
        ChoiceCase{"nearest_to_32_wins",
                   1,
                   {{16, 16, 0, 8}, {48, 48, 0, 8}, {32, 32, 0, 8}},
                   kAsWritten,
                   2,
                   32,
                   32},
        ChoiceCase{"tie_goes_to_deeper_colour",
                   1,
                   {{32, 32, 16, 4}, {32, 32, 0, 32}, {32, 32, 0, 8}},
                   kAsWritten,
                   1,
                   32,
                   32},
        ChoiceCase{"tie_same_depth_first_wins",
                   1,
                   {{48, 48, 0, 8}, {48, 48, 0, 8}},
                   kAsWritten,
                   0,
                   48,
                   48},
        ChoiceCase{"depth_the_display_cannot_show_skipped",
                   1,
                   {{32, 32, 0, 12336}, {16, 16, 0, 4}},
                   kAsWritten,
                   1,
                   16,
                   16},
        ChoiceCase{"no_showable_image_gives_standard_size",
                   1,
                   {{60, 255, 0, 156}},
                   kAsWritten,
                   -1,
                   32,
                   32},
        ChoiceCase{"zero_byte_means_256_and_shows_at_standard_size",
                   1,
                   {{0, 0, 0, 24}},
                   kAsWritten,
                   0,
                   32,
                   32},
        ChoiceCase{"zero_width_byte_alone", 1, {{0, 16, 0, 8}}, kAsWritten, 0, 32, 32},
        ChoiceCase{"nonsquare_entry", 1, {{16, 32, 0, 8}}, kAsWritten, 0, 16, 32},
        ChoiceCase{"depth_from_colour_count", 1, {{32, 32, 16, 0}}, kAsWritten, 0, 32, 32},
        ChoiceCase{"type_0_is_the_standard_icon", 0, {{16, 16, 0, 8}}, kAsWritten, -1, 32, 32},
        ChoiceCase{"directory_missing", 1, {}, 4, -1, 32, 32},
        ChoiceCase{"directory_shorter_than_count", 1, {{16, 16, 0, 8}}, 500, 0, 16, 16},
        ChoiceCase{"no_images", 1, {}, kAsWritten, -1, 32, 32}),
    [](const auto& info) { return info.param.name; });

TEST(IconFile, EntryCutShortIsNotLookedAt) {
    auto bytes = IconFile(1, {{16, 16, 0, 8}, {32, 32, 0, 8}});
    bytes.resize(bytes.size() - 1);
    EXPECT_EQ(ChooseIconImage(bytes), 0);
    EXPECT_EQ(DecodeIconFile(bytes)->Width, 16);
}

} // namespace
} // namespace tlc
