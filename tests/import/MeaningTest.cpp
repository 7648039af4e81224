// What a picture file says besides its pixels: which way up it is seen
// (EXIF orientation) and what its numbers mean (ICC colour profiles).
#include <gtest/gtest.h>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "PictureEncoders.h"
#include "image/PictureCrop.h"
#include "import/ImportedPicture.h"

namespace tlc {
namespace {

using test::Rgba;
using Bytes = std::vector<std::uint8_t>;

// A picture held as pixels, for turning by hand.
struct Pixels {
    int w = 0, h = 0;
    std::vector<Rgba> p;
    Rgba At(int x, int y) const { return p[static_cast<std::size_t>(y) * w + x]; }
};

// Upright: 3 x 2 blocks of 8 x 8 in six colours, so that each turn and
// mirror puts another colour in each corner.
Pixels Upright() {
    static const Rgba colours[6] = {{230, 30, 30}, {30, 200, 40}, {40, 60, 220},
                                    {240, 220, 20}, {20, 200, 210}, {120, 40, 140}};
    Pixels u{24, 16, {}};
    for (int y = 0; y < u.h; ++y)
        for (int x = 0; x < u.w; ++x) u.p.push_back(colours[(y / 8) * 3 + x / 8]);
    return u;
}

Pixels Make(int w, int h, const std::function<Rgba(int, int)>& f) {
    Pixels out{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.p.push_back(f(x, y));
    return out;
}
// Turned a quarter clockwise: the left column becomes the top row.
Pixels Clockwise(const Pixels& in) {
    return Make(in.h, in.w, [&](int x, int y) { return in.At(y, in.h - 1 - x); });
}
Pixels Mirrored(const Pixels& in) {
    return Make(in.w, in.h, [&](int x, int y) { return in.At(in.w - 1 - x, y); });
}

// How a camera stores the upright picture for each EXIF orientation: the
// stored picture, turned as the orientation says, is the upright one.
Pixels Stored(int orientation) {
    const Pixels u = Upright();
    switch (orientation) {
    case 2: return Mirrored(u);
    case 3: return Clockwise(Clockwise(u));
    case 4: return Mirrored(Clockwise(Clockwise(u)));
    case 5: return Mirrored(Clockwise(u));                       // the diagonal from top left
    case 6: return Clockwise(Clockwise(Clockwise(u)));           // shown turned clockwise
    case 7: return Mirrored(Clockwise(Clockwise(Clockwise(u)))); // the other diagonal
    case 8: return Clockwise(u);                                 // shown turned anticlockwise
    default: return u;
    }
}

void Append32(Bytes& b, std::uint32_t v, bool big) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(big ? v >> (24 - 8 * k) : v >> (8 * k)));
}

// A TIFF structure of one directory with the orientation, as EXIF holds it.
Bytes ExifBlock(int orientation) {
    Bytes b = {'M', 'M', 0, 42};
    Append32(b, 8, true);
    b.insert(b.end(), {0, 1, 0x01, 0x12, 0, 3}); // one entry: 274, SHORT
    Append32(b, 1, true);
    b.insert(b.end(), {0, static_cast<std::uint8_t>(orientation), 0, 0});
    Append32(b, 0, true); // no further directory
    return b;
}

// A PNG chunk added straight after the header chunk.
Bytes WithPngChunk(Bytes png, const char* type, const Bytes& data) {
    Bytes chunk;
    Append32(chunk, static_cast<std::uint32_t>(data.size()), true);
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    Append32(chunk, static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4))), true);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

// A JPEG marker segment added straight after the start marker.
Bytes WithJpegSegment(Bytes jpeg, std::uint8_t marker, const Bytes& data) {
    Bytes segment = {0xFF, marker, static_cast<std::uint8_t>((data.size() + 2) >> 8),
                     static_cast<std::uint8_t>(data.size() + 2)};
    segment.insert(segment.end(), data.begin(), data.end());
    jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
    return jpeg;
}

Bytes Prefixed(const char* text, std::size_t n, const Bytes& data) {
    Bytes b(text, text + n);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// A simple WebP turned extended (VP8X) with one more chunk after its picture.
Bytes WithWebpChunk(const Bytes& webp, int w, int h, const char* type, std::uint8_t flag, const Bytes& data) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    Append32(out, 10, false);
    out.insert(out.end(), {flag, 0, 0, 0});
    for (int v : {w - 1, h - 1})
        out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16)});
    out.insert(out.end(), webp.begin() + 12, webp.end());
    out.insert(out.end(), type, type + 4);
    Append32(out, static_cast<std::uint32_t>(data.size()), false);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
    const std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8);
    for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<std::uint8_t>(riff >> (8 * k));
    return out;
}

Bytes RgbOf(const Pixels& px) {
    Bytes rgb;
    for (const Rgba& c : px.p) rgb.insert(rgb.end(), {c.R, c.G, c.B});
    return rgb;
}

void ExpectPicture(const TBitmapImage& image, const Pixels& want, int tolerance, int w, int h) {
    ASSERT_GE(image.Width(), w);
    ASSERT_GE(image.AbsHeight(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const TColor got = image.GetPixel(x, y);
            const Rgba c = want.At(x, y);
            ASSERT_NEAR(RedOf(got), c.R, tolerance) << x << "," << y;
            ASSERT_NEAR(GreenOf(got), c.G, tolerance) << x << "," << y;
            ASSERT_NEAR(BlueOf(got), c.B, tolerance) << x << "," << y;
        }
}

TEST(PictureMeaning, EveryExifOrientationComesOutUpright) {
    const Pixels upright = Upright();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const Pixels s = Stored(orientation);
        const Bytes exif = ExifBlock(orientation);
        auto pixel = [&](int x, int y) { return s.At(x, y); };
        struct {
            const char* name;
            Bytes file;
            int tolerance;
        } cases[] = {
            {"png eXIf", WithPngChunk(test::EncodePng(test::PngHeader(s.w, s.h, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(s.w, s.h, pixel)), "eXIf", exif), 0},
            {"jpeg APP1", WithJpegSegment(test::EncodeJpeg(s.w, s.h, TJPF_RGB, TJSAMP_444, RgbOf(s), 0, 100), 0xE1, Prefixed("Exif\0\0", 6, exif)), 4},
            {"webp EXIF", WithWebpChunk(test::EncodeWebpLossless(s.w, s.h, pixel), s.w, s.h, "EXIF", 0x08, exif), 0},
            {"tiff Orientation tag", test::EncodeTiff({s.w, s.h, 3, 8, PHOTOMETRIC_RGB, -1, orientation, RgbOf(s)}), 0},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", orientation " + std::to_string(orientation));
            ImportNotes notes;
            ImportHints hints;
            hints.Notes = &notes;
            const auto image = DecodeImportedPicture(c.file, hints);
            EXPECT_EQ(notes.Orientation, orientation);
            ASSERT_EQ(image->Width(), upright.w);
            ASSERT_EQ(image->AbsHeight(), upright.h);
            ExpectPicture(*image, upright, c.tolerance, upright.w, upright.h);

            // Asked for the top-left corner only, the corner is the upright one's.
            PictureCrop crop;
            crop.Width = 10;
            crop.Height = 6;
            hints.Crop = &crop;
            ExpectPicture(*DecodeImportedPicture(c.file, hints), upright, c.tolerance, 10, 6);
            EXPECT_EQ(crop.PictureWidth, upright.w);
            EXPECT_EQ(crop.PictureHeight, upright.h);
        }
    }
}

// Adobe RGB (1998) as its published primaries, white point and gamma describe it.
Bytes AdobeRgbProfile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// A CMYK JPEG written by libjpeg: with Adobe's marker the ink values are
// stored inverted (255 = no ink), as Adobe's programs write them; without,
// plain.
Bytes CmykJpeg(int w, int h, const std::vector<std::array<std::uint8_t, 4>>& inks, bool adobe) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_CMYK);
    c.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) {
                const std::uint8_t ink = inks[static_cast<std::size_t>(x / 8)][static_cast<std::size_t>(k)];
                row[static_cast<std::size_t>(x) * 4 + k] = adobe ? static_cast<std::uint8_t>(255 - ink) : ink;
            }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

// The profile in APP2 pieces (a segment holds at most 64 KiB), in order.
Bytes WithIccSegments(Bytes jpeg, const Bytes& profile) {
    constexpr std::size_t kPiece = 60000;
    const std::size_t count = (profile.size() + kPiece - 1) / kPiece;
    for (std::size_t i = count; i-- > 0;) { // each goes straight after the start marker
        Bytes data = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, static_cast<std::uint8_t>(i + 1),
                      static_cast<std::uint8_t>(count)};
        const auto from = profile.begin() + static_cast<std::ptrdiff_t>(i * kPiece);
        data.insert(data.end(), from, from + static_cast<std::ptrdiff_t>(std::min(kPiece, profile.size() - i * kPiece)));
        jpeg = WithJpegSegment(std::move(jpeg), 0xE2, data);
    }
    return jpeg;
}

Bytes CompressedProfile(const Bytes& profile) {
    Bytes data = {'A', 'd', 'o', 'b', 'e', ' ', 'R', 'G', 'B', 0, 0};
    uLongf size = compressBound(static_cast<uLong>(profile.size()));
    Bytes packed(size);
    compress(packed.data(), &size, profile.data(), static_cast<uLong>(profile.size()));
    data.insert(data.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
    return data;
}

Bytes FileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Eight colours of a picture, and of the same picture as a colour-managed
// decoder shows them in sRGB (the tables below were worked out once by vips
// 8.14: icc_transform to its sRGB, relative colorimetric intent with black
// point compensation).
const Rgba kAdobeRgbColours[8] = {{200, 100, 50}, {50, 150, 200}, {128, 128, 128}, {30, 200, 90},
                                  {240, 240, 20}, {90, 40, 160}, {255, 255, 255}, {0, 0, 0}};
const Rgba kAdobeRgbAsSrgb[8] = {{227, 100, 42}, {0, 151, 203}, {129, 129, 129}, {0, 201, 80},
                                 {240, 240, 0},  {103, 35, 164}, {255, 255, 255}, {0, 0, 0}};

const std::vector<std::array<std::uint8_t, 4>> kInks = {
    {0, 0, 0, 0},   {0, 0, 0, 255},  {255, 0, 0, 0}, {0, 255, 0, 0},
    {0, 0, 255, 0}, {0, 255, 255, 0}, {255, 200, 0, 60}, {0, 0, 0, 128}};
// Ghostscript's default CMYK profile; the table from the file with Adobe's
// marker (vips takes every CMYK JPEG as inverted).
const Rgba kInksAsSrgb[8] = {{255, 255, 255}, {35, 31, 32},  {0, 174, 239}, {236, 0, 140},
                             {255, 242, 0},   {237, 28, 36}, {3, 62, 133},  {147, 149, 152}};
constexpr const char* kCmykProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

// The eight colours in blocks of 8 x 8, each format with the Adobe RGB profile.
Bytes AdobeRgbPicture(ImportFormat format) {
    auto pixel = [](int x, int) { return kAdobeRgbColours[x / 8]; };
    const Bytes profile = AdobeRgbProfile();
    switch (format) {
    case ImportFormat::Png:
        return WithPngChunk(test::EncodePng(test::PngHeader(64, 8, 8, SPNG_COLOR_TYPE_TRUECOLOR), test::RgbRows(64, 8, pixel)),
                            "iCCP", CompressedProfile(profile));
    case ImportFormat::Webp: return WithWebpChunk(test::EncodeWebpLossless(64, 8, pixel), 64, 8, "ICCP", 0x20, profile);
    default: return WithIccSegments(test::EncodeJpeg(64, 8, TJPF_RGB, TJSAMP_444, RgbOf(Make(64, 8, pixel)), 0, 100), profile);
    }
}

void ExpectColours(const TBitmapImage& image, const Rgba* want, int n, int step, int tolerance) {
    ASSERT_EQ(image.Width(), n * step);
    for (int i = 0; i < n; ++i) {
        const TColor got = image.GetPixel(i * step + step / 2, image.AbsHeight() / 2);
        SCOPED_TRACE("colour " + std::to_string(i));
        EXPECT_NEAR(RedOf(got), want[i].R, tolerance);
        EXPECT_NEAR(GreenOf(got), want[i].G, tolerance);
        EXPECT_NEAR(BlueOf(got), want[i].B, tolerance);
    }
}

TEST(PictureMeaning, EmbeddedProfilesGiveTheColourManagedColours) {
    ImportNotes notes;
    ImportHints hints;
    hints.Notes = &notes;
    // A profile-less decode would give the file's numbers as they stand,
    // up to 27 levels off here.
    for (const auto& [format, tolerance] : {std::pair{ImportFormat::Png, 1}, std::pair{ImportFormat::Webp, 1},
                                            std::pair{ImportFormat::Jpeg, 3}}) {
        SCOPED_TRACE(ImportFormatName(format));
        notes = {};
        ExpectColours(*DecodeImportedPicture(AdobeRgbPicture(format), hints), kAdobeRgbAsSrgb, 8, 8, tolerance);
        EXPECT_TRUE(notes.ProfileApplied);
    }

    // Without a profile the inks are laid on white paper, read inverted only
    // under Adobe's marker: both files show the same colours.
    const auto adobeInks = DecodeImportedPicture(CmykJpeg(64, 8, kInks, true));
    const auto plainInks = DecodeImportedPicture(CmykJpeg(64, 8, kInks, false));
    for (int i = 0; i < 8; ++i) {
        const TColor adobe = adobeInks->GetPixel(i * 8 + 4, 4), plain = plainInks->GetPixel(i * 8 + 4, 4);
        EXPECT_NEAR(RedOf(plain), RedOf(adobe), 2) << i;
        EXPECT_NEAR(GreenOf(plain), GreenOf(adobe), 2) << i;
        EXPECT_NEAR(BlueOf(plain), BlueOf(adobe), 2) << i;
    }
    EXPECT_EQ(plainInks->GetPixel(4, 4), clWhite); // no ink is paper

    if (!std::filesystem::exists(kCmykProfile)) GTEST_SKIP() << "no CMYK profile at " << kCmykProfile;
    const Bytes profile = FileBytes(kCmykProfile);
    Bytes inks;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 64; ++x) inks.insert(inks.end(), kInks[x / 8].begin(), kInks[x / 8].end());
    const std::pair<const char*, Bytes> files[] = {
        {"jpeg, inverted under Adobe's marker", WithIccSegments(CmykJpeg(64, 8, kInks, true), profile)},
        {"jpeg, plain inks without the marker", WithIccSegments(CmykJpeg(64, 8, kInks, false), profile)},
        {"tiff", test::EncodeTiff({64, 8, 4, 8, PHOTOMETRIC_SEPARATED, -1, ORIENTATION_TOPLEFT, inks}, profile)},
    };
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        notes = {};
        ExpectColours(*DecodeImportedPicture(file, hints), kInksAsSrgb, 8, 8, 2);
        EXPECT_TRUE(notes.ProfileApplied);
    }
}

} // namespace
} // namespace tlc
