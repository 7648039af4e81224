// The command line with pictures beyond the window's formats: PNG, JPEG, GIF
// and WebP in, --fit, --dither, print-width warnings and the 1-bit PNG of show.
#include <gtest/gtest.h>

#include <system_error>

#include <zlib.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "BitmapWriter.h"
#include "FileHelpers.h"
#include "PictureEncoders.h"
#include "TempDir.h"
#include "cli/Cli.h"
#include "logo/LogoReader.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;
using test::Rgba;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

using test::ReadBytes;
using test::WriteBytes;

// A 24-bit bitmap file holding `colour` (0x00BBGGRR) for each pixel.
std::vector<std::uint8_t> Bitmap24(int w, int h, const std::function<TColor(int, int)>& colour) {
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, [&](int x, int y) {
        const TColor c = colour(x, y);
        return (static_cast<std::uint32_t>(RedOf(c)) << 16) | (static_cast<std::uint32_t>(GreenOf(c)) << 8) |
               static_cast<std::uint32_t>(BlueOf(c));
    });
    return test::WriteBitmap(layout);
}

Rgba Colours(int x, int y) {
    return {static_cast<std::uint8_t>(x * 9 + y * 4), static_cast<std::uint8_t>(y * 11 + 40),
            static_cast<std::uint8_t>(250 - x * 5), 255};
}
TColor Opaque(Rgba p) { return RGB(p.R, p.G, p.B); }
TColor Grey(int v) { return RGB(v, v, v); }

class ImportCliTest : public ::testing::Test {
protected:
    test::TempDir tmp_{"tlc-import-cli"};
    const fs::path dir_ = tmp_.Path();
};

struct FormatCase {
    const char* name;
    std::function<std::vector<std::uint8_t>()> file;
    std::function<TColor(int, int)> pixels; // what the same picture holds on white paper
    int width, height;
};

std::vector<FormatCase> FormatCases() {
    const int w = 45, h = 30;
    std::vector<FormatCase> cases;
    // A black square whose cover ramps from none to full, over white paper.
    cases.push_back({"alpha-ramp.png",
                     [=] {
                         return test::EncodePngRgba(w, h, [](int x, int) { return Rgba{0, 0, 0, std::uint8_t(x * 5)}; });
                     },
                     [](int x, int) { return Grey(255 - x * 5); }, w, h});
    const std::vector<Rgba> palette = {{250, 20, 20, 255}, {0, 0, 0, 255}, {90, 200, 140, 255}, {0, 0, 0, 0}};
    auto index = [](int x, int y) { return (x / 3 + y / 2) % 4; };
    auto paletteColour = [=](int x, int y) {
        return index(x, y) == 3 ? clWhite : Opaque(palette[static_cast<std::size_t>(index(x, y))]);
    };
    cases.push_back({"palette.png",
                     [=] {
                         std::vector<std::uint8_t> rows;
                         for (int y = 0; y < h; ++y)
                             for (int x = 0; x < w; ++x) rows.push_back(static_cast<std::uint8_t>(index(x, y)));
                         return test::EncodePng(test::PngHeader(w, h, 8, SPNG_COLOR_TYPE_INDEXED), rows, palette);
                     },
                     paletteColour, w, h});
    cases.push_back({"sixteen-bits.png",
                     [=] {
                         return test::EncodePng(test::PngHeader(w, h, 16, SPNG_COLOR_TYPE_TRUECOLOR),
                                                test::RgbRows(w, h, Colours, 16));
                     },
                     [](int x, int y) { return Opaque(Colours(x, y)); }, w, h});
    // Named .bmp: the content decides, not the name.
    cases.push_back({"transparent-gif-named.bmp",
                     [=] { return test::EncodeGif(w, h, palette, index, 3, false); }, paletteColour, w, h});
    cases.push_back({"lossless-alpha.webp",
                     [=] {
                         return test::EncodeWebpLossless(w, h, [](int x, int y) {
                             Rgba p = Colours(x, y);
                             p.A = static_cast<std::uint8_t>(y * 8);
                             return p;
                         });
                     },
                     [](int x, int y) {
                         const Rgba p = Colours(x, y);
                         const unsigned a = static_cast<unsigned>(y * 8);
                         auto over = [a](unsigned v) { return static_cast<int>((v * a + 255 * (255 - a) + 127) / 255); };
                         return RGB(over(p.R), over(p.G), over(p.B));
                     },
                     w, h});
    // JPEG within its loss: the pixels the library itself decodes.
    std::vector<std::uint8_t> rgb, grey;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgba p = Colours(x, y);
            rgb.insert(rgb.end(), {p.R, p.G, p.B});
            grey.push_back(static_cast<std::uint8_t>(x * 5 + y));
        }
    for (auto [name, jpeg] :
         {std::pair{"progressive.jpg", test::EncodeJpeg(w, h, TJPF_RGB, TJSAMP_420, rgb, TJFLAG_PROGRESSIVE)},
          std::pair{"grey.jpg", test::EncodeJpeg(w, h, TJPF_GRAY, TJSAMP_GRAY, grey)}}) {
        const std::vector<std::uint8_t> decoded = test::DecodeJpegRgb(jpeg, w, h);
        cases.push_back({name, [jpeg] { return jpeg; },
                         [decoded, w](int x, int y) {
                             const std::uint8_t* p = &decoded[(static_cast<std::size_t>(y) * w + x) * 3];
                             return RGB(p[0], p[1], p[2]);
                         },
                         w, h});
    }
    // CMYK as Adobe and TurboJPEG keep it, inverted (255 = no ink): the
    // library's own CMYK decode, printed on white.
    std::vector<std::uint8_t> cmyk;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            cmyk.insert(cmyk.end(), {std::uint8_t(255 - x * 5), std::uint8_t(y * 8), 255, std::uint8_t(255 - (x % 9) * 20)});
    const auto cmykJpeg = test::EncodeJpeg(w, h, TJPF_CMYK, TJSAMP_444, cmyk);
    std::vector<std::uint8_t> inks(static_cast<std::size_t>(w) * h * 4);
    tjhandle handle = tjInitDecompress();
    tjDecompress2(handle, cmykJpeg.data(), cmykJpeg.size(), inks.data(), w, 0, h, TJPF_CMYK, 0);
    tjDestroy(handle);
    cases.push_back({"cmyk.jpg", [cmykJpeg] { return cmykJpeg; },
                     [inks, w](int x, int y) {
                         const std::uint8_t* p = &inks[(static_cast<std::size_t>(y) * w + x) * 4];
                         auto light = [k = p[3]](unsigned v) { return static_cast<int>((v * k + 127) / 255); };
                         return RGB(light(p[0]), light(p[1]), light(p[2]));
                     },
                     w, h});
    return cases;
}

TEST_F(ImportCliTest, EachFormatGivesTheLogoOfTheSamePixelsAsABitmap) {
    for (const FormatCase& c : FormatCases()) {
        SCOPED_TRACE(c.name);
        const fs::path picture = dir_ / c.name, bitmap = dir_ / "same.bmp";
        WriteBytes(picture, c.file());
        WriteBytes(bitmap, Bitmap24(c.width, c.height, c.pixels));
        for (const char* thresholds : {"128,128,128", "200,60,90"}) {
            const CliRun a = Cli({"convert", picture.string(), "-t", thresholds, "-o", (dir_ / "a.rsc").string()});
            const CliRun b = Cli({"convert", bitmap.string(), "-t", thresholds, "-o", (dir_ / "b.rsc").string()});
            ASSERT_EQ(a.status, 0) << a.err;
            ASSERT_EQ(b.status, 0) << b.err;
            ASSERT_EQ(ReadBytes(dir_ / "a.rsc"), ReadBytes(dir_ / "b.rsc")) << thresholds;
        }
    }
}

TEST_F(ImportCliTest, DamagedFilesGiveOneMessageNamingTheFormatAndTheBatchGoesOn) {
    const std::vector<Rgba> palette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    auto half = [](std::vector<std::uint8_t> b) {
        b.resize(b.size() / 2);
        return b;
    };
    const std::vector<std::uint8_t> rgb(40 * 30 * 3, 77);
    WriteBytes(dir_ / "a-good.png", test::EncodePngRgba(20, 10, Colours));
    WriteBytes(dir_ / "b-cut.png", half(test::EncodePngRgba(40, 30, Colours)));
    WriteBytes(dir_ / "c-cut.jpg", half(test::EncodeJpeg(40, 30, TJPF_RGB, TJSAMP_420, rgb)));
    WriteBytes(dir_ / "d-cut.gif", half(test::EncodeGif(40, 30, palette, [](int x, int y) { return (x ^ y) & 1; }, -1, false)));
    WriteBytes(dir_ / "e-cut.webp", half(test::EncodeWebpLossless(40, 30, Colours)));
    WriteBytes(dir_ / "f-good.bmp", Bitmap24(8, 8, [](int, int) { return clBlack; }));
    // Not pictures at all: each says why, in the system's words where it has them.
    fs::create_directories(dir_ / "h-folder.webp");
    WriteBytes(dir_ / "i-empty.gif", {});
    WriteBytes(dir_ / "j-text.png", {'h', 'e', 'l', 'l', 'o'});
    std::vector<std::pair<std::string, std::string>> refused = {
        {"g-missing.png", std::make_error_code(std::errc::no_such_file_or_directory).message()},
        // A folder is a folder of pictures, whatever its name says.
        {"h-folder.webp", "warning: no pictures in this folder (-r looks into its subfolders)"},
        {"i-empty.gif", "the file is empty"},
        {"j-text.png", "PNG file damaged: its first bytes are not those of a PNG file"}};
#ifndef _WIN32
    // A pipe nobody writes to: opening it to read would wait for ever.
    ASSERT_EQ(::mkfifo((dir_ / "k-pipe.png").c_str(), 0600), 0);
    refused.emplace_back("k-pipe.png", "a named pipe, not a file (- reads standard input)");
#endif
    std::vector<std::string> args = {"convert", "-d", (dir_ / "out").string()};
    for (const char* name : {"a-good.png", "b-cut.png", "c-cut.jpg", "d-cut.gif", "e-cut.webp", "f-good.bmp"})
        args.push_back((dir_ / name).string());
    for (const auto& [name, why] : refused) args.push_back((dir_ / name).string());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a-good.rsc"));
    EXPECT_TRUE(fs::exists(dir_ / "out" / "f-good.rsc"));
    for (const auto& [name, why] : refused)
        EXPECT_NE(run.err.find("tillora-logo: " + (dir_ / name).string() + ": " + why + "\n"), std::string::npos)
            << name << " in:\n" << run.err;
    for (const auto& [name, format] : {std::pair{"b-cut.png", "PNG"}, std::pair{"c-cut.jpg", "JPEG"},
                                       std::pair{"d-cut.gif", "GIF"}, std::pair{"e-cut.webp", "WebP"}}) {
        const std::string line = (dir_ / name).string() + ": " + format + " file damaged: ";
        const std::size_t at = run.err.find(line);
        ASSERT_NE(at, std::string::npos) << line << "\nin:\n" << run.err;
        EXPECT_EQ(run.err.find(line, at + 1), std::string::npos) << "one message per file";
        EXPECT_FALSE(fs::exists(dir_ / "out" / fs::path(name).replace_extension(".rsc")));
    }
}

// Two frames of 40 x 24: a black bar at the top, then one at the bottom.
int BarFrame(int frame, int /*x*/, int y) { return (frame == 0 ? y < 8 : y >= 16) ? 0 : 1; }

// An animated GIF: the first file's frame, then the second's, one screen.
std::vector<std::uint8_t> TwoFrameGif() {
    const std::vector<Rgba> palette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    auto frame = [&](int f) {
        return test::EncodeGif(40, 24, palette, [f](int x, int y) { return BarFrame(f, x, y); }, -1, false);
    };
    std::vector<std::uint8_t> gif = frame(0), second = frame(1);
    gif.pop_back(); // its trailer
    gif.insert(gif.end(), second.begin() + 13 + 3 * 2, second.end());
    return gif;
}

void Put24(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int k = 0; k < 3; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

// An animated WebP of `frames` full-canvas lossless frames.
std::vector<std::uint8_t> AnimatedWebp(int frames) {
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    Put32(out, 10);
    out.insert(out.end(), {0x12, 0, 0, 0}); // animation, alpha
    Put24(out, 39);
    Put24(out, 23);
    out.insert(out.end(), {'A', 'N', 'I', 'M'});
    Put32(out, 6);
    out.insert(out.end(), {255, 255, 255, 255, 0, 0});
    for (int f = 0; f < frames; ++f) {
        const std::vector<std::uint8_t> still = test::EncodeWebpLossless(40, 24, [f](int x, int y) {
            const std::uint8_t v = BarFrame(f, x, y) ? 255 : 0;
            return Rgba{v, v, v, 255};
        });
        const std::vector<std::uint8_t> bitstream(still.begin() + 12, still.end()); // its VP8L chunk
        out.insert(out.end(), {'A', 'N', 'M', 'F'});
        Put32(out, static_cast<std::uint32_t>(16 + bitstream.size()));
        Put24(out, 0);
        Put24(out, 0);
        Put24(out, 39);
        Put24(out, 23);
        Put24(out, 100);
        out.push_back(0);
        out.insert(out.end(), bitstream.begin(), bitstream.end());
    }
    const std::uint32_t riff = static_cast<std::uint32_t>(out.size() - 8);
    for (int k = 0; k < 4; ++k) out[4 + k] = static_cast<std::uint8_t>(riff >> (8 * k));
    return out;
}

// A PNG announcing two frames (acTL): its own picture is the first.
std::vector<std::uint8_t> TwoFramePng() {
    std::vector<std::uint8_t> png = test::EncodePngRgba(40, 24, [](int x, int y) {
        const std::uint8_t v = BarFrame(0, x, y) ? 255 : 0;
        return Rgba{v, v, v, 255};
    });
    std::vector<std::uint8_t> chunk = {0, 0, 0, 8, 'a', 'c', 'T', 'L', 0, 0, 0, 2, 0, 0, 0, 0};
    const auto crc = static_cast<std::uint32_t>(crc32(0, chunk.data() + 4, 12));
    for (int k = 0; k < 4; ++k) chunk.push_back(static_cast<std::uint8_t>(crc >> (24 - 8 * k)));
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

TEST_F(ImportCliTest, AnimationsGiveTheirFirstFrameAndSaySoOnce) {
    WriteBytes(dir_ / "first.bmp", Bitmap24(40, 24, [](int x, int y) { return BarFrame(0, x, y) ? clWhite : clBlack; }));
    WriteBytes(dir_ / "gif-two.gif", TwoFrameGif());
    WriteBytes(dir_ / "webp-two.webp", AnimatedWebp(2));
    WriteBytes(dir_ / "webp-one.webp", AnimatedWebp(1));
    WriteBytes(dir_ / "png-two.png", TwoFramePng());
    std::vector<std::string> args = {"convert", "-d", (dir_ / "out").string()};
    for (const char* name : {"first.bmp", "gif-two.gif", "webp-two.webp", "webp-one.webp", "png-two.png"})
        args.push_back((dir_ / name).string());
    const CliRun run = Cli(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto first = ReadBytes(dir_ / "out" / "first.rsc");
    for (const auto& [name, format] : {std::pair{"gif-two.gif", "GIF"}, std::pair{"webp-two.webp", "WebP"},
                                       std::pair{"webp-one.webp", ""}, std::pair{"png-two.png", "PNG"}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBytes((dir_ / "out" / name).replace_extension(".rsc")), first);
        const std::string note = (dir_ / name).string() + ": note: animated ";
        const std::size_t at = run.err.find(note);
        if (*format == 0) {
            EXPECT_EQ(at, std::string::npos) << "a single frame needs no word";
            continue;
        }
        ASSERT_NE(at, std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(note, at + 1), std::string::npos) << "said once";
        EXPECT_EQ(run.err.substr(at + note.size()).rfind(std::string(format) + ": only its first frame is converted\n", 0), 0u);
    }
}

TEST_F(ImportCliTest, FitMakesATransparentPngIntoAWholeLogoOnWhite) {
    // 1200 x 900: transparent, with an opaque black frame 60 pixels wide.
    const fs::path picture = dir_ / "shop.png";
    WriteBytes(picture, test::EncodePngRgba(1200, 900, [](int x, int y) {
        const bool frame = x < 60 || y < 60 || x >= 1140 || y >= 840;
        return frame ? Rgba{0, 0, 0, 255} : Rgba{0, 0, 0, 0};
    }));
    const CliRun run = Cli({"convert", picture.string(), "--width=600", "--printer", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("(Epson TM-T88III (NVRam), 600 x 456 dots, scaled from 1200 x 900)"), std::string::npos)
        << run.out;
    const DecodedLogo logo = DecodeLogo(ReadBytes(dir_ / "logo.rsc"));
    ASSERT_EQ(logo.Width, 600);
    ASSERT_EQ(logo.Height, 456);
    // The whole frame is there, scaled to 30 dots; inside it the paper is white.
    for (int y = 0; y < 456; ++y)
        for (int x = 0; x < 600; ++x) {
            // Rows 450 to 455 are the margin below the picture.
            const bool frame = y < 450 && (x < 30 || y < 30 || x >= 570 || y >= 420);
            const bool inside = x >= 31 && x < 569 && y >= 31 && y < 419;
            if (frame) {
                ASSERT_TRUE(logo.Black(x, y)) << x << "," << y;
            } else if (inside || y >= 450) {
                ASSERT_FALSE(logo.Black(x, y)) << x << "," << y;
            }
        }
    // The printer prints 512 of the 600 columns asked for: said once, naming the loss.
    EXPECT_NE(run.err.find("warning: Epson TM-T88III (NVRam) prints 512 dots across: columns 512 to 599 of this "
                           "600-dot logo will not print"),
              std::string::npos)
        << run.err;
    // --fit keeps to the width each printer prints, where its maker gives it,
    // else to its logo limits; --width below it is kept too.
    struct Fit {
        std::vector<std::string> options;
        const char* size;
    };
    for (const Fit& f : {Fit{{"--fit"}, "512 x 384"}, Fit{{"--fit", "-p", "2"}, "576 x 432"},
                         Fit{{"--fit", "-p", "1"}, "360 x 272"}, Fit{{"--fit", "-p", "3"}, "568 x 432"},
                         Fit{{"--width=400", "-p", "2"}, "400 x 304"}}) {
        std::vector<std::string> args = {"convert", picture.string(), "-o", (dir_ / "n.rsc").string()};
        args.insert(args.end(), f.options.begin(), f.options.end());
        const CliRun fitted = Cli(args);
        EXPECT_NE(fitted.out.find(std::string(f.size) + " dots, scaled from 1200 x 900"), std::string::npos)
            << fitted.out;
        EXPECT_EQ(fitted.err, "");
    }
    // Without --fit the picture is cut as the window cuts it, with a word.
    const CliRun cut = Cli({"convert", picture.string(), "-p", "1", "-o", (dir_ / "c.rsc").string()});
    EXPECT_NE(cut.out.find("480 x 200 dots)"), std::string::npos) << cut.out;
    EXPECT_EQ(cut.err, "tillora-logo: " + picture.string() +
                           ": warning: the 1200 x 900 picture is cut to its top-left 480 x 200 dots; --fit "
                           "scales it down to the logo instead\n");
}

TEST_F(ImportCliTest, DitherGivesGreysTheirShareOfDotsAndRefusesThresholds) {
    const fs::path grey = dir_ / "grey.png", white = dir_ / "white.png";
    WriteBytes(grey, test::EncodePngRgba(200, 96, [](int, int) { return Rgba{128, 128, 128, 255}; }));
    WriteBytes(white, test::EncodePngRgba(200, 96, [](int, int) { return Rgba{255, 255, 255, 255}; }));
    for (const char* method : {"fs", "atkinson", "ordered"}) {
        SCOPED_TRACE(method);
        for (const auto& [picture, share] : {std::pair{grey, 0.5}, std::pair{white, 0.0}}) {
            const fs::path logo = dir_ / "d.rsc";
            const CliRun run = Cli({"convert", picture.string(), "--dither", method, "-o", logo.string()});
            ASSERT_EQ(run.status, 0) << run.err;
            const DecodedLogo dots = DecodeLogo(ReadBytes(logo));
            long black = 0;
            for (int y = 0; y < 96; ++y)
                for (int x = 0; x < 200; ++x) black += dots.Black(x, y);
            EXPECT_NEAR(static_cast<double>(black) / (200 * 96), share, 0.1) << picture;
        }
    }
    const CliRun both = Cli({"convert", grey.string(), "--dither", "fs", "-t", "1,2,3"});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(Cli({"convert", grey.string(), "--dither", "sometimes"}).status, 2);
    EXPECT_EQ(Cli({"convert", grey.string(), "--width", "0"}).status, 2);
}

TEST_F(ImportCliTest, InfoAndShowWarnOfPrintWidthAndShowWritesAOneBitPng) {
    const fs::path picture = dir_ / "wide.jpg";
    std::vector<std::uint8_t> rgb(640 * 48 * 3, 30);
    WriteBytes(picture, test::EncodeJpeg(640, 48, TJPF_RGB, TJSAMP_420, rgb));
    const CliRun info = Cli({"info", picture.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Kind: JPEG picture (read by the command line only)\nWidth: 640\nHeight: 48\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("  0  Epson TM-T88III (NVRam): 600 x 56 dots\n"), std::string::npos) << info.out;
    // Models 0 and 2: the others' printable widths are not known to us.
    EXPECT_EQ(info.err, "tillora-logo: " + picture.string() +
                            ": warning: Epson TM-T88III (NVRam) prints 512 dots across: columns 512 to 599 "
                            "of this 600-dot logo will not print\n"
                            "tillora-logo: " + picture.string() +
                            ": warning: Star TSP-700 prints 576 dots across: columns 576 to 599 "
                            "of this 600-dot logo will not print\n");

    ASSERT_EQ(Cli({"convert", picture.string(), "-o", (dir_ / "w.rsc").string()}).status, 0);
    const CliRun show = Cli({"show", (dir_ / "w.rsc").string(), "-o", (dir_ / "dots.png").string()});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.err.find("columns 512 to 599 of this 600-dot logo will not print"), std::string::npos);

    // The PNG holds the logo's dots, one bit each, black 0.
    const DecodedLogo logo = DecodeLogo(ReadBytes(dir_ / "w.rsc"));
    const std::vector<std::uint8_t> png = ReadBytes(dir_ / "dots.png");
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    spng_ihdr ihdr{};
    ASSERT_EQ(spng_get_ihdr(ctx, &ihdr), 0);
    EXPECT_EQ(ihdr.bit_depth, 1);
    EXPECT_EQ(ihdr.color_type, SPNG_COLOR_TYPE_GRAYSCALE);
    ASSERT_EQ(static_cast<std::int32_t>(ihdr.width), logo.Width);
    ASSERT_EQ(static_cast<std::int32_t>(ihdr.height), logo.Height);
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(logo.Width) * logo.Height);
    ASSERT_EQ(spng_decode_image(ctx, grey.data(), grey.size(), SPNG_FMT_G8, 0), 0);
    spng_ctx_free(ctx);
    long black = 0;
    for (int y = 0; y < logo.Height; ++y)
        for (int x = 0; x < logo.Width; ++x) {
            ASSERT_EQ(grey[static_cast<std::size_t>(y) * logo.Width + x], logo.Black(x, y) ? 0 : 255) << x << "," << y;
            black += logo.Black(x, y);
        }
    EXPECT_GT(black, 0);
}

} // namespace
} // namespace tlc
