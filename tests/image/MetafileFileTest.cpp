#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BitmapWriter.h"
#include "base/Exceptions.h"
#include "image/MetafileFile.h"

namespace tlc {
namespace {

using test::PutLE16;
using test::PutLE32;
using test::SetLE32;

struct Frame {
    std::int32_t left, top, right, bottom;
};

// A header record of `headerSize` bytes, `extra` records of 12 bytes, the end
// record; the total size field is the real size unless given.
std::vector<std::uint8_t> Enhanced(Frame frame, std::uint32_t headerSize = 108, int extra = 1,
                                   bool endRecord = true) {
    std::vector<std::uint8_t> out;
    PutLE32(out, 1);
    PutLE32(out, headerSize);
    for (int k = 0; k < 4; ++k)
        PutLE32(out, 0); // bounds
    PutLE32(out, static_cast<std::uint32_t>(frame.left));
    PutLE32(out, static_cast<std::uint32_t>(frame.top));
    PutLE32(out, static_cast<std::uint32_t>(frame.right));
    PutLE32(out, static_cast<std::uint32_t>(frame.bottom));
    PutLE32(out, 0x464D4520);
    PutLE32(out, 0x10000);
    PutLE32(out, 0); // total size, set below
    while (out.size() < headerSize)
        out.push_back(0);
    for (int k = 0; k < extra; ++k) {
        PutLE32(out, 27); // move-to
        PutLE32(out, 16);
        PutLE32(out, 5);
        PutLE32(out, 6);
    }
    if (endRecord) {
        PutLE32(out, 14);
        PutLE32(out, 20);
        for (int k = 0; k < 3; ++k)
            PutLE32(out, 0);
    }
    SetLE32(out, 48, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> Placeable(std::int16_t left, std::int16_t top, std::int16_t right,
                                    std::int16_t bottom, std::uint16_t inch,
                                    bool endRecord = true) {
    std::vector<std::uint8_t> out;
    PutLE32(out, 0x9AC6CDD7);
    PutLE16(out, 0);
    PutLE16(out, static_cast<std::uint16_t>(left));
    PutLE16(out, static_cast<std::uint16_t>(top));
    PutLE16(out, static_cast<std::uint16_t>(right));
    PutLE16(out, static_cast<std::uint16_t>(bottom));
    PutLE16(out, inch);
    PutLE32(out, 0);
    std::uint16_t sum = 0;
    for (std::size_t k = 0; k < 20; k += 2)
        sum ^= static_cast<std::uint16_t>(out[k] | out[k + 1] << 8);
    PutLE16(out, sum);
    // Windows metafile header, one record, the end record.
    PutLE16(out, 1);
    PutLE16(out, 9);
    PutLE16(out, 0x300);
    PutLE32(out, 0);
    PutLE16(out, 0);
    PutLE32(out, 5);
    PutLE16(out, 0);
    PutLE32(out, 5); // SetWindowOrg, 5 words
    PutLE16(out, 0x020B);
    PutLE16(out, 0);
    PutLE16(out, 0);
    if (endRecord) {
        PutLE32(out, 3);
        PutLE16(out, 0);
    }
    return out;
}

template <class E> void ExpectFailure(const std::vector<std::uint8_t>& bytes, const char* message) {
    try {
        DecodeMetafileFile(bytes);
        FAIL() << "loaded";
    } catch (const E& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(MetafileFile, EnhancedKeepsItsBytesAndFrameExtent) {
    const auto bytes = Enhanced({0, 0, 2899, 2899});
    const auto image = DecodeMetafileFile(bytes);
    EXPECT_TRUE(image->Enhanced);
    EXPECT_EQ(image->Inch, 0);
    EXPECT_EQ(image->MMWidth, 2899);
    EXPECT_EQ(image->MMHeight, 2899);
    EXPECT_EQ(image->Width, 110); // 2899 * 96 / 2540 = 109.57
    EXPECT_EQ(image->Height, 110);
    EXPECT_EQ(image->Data, bytes);
}

TEST(MetafileFile, EnhancedTrailingBytesBeyondItsSizeAreDropped) {
    auto bytes = Enhanced({0, 0, 100, 100});
    const std::size_t size = bytes.size();
    bytes.insert(bytes.end(), 64, 0xAA);
    EXPECT_EQ(DecodeMetafileFile(bytes)->Data.size(), size);
}

TEST(MetafileFile, EnhancedFrameAwayFromTheOriginAndReversed) {
    auto image = DecodeMetafileFile(Enhanced({2313, -22219, 10188, -16094}));
    EXPECT_EQ(image->MMWidth, 7875);
    EXPECT_EQ(image->MMHeight, 6125);
    EXPECT_EQ(image->Width, 298);
    EXPECT_EQ(image->Height, 231);
    image = DecodeMetafileFile(Enhanced({100, 100, 0, 0}));
    EXPECT_EQ(image->MMWidth, -100);
    EXPECT_EQ(image->Width, 0) << "a reversed frame shows nothing";
    image = DecodeMetafileFile(Enhanced({INT32_MIN, 0, INT32_MAX, 10}));
    EXPECT_EQ(image->MMWidth, INT32_MAX);
}

TEST(MetafileFile, EnhancedShorterThanItsHeaderSaysIsAReadError) {
    auto bytes = Enhanced({0, 0, 10, 10});
    bytes.resize(bytes.size() - 4);
    ExpectFailure<EReadError>(bytes, "Stream read error");
    bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 48, 0xFFFFFFFF);
    ExpectFailure<EReadError>(bytes, "Stream read error");
}

TEST(MetafileFile, EnhancedRecordsAreChecked) {
    const char* notValid = "Metafile is not valid";
    ExpectFailure<EInvalidGraphic>(Enhanced({0, 0, 10, 10}, 108, 1, false), notValid);
    auto bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 108 + 4, 0); // a record of size 0 would never end
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 108 + 4, 18); // not a multiple of 4
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 108 + 4, 0x7FFFFFF0); // past the end
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 4, 40); // header record too short for a header
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Enhanced({0, 0, 10, 10});
    SetLE32(bytes, 48, 96); // total size below the header read
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
}

TEST(MetafileFile, PlaceableWindowsMetafile) {
    const auto bytes = Placeable(-30, -30, 3066, 3094, 606);
    const auto image = DecodeMetafileFile(bytes);
    EXPECT_FALSE(image->Enhanced);
    EXPECT_EQ(image->Inch, 606);
    EXPECT_EQ(image->MMWidth, 12977); // 3096 * 2540 / 606 = 12976.6
    EXPECT_EQ(image->MMHeight, 13094);
    EXPECT_EQ(image->Width, 490);
    EXPECT_EQ(image->Height, 495);
    EXPECT_EQ(image->Data, std::vector<std::uint8_t>(bytes.begin() + 22, bytes.end()));
}

TEST(MetafileFile, PlaceableWithoutUnitsPerInchCountsNinetySix) {
    const auto image = DecodeMetafileFile(Placeable(0, 0, 96, 48, 0));
    EXPECT_EQ(image->Inch, 0);
    EXPECT_EQ(image->MMWidth, 2540);
    EXPECT_EQ(image->MMHeight, 1270);
    EXPECT_EQ(image->Width, 96);
    EXPECT_EQ(image->Height, 48);
}

TEST(MetafileFile, WindowsMetafilesThatAreRefused) {
    const char* notValid = "Metafile is not valid";
    auto bytes = Placeable(0, 0, 100, 100, 1440);
    bytes[0] ^= 1; // key
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Placeable(0, 0, 100, 100, 1440);
    bytes[20] ^= 1; // checksum
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    // Without the placeable header.
    bytes = Placeable(0, 0, 100, 100, 1440);
    ExpectFailure<EInvalidGraphic>(std::vector<std::uint8_t>(bytes.begin() + 22, bytes.end()),
                                   notValid);
    ExpectFailure<EInvalidGraphic>(Placeable(0, 0, 100, 100, 1440, false), notValid);
    bytes = Placeable(0, 0, 100, 100, 1440);
    bytes[22 + 18] = 0; // a record of size 0
    bytes[22 + 19] = 0;
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    bytes = Placeable(0, 0, 100, 100, 1440);
    bytes[22 + 2] = 10; // header size not 9 words
    ExpectFailure<EInvalidGraphic>(bytes, notValid);
    ExpectFailure<EInvalidGraphic>({}, notValid);
    ExpectFailure<EInvalidGraphic>(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 21),
                                   notValid);
    // An enhanced signature with only 100 bytes is not taken as enhanced.
    auto small = Enhanced({0, 0, 10, 10}, 100, 0, false);
    small.resize(100);
    ExpectFailure<EInvalidGraphic>(small, notValid);
}

TEST(MetafileFile, RoundingIsToTheNearestHalvesAwayFromZero) {
    struct Row {
        std::int64_t a, b, c;
        std::int32_t want;
    };
    for (const Row& r : {Row{5, 1, 2, 3}, Row{-5, 1, 2, -3}, Row{4, 1, 3, 1}, Row{5, 1, 3, 2},
                         Row{-4, 1, 3, -1}, Row{7, 1, -2, -4}, Row{1, 1, 0, 0},
                         Row{INT32_MAX, 2540, 96, INT32_MAX}, Row{INT32_MIN, 2540, 96, INT32_MIN}})
        EXPECT_EQ(MulDivRound(r.a, r.b, r.c), r.want) << r.a << "*" << r.b << "/" << r.c;
}

// An SVG document is recognised by its root element, whatever the file's
// extension, and takes its size in screen pixels from width and height (units
// at 96 per inch), else from its view box.
TEST(MetafileFile, SvgSizeFromItsRootElement) {
    struct Row {
        const char* text;
        std::int32_t width, height; // 0: refused
    };
    for (const Row& r : {
             Row{"<svg xmlns='http://www.w3.org/2000/svg' width='120' height='40'/>", 120, 40},
             Row{"\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- logo -->\n<!DOCTYPE svg [ <!ENTITY a 'b'> ]>\n"
                 "<svg height=\"1in\" stroke-width=\"9\" width=\"2.54cm\">", 96, 96},
             Row{"<svg width='72pt' height='10mm' viewBox='0 0 5 5'>", 96, 38},
             Row{"<svg viewBox='0,0 300.4 150'>", 300, 150},
             Row{"<svg width='100%' height='100%' viewBox='0 0 30 20'>", 30, 20},
             Row{"<svg width='60' viewBox='0 0 30 20'>", 60, 40},
             Row{"<svg:svg xmlns:svg='http://www.w3.org/2000/svg' width='5' height='6'>", 5, 6},
             Row{"<svg width='60'>", 0, 0},          // no height, no view box
             Row{"<svg>", 0, 0},
             Row{"<svg width='1e9' height='1'>", 0, 0},
             Row{"<svgx width='5' height='6'>", 0, 0},
             Row{"<html><svg width='5' height='6'>", 0, 0},
         }) {
        const std::string text = r.text;
        const std::vector<std::uint8_t> bytes(text.begin(), text.end());
        if (r.width == 0) {
            // Not SVG at all: then it is no metafile either.
            const bool svg = text.rfind("<svg ", 0) == 0 || text == "<svg>";
            ExpectFailure<EInvalidGraphic>(bytes, svg ? "SVG picture is not valid" : "Metafile is not valid");
            continue;
        }
        const auto image = DecodeMetafileFile(bytes);
        EXPECT_TRUE(image->Svg) << text;
        EXPECT_FALSE(image->Enhanced) << text;
        EXPECT_EQ(image->Width, r.width) << text;
        EXPECT_EQ(image->Height, r.height) << text;
        EXPECT_EQ(image->Data, bytes) << text;
    }
}

} // namespace
} // namespace tlc
