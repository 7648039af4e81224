#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <cstdio>
#include <cstdlib>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif
#include <unistd.h>

#include "BitmapWriter.h"
#include "ExpectedLogos.h"
#include "Sha256.h"
#include "TempDir.h"
#include "FileHelpers.h"
#include "cli/Cli.h"
#include "cli/CliRun.h"
#include "image/Image.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/LogoReader.h"

namespace tlc {
namespace {

namespace fs = std::filesystem;

using test::Cli;
using test::CliRun;

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Diagnostics name the program on every line, a batch's count too.
void ExpectEveryErrorLineNamesTheProgram(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("tillora-logo: ", 0), 0u) << line;
}

using test::ReadBytes;
using test::WriteBytes;

// A 24-bit bitmap file of a picture that exercises all three channels.
std::vector<std::uint8_t> TestBitmap(int w, int h) {
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, [](int x, int y) {
        const std::uint32_t red = ((x + y) * 3) & 255, green = (y * 9) & 255, blue = (x * 5) & 255;
        return (red << 16) | (green << 8) | blue;
    });
    return test::WriteBitmap(layout);
}

// The test picture of the expected-logo table, as a 24-bit bitmap file.
std::vector<std::uint8_t> ExpectedPictureBitmap(int w, int h) {
    test::BitmapLayout layout;
    layout.Width = w;
    layout.Height = h;
    layout.Pixels = test::PackRows(w, h, 24, false, test::ExpectedPictureRgb);
    return test::WriteBitmap(layout);
}

class CliTest : public ::testing::Test {
protected:
    test::TempDir tmp_{"tlc-cli"};
    const fs::path dir_ = tmp_.Path();
};

// Whether dot (x, y) is black in a logo file of `model` that is w dots wide
// and h high, read straight from the bytes.
bool FileDot(const std::vector<std::uint8_t>& file, int model, int w, int h, int x, int y) {
    const std::size_t k = model == 0 ? 7 : model == 1 ? 4 : 8;
    const std::size_t at = model == 3 ? static_cast<std::size_t>(y * (w / 8) + x / 8)
                                      : static_cast<std::size_t>(x * (h / 8) + y / 8);
    const int bit = model == 3 ? x % 8 : y % 8;
    return file[2 + k + at] & (0x80 >> bit);
}

TEST_F(CliTest, ConvertWritesTheExpectedFilesAndShowGivesBackTheDots) {
    for (const char* name : {"small", "w479", "a420x300"}) {
        const auto* picture = std::find_if(std::begin(test::kExpectedPictures), std::end(test::kExpectedPictures),
                                           [&](const test::ExpectedPicture& p) { return p.Name == std::string(name); });
        ASSERT_NE(picture, std::end(test::kExpectedPictures));
        const fs::path pictureFile = dir_ / (std::string(name) + ".bmp");
        WriteBytes(pictureFile, ExpectedPictureBitmap(picture->Width, picture->Height));
        int checked = 0;
        for (const test::ExpectedLogo& e : test::kExpectedLogos) {
            if (e.Picture != std::string(name)) continue;
            SCOPED_TRACE(::testing::Message() << name << " printer " << e.Printer << " thresholds "
                                              << e.ThresholdSet);
            const test::ExpectedThresholds& t = test::kExpectedThresholdSets[e.ThresholdSet];
            const fs::path logo = dir_ / "logo-out.rsc";
            const CliRun convert =
                Cli({"convert", pictureFile.string(), "--printer", std::to_string(e.Printer), "--thresholds",
                     std::to_string(t.Red) + "," + std::to_string(t.Green) + "," + std::to_string(t.Blue), "-o",
                     logo.string()});
            ASSERT_EQ(convert.status, 0) << convert.err;
            const std::vector<std::uint8_t> file = ReadBytes(logo);
            ASSERT_EQ(file.size(), e.Size);
            ASSERT_EQ(test::Sha256Hex(file), e.Sha256);
            ++checked;

            const fs::path pbm = dir_ / "dots.pbm";
            const CliRun show = Cli({"show", logo.string(), "-o", pbm.string()});
            ASSERT_EQ(show.status, 0) << show.err;
            const std::vector<std::uint8_t> p = ReadBytes(pbm);
            const std::string head = "P4\n" + std::to_string(e.Width) + " " + std::to_string(e.Height) + "\n";
            ASSERT_GE(p.size(), head.size());
            ASSERT_EQ(std::string(p.begin(), p.begin() + static_cast<long>(head.size())), head);
            const std::size_t rowBytes = static_cast<std::size_t>(e.Width + 7) / 8;
            ASSERT_EQ(p.size(), head.size() + rowBytes * static_cast<std::size_t>(e.Height));
            for (int y = 0; y < e.Height; ++y)
                for (int x = 0; x < e.Width; ++x) {
                    const bool shown = p[head.size() + static_cast<std::size_t>(y) * rowBytes +
                                         static_cast<std::size_t>(x / 8)] &
                                       (0x80 >> (x % 8));
                    ASSERT_EQ(shown, FileDot(file, e.Printer, e.Width, e.Height, x, y)) << x << "," << y;
                }
        }
        EXPECT_EQ(checked, 8);
    }
}

TEST_F(CliTest, ShowWritesAWindowsBitmapThatLoadsBack) {
    const fs::path picture = dir_ / "a.bmp";
    WriteBytes(picture, TestBitmap(20, 9));
    ASSERT_EQ(Cli({"convert", picture.string(), "--printer", "star"}).status, 0);
    ASSERT_TRUE(fs::exists(dir_ / "logo.rsc")); // default: beside the picture
    const fs::path bmp = dir_ / "dots.bmp";
    ASSERT_EQ(Cli({"show", (dir_ / "logo.rsc").string(), "-o", bmp.string()}).status, 0);
    const DecodedLogo logo = DecodeLogo(ReadBytes(dir_ / "logo.rsc"));
    EXPECT_EQ(logo.Model, 2);
    TPicture loaded;
    loaded.LoadFile(bmp.string());
    ASSERT_EQ(loaded.Width(), logo.Width);
    ASSERT_EQ(loaded.Height(), logo.Height);
    const TBitmapImage& im = static_cast<const TBitmap*>(loaded.Graphic())->Image();
    for (int y = 0; y < logo.Height; ++y)
        for (int x = 0; x < logo.Width; ++x)
            ASSERT_EQ(im.GetPixel(x, y), logo.Black(x, y) ? clBlack : clWhite) << x << "," << y;
}

TEST_F(CliTest, ErrorsUseTheSystemsMessagesAndBatchGoesOn) {
    WriteBytes(dir_ / "good.bmp", TestBitmap(8, 8));
    WriteBytes(dir_ / "bad.bmp", {'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0});
    WriteBytes(dir_ / "photo.jpg", {1, 2, 3});
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    const CliRun batch = Cli({"convert", (dir_ / "missing.bmp").string(), (dir_ / "bad.bmp").string(),
                           (dir_ / "photo.jpg").string(), (dir_ / "good.bmp").string(), "-d",
                           out.string()});
    EXPECT_EQ(batch.status, 1);
    EXPECT_NE(batch.err.find("Cannot open file " + (dir_ / "missing.bmp").string()), std::string::npos);
    EXPECT_NE(batch.err.find("Bitmap image is not valid"), std::string::npos);
    EXPECT_NE(batch.err.find("photo.jpg: JPEG file damaged: "), std::string::npos);
    EXPECT_TRUE(fs::exists(out / "good.rsc")); // the batch went on
    EXPECT_FALSE(fs::exists(out / "bad.rsc"));
    EXPECT_NE(batch.err.find("\ntillora-logo: 1 converted, 3 failed\n"), std::string::npos) << batch.err;
    ExpectEveryErrorLineNamesTheProgram(batch.err);

    const fs::path nowhere = dir_ / "no-such-folder" / "logo.rsc";
    const CliRun unwritable = Cli({"convert", (dir_ / "good.bmp").string(), "-o", nowhere.string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Unable to create the file " + nowhere.string()), std::string::npos);

    EXPECT_EQ(Cli({"convert", (dir_ / "good.bmp").string(), "--printer", "epsilon"}).status, 2);
    EXPECT_EQ(Cli({"convert", (dir_ / "good.bmp").string(), "-t", "1,2"}).status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    EXPECT_EQ(Cli({"--help"}).status, 0);
}

TEST_F(CliTest, ShowRefusesDamagedFilesAndWarnsOfPrinterLimits) {
    const fs::path picture = dir_ / "p.bmp";
    WriteBytes(picture, TestBitmap(30, 30));
    const fs::path logo = dir_ / "logo.rsc";
    ASSERT_EQ(Cli({"convert", picture.string(), "-o", logo.string()}).status, 0);
    std::vector<std::uint8_t> bytes = ReadBytes(logo);

    struct Damage {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* message = "";
    };
    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.end() - 1);
    std::vector<std::uint8_t> lengthened = bytes;
    lengthened.push_back(0);
    std::vector<std::uint8_t> badLength = bytes;
    badLength[0] ^= 1;
    std::vector<std::uint8_t> unknown = bytes;
    unknown[2] = 0x1E;
    for (const Damage& d : {Damage{"truncated", truncated}, Damage{"lengthened", lengthened},
                            Damage{"length word", badLength}, Damage{"unknown header", unknown},
                            Damage{"one byte", {7}},
                            Damage{"length word only", {7, 0}, ": logo file ends inside its header\n"},
                            Damage{"inside the fixed bytes", {8, 0, 0x1B, 0x23}, ": logo file ends inside its header\n"},
                            Damage{"inside the size fields", {7, 0, 0x1C, 0x71, 0x01, 0x01},
                                   ": logo file ends inside its header\n"},
                            Damage{"foreign", {7, 0, 0x1B, 0x40}, ": not a logo file: unknown printer command\n"}}) {
        SCOPED_TRACE(d.name);
        WriteBytes(dir_ / "damaged.rsc", d.bytes);
        const CliRun show = Cli({"show", (dir_ / "damaged.rsc").string()});
        EXPECT_EQ(show.status, 1);
        EXPECT_EQ(std::count(show.err.begin(), show.err.end(), '\n'), 1) << show.err;
        EXPECT_TRUE(show.err.ends_with(d.message)) << show.err;
    }

    // The blank logo of a fresh start breaks the printers' lower bounds.
    WriteBytes(dir_ / "blank.rsc", {0x07, 0x00, 0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00});
    const CliRun blank = Cli({"show", (dir_ / "blank.rsc").string()});
    EXPECT_EQ(blank.status, 0);
    EXPECT_NE(blank.err.find("FS q: X = 0 is outside 1 to 1023"), std::string::npos) << blank.err;
    EXPECT_NE(blank.err.find("FS q: Y = 0 is outside 1 to 288"), std::string::npos);
}

// --------------------------------------------------------- command-line habits

TEST_F(CliTest, OptionSpellingsAndStandardStreams) {
    const std::vector<std::uint8_t> bitmap = TestBitmap(37, 21);
    WriteBytes(dir_ / "shop.bmp", bitmap);
    WriteBytes(dir_ / "-p.bmp", bitmap); // only reachable after "--"
    const std::string picture = (dir_ / "shop.bmp").string();
    const fs::path reference = dir_ / "reference.rsc";
    ASSERT_EQ(Cli({"convert", picture, "--printer", "1", "--thresholds", "100,$50,70", "-o",
                   reference.string()})
                  .status,
              0);
    const std::string expected = Text(ReadBytes(reference));
    const std::string version =
        std::string("tillora-logo (Tillora Graphic Logo Converter) ") + TLC_TEST_VERSION + "\n";

    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string out;       // the whole of standard output; "*" for anything
        std::string errPart;   // found in standard error
        std::string writtenAs; // file that must then hold the reference logo
    };
    const std::string o = (dir_ / "o.rsc").string();
    const std::string bmpText = Text(bitmap);
    const Case cases[] = {
        {"--version", {"--version"}, "", 0, version, "", ""},
        {"-V", {"-V"}, "", 0, version, "", ""},
        {"version after a command", {"info", "--version"}, "", 0, version, "", ""},
        {"help after a command", {"convert", "--help"}, "", 0, "*", "", ""},
        {"-h after a command", {"show", "-h"}, "", 0, "*", "", ""},
        {"--opt=value", {"convert", picture, "--printer=1", "--thresholds=100,$50,70", "--output=" + o},
         "", 0, "*", "", o},
        {"abbreviated, glued", {"convert", "--print=Epson TM-T88I/", "-t100,$50,70", "-o" + o, picture},
         "", 0, "*", "", o},
        {"options after --", {"convert", "-o", o, "-t", "100,$50,70", "-p1", "--", "-p.bmp"}, "", 0,
         "*", "", o},
        {"stdin to stdout", {"convert", "-", "-p", "1", "-t", "100,$50,70", "-o", "-"}, bmpText, 0,
         expected, "standard input -> standard output", ""},
        {"stdin not a picture", {"convert", "-", "-o", o}, "hello", 1, "",
         "tillora-logo: standard input: ", ""},
        {"stdin twice", {"convert", "-", "-", "-d", dir_.string()}, bmpText, 2, "",
         "tillora-logo: standard input (-) can be read only once", ""},
        {"info of stdin", {"info", "-"}, std::string{0, 0, 1, 0, 0, 0}, 0, "*", "", ""},
        {"show of stdin", {"show", "-", "-o", (dir_ / "dots.pbm").string()}, expected, 0,
         "Printer: Epson TM-T88I/II (SRam) (model 1)\nSize: 40 x 24 dots\nDots written to " +
             (dir_ / "dots.pbm").string() + "\n",
         "", ""},
        {"threshold too big", {"convert", picture, "-t", "100,256,0"}, "", 2, "",
         "tillora-logo: threshold \"256\" is not a whole number from 0 to 255", ""},
        {"threshold negative", {"convert", picture, "-t", "-1,0,0"}, "", 2, "", "threshold \"-1\"", ""},
        {"threshold fraction", {"convert", picture, "-t", "1.5,0,0"}, "", 2, "", "threshold \"1.5\"", ""},
        {"threshold empty", {"convert", picture, "-t", "1,,0"}, "", 2, "", "threshold \"\"", ""},
        {"value missing", {"convert", picture, "--printer"}, "", 2, "",
         "tillora-logo: --printer needs a value", ""},
        {"flag with a value", {"convert", picture, "--quiet=1"}, "", 2, "",
         "tillora-logo: --quiet takes no value", ""},
        {"unknown short", {"convert", picture, "-x"}, "", 2, "", "tillora-logo: unknown option -x", ""},
        {"unknown long", {"--frob=2"}, "", 2, "", "tillora-logo: unknown option --frob=2", ""},
        {"no command", {}, "", 2, "", "tillora-logo: a command is needed", ""},
        {"width below 8", {"convert", picture, "--width", "7"}, "", 2, "",
         "tillora-logo: --width needs a whole number of dots from 8 up, not \"7\"", ""},
        {"width 8", {"convert", picture, "--width", "8", "-o", o}, "", 0, "*", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(o);
        const fs::path cwd = fs::current_path();
        fs::current_path(dir_); // "-p.bmp" is a relative name
        const CliRun run = Cli(c.args, c.input);
        fs::current_path(cwd);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.out != "*") {
            EXPECT_EQ(run.out, c.out);
        } else if (c.status == 0) {
            EXPECT_FALSE(run.out.empty());
        }
        if (c.errPart.empty() && c.status == 0)
            EXPECT_EQ(run.err, "");
        else
            EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
        if (c.status != 0) ExpectEveryErrorLineNamesTheProgram(run.err);
        if (!c.writtenAs.empty()) {
            EXPECT_EQ(Text(ReadBytes(c.writtenAs)), expected);
        }
    }
    EXPECT_NE(Cli({"info", "-"}, std::string{0, 0, 1, 0, 0, 0}).out.find("Kind: icon"),
              std::string::npos);
}

// A printer is its number, a whole name (the table's or the machine's), or
// the start of one printer's names; anything else is refused with the
// printers it could mean.
TEST_F(CliTest, PrinterTextsNameOnePrinterOrAreRefused) {
    WriteBytes(dir_ / "a.bmp", TestBitmap(9, 9));
    const std::string both = "0 \"Epson TM-T88III (NVRam)\" or 1 \"Epson TM-T88I/II (SRam)\"";
    struct Case {
        const char* text;
        int model;            // -1: refused
        std::string errPart;
    };
    const Case cases[] = {
        {"2", 2, ""},
        {"Epson TM-T88II", 1, ""},
        {"epson tm-t88i", 1, ""},
        {"Epson TM-T88III", 0, ""},
        {"EPSON TM-T88III (NVRam)", 0, ""},
        {"Epson TM-T88I/", 1, ""},
        {"star tsp700", 2, ""},
        {"ibm", 3, ""},
        {"epson", -1, "printer \"epson\" could be " + both + "; give its number"},
        {"e", -1, "printer \"e\" could be " + both},
        {"epsilon", -1, "unknown printer \"epsilon\"; the printers are 0 \"Epson TM-T88III (NVRam)\", 1 "
                        "\"Epson TM-T88I/II (SRam)\", 2 \"Star TSP-700\" or 3 \"IBM TF6\""},
        {"4", -1, "unknown printer \"4\""},
        {"", -1, "unknown printer \"\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        fs::remove(dir_ / "x.rsc");
        const CliRun run = Cli({"convert", (dir_ / "a.bmp").string(), "-p", c.text, "-o", (dir_ / "x.rsc").string()});
        if (c.model >= 0) {
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(DecodeLogo(ReadBytes(dir_ / "x.rsc")).Model, c.model);
        } else {
            EXPECT_EQ(run.status, 2);
            EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_FALSE(fs::exists(dir_ / "x.rsc"));
        }
    }
}

TEST_F(CliTest, BatchCreatesItsFolderCountsAndQuietens) {
    for (const char* name : {"a", "b", "c"}) WriteBytes(dir_ / (std::string(name) + ".bmp"), TestBitmap(9, 9));
    WriteBytes(dir_ / "bad.bmp", {'B', 'M'});
    const fs::path folder = dir_ / "new" / "logos";
    std::vector<std::string> args = {"convert", (dir_ / "a.bmp").string(), (dir_ / "bad.bmp").string(),
                                     (dir_ / "b.bmp").string(), (dir_ / "c.bmp").string(), "-d",
                                     folder.string()};
    const CliRun loud = Cli(args);
    EXPECT_EQ(loud.status, 1);
    EXPECT_EQ(std::count(loud.out.begin(), loud.out.end(), '\n'), 3) << loud.out;
    EXPECT_TRUE(loud.err.ends_with("\ntillora-logo: 3 converted, 1 failed\n")) << loud.err;
    for (const char* name : {"a.rsc", "b.rsc", "c.rsc"}) EXPECT_TRUE(fs::exists(folder / name));

    args.push_back("-q");
    const CliRun quiet = Cli(args);
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, loud.err);

    // A folder that cannot be made: one error, nothing converted.
    WriteBytes(dir_ / "plain", {1});
    const CliRun blocked = Cli({"convert", (dir_ / "a.bmp").string(), "-d", (dir_ / "plain" / "x").string()});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err, "tillora-logo: Unable to create the folder " + (dir_ / "plain" / "x").string() + "\n");
}

// A folder among the pictures stands for its pictures in name order, as a
// glob gives them: no hidden files, no other files, no subfolders unless -r.
TEST_F(CliTest, FoldersInABatchGiveTheirPicturesInNameOrder) {
    const fs::path pics = dir_ / "pics";
    fs::create_directories(pics / "sub");
    fs::create_directories(pics / ".cache");
    for (const fs::path& name : {fs::path("b.bmp"), fs::path("C.BMP"), fs::path("a.bmp"), fs::path(".hidden.bmp"),
                                 fs::path("sub") / "e.bmp", fs::path(".cache") / "d.bmp"})
        WriteBytes(pics / name, TestBitmap(9, 9));
    WriteBytes(pics / "notes.txt", {'h', 'i'});
    WriteBytes(dir_ / "x.bmp", TestBitmap(9, 9));
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((pics / "pipe.bmp").c_str(), 0600), 0); // would block an open
#endif
    const fs::path out = dir_ / "out";
    auto lines = [&](const std::vector<fs::path>& names) {
        std::string text;
        for (const fs::path& name : names)
            text += (dir_ / name).string() + " -> " + (out / (name.stem().string() + ".rsc")).string() +
                    " (Epson TM-T88III (NVRam), 16 x 16 dots)\n";
        return text;
    };
    // Byte order: capitals first, as a glob sorts in the C locale.
    const std::vector<fs::path> inFolder = {fs::path("pics") / "C.BMP", fs::path("pics") / "a.bmp",
                                            fs::path("pics") / "b.bmp"};
    std::vector<fs::path> expected = {"x.bmp"};
    expected.insert(expected.end(), inFolder.begin(), inFolder.end());
    const CliRun flat = Cli({"convert", (dir_ / "x.bmp").string(), pics.string(), "-d", out.string()});
    EXPECT_EQ(flat.status, 0) << flat.err;
    EXPECT_EQ(flat.out, lines(expected));
    EXPECT_EQ(flat.err, "tillora-logo: 4 converted, 0 failed\n");
    const CliRun deep = Cli({"convert", pics.string(), "-r", "-d", out.string()});
    EXPECT_EQ(deep.status, 0) << deep.err;
    expected = inFolder;
    expected.push_back(fs::path("pics") / "sub" / "e.bmp");
    EXPECT_EQ(deep.out, lines(expected));
    EXPECT_FALSE(fs::exists(out / "d.rsc"));
    EXPECT_FALSE(fs::exists(out / "pipe.rsc"));

    EXPECT_EQ(Cli({"convert", pics.string()}).status, 2); // several pictures need -d
    fs::create_directories(dir_ / "empty");
    const CliRun empty = Cli({"convert", (dir_ / "empty").string(), "-d", out.string()});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "tillora-logo: " + (dir_ / "empty").string() +
                             ": warning: no pictures in this folder (-r looks into its subfolders)\n"
                             "tillora-logo: no pictures to convert\n");
}

// A batch longer than the pictures converted side by side and flushed
// together: every logo is the one converting the picture alone gives, and
// the lines, the failures and the refusals keep the pictures' order.
TEST_F(CliTest, LongBatchMatchesSingleConversionsInOrder) {
    constexpr int kPictures = 150;
    fs::create_directories(dir_ / "other");
    std::vector<std::string> args = {"convert"};
    for (int i = 0; i < kPictures; ++i) {
        const std::string name = "p" + std::to_string(1000 + i) + ".bmp";
        const fs::path picture = i == 100 ? dir_ / "other" / "p1003.bmp" : dir_ / name;
        if (i == 70)
            WriteBytes(picture, {'B', 'M', 0, 0});
        else
            WriteBytes(picture, TestBitmap(20 + i % 37, 10 + i % 23));
        args.push_back(picture.string());
    }
    const fs::path folder = dir_ / "logos";
    args.insert(args.end(), {"-d", folder.string()});
#ifdef _WIN32
    const CliRun batch = Cli(args);
#else
    // Under a small limit of open files, as a shell's `ulimit -n 40` sets.
    rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit small = before;
    small.rlim_cur = std::min<rlim_t>(before.rlim_cur, 40);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &small), 0);
    const CliRun batch = Cli(args);
    ::setrlimit(RLIMIT_NOFILE, &before);
#endif
    EXPECT_EQ(batch.status, 1);

    std::istringstream lines(batch.out);
    std::string line;
    for (int i = 0; i < kPictures; ++i) {
        const std::string& picture = args[static_cast<std::size_t>(i) + 1];
        if (i == 70 || i == 100) continue;
        ASSERT_TRUE(std::getline(lines, line)) << i;
        const fs::path output = folder / (fs::path(picture).stem().string() + ".rsc");
        EXPECT_EQ(line.rfind(picture + " -> " + output.string() + " (", 0), 0u) << line;
        const CliRun alone = Cli({"convert", picture, "-o", (dir_ / "alone.rsc").string(), "-q"});
        ASSERT_EQ(alone.status, 0) << alone.err;
        EXPECT_EQ(ReadBytes(output), ReadBytes(dir_ / "alone.rsc")) << picture;
    }
    EXPECT_FALSE(std::getline(lines, line)) << line;
    const std::size_t damaged = batch.err.find(args[71] + ": ");
    const std::size_t clash = batch.err.find(args[101] + ": " + (folder / "p1003.rsc").string() +
                                             " already holds the logo of " + args[4]);
    EXPECT_NE(damaged, std::string::npos) << batch.err;
    EXPECT_NE(clash, std::string::npos) << batch.err;
    EXPECT_LT(damaged, clash);
    EXPECT_TRUE(batch.err.ends_with("\ntillora-logo: 148 converted, 2 failed\n")) << batch.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator{}), kPictures - 2);
}

// A stream whose every write fails, as standard output on a full disk.
class FullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(CliTest, FailedWritesToStandardOutputAreFailures) {
    WriteBytes(dir_ / "a.bmp", TestBitmap(9, 9));
    FullBuffer full;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"},
          std::vector<std::string>{"convert", (dir_ / "a.bmp").string(), "-o", "-"},
          std::vector<std::string>{"info", (dir_ / "a.bmp").string()}}) {
        SCOPED_TRACE(args[0]);
        std::istringstream in;
        std::ostream out(&full);
        std::ostringstream err;
        EXPECT_EQ(RunCli(args, in, out, err), 1);
        EXPECT_EQ(err.str(), "tillora-logo: cannot write to standard output\n"); // one line for one failure
    }
}

#ifndef _WIN32 // through a POSIX shell; the Windows build checks its streams in compare_windows_logos.sh
// The built program on real standard streams: binary stdin and stdout, and
// /dev/full behind standard output.
TEST_F(CliTest, ProgramUsesItsStandardStreams) {
    const std::string program = TLC_LOGO_PROGRAM;
    WriteBytes(dir_ / "a.bmp", TestBitmap(23, 17));
    ASSERT_EQ(Cli({"convert", (dir_ / "a.bmp").string(), "-o", (dir_ / "ref.rsc").string()}).status, 0);
    const std::string d = dir_.string();
    auto run = [](const std::string& command) {
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(program + " convert - -o - <'" + d + "/a.bmp' >'" + d + "/piped.rsc' 2>/dev/null"), 0);
    EXPECT_EQ(ReadBytes(dir_ / "piped.rsc"), ReadBytes(dir_ / "ref.rsc"));
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(run(program + " --version >/dev/full 2>'" + d + "/err'"), 1);
        EXPECT_EQ(Text(ReadBytes(dir_ / "err")), "tillora-logo: cannot write to standard output\n");
        EXPECT_EQ(run(program + " convert '" + d + "/a.bmp' -o - >/dev/full 2>'" + d + "/err'"), 1);
        EXPECT_EQ(Text(ReadBytes(dir_ / "err")), "tillora-logo: cannot write to standard output\n");
    }
}
#endif

TEST(PrinterCommandWarnings, NamesEachBrokenLimit) {
    EXPECT_TRUE(PrinterCommandWarnings(0, 75, 75).empty());
    EXPECT_TRUE(PrinterCommandWarnings(1, 32, 48).empty()); // 1536 exactly
    EXPECT_EQ(PrinterCommandWarnings(1, 60, 48).size(), 1u); // 480 x 384: above 1536
    EXPECT_EQ(PrinterCommandWarnings(2, 1024, 289).size(), 2u);
    EXPECT_TRUE(PrinterCommandWarnings(3, 71, 115).empty());
    EXPECT_EQ(PrinterCommandWarnings(3, 72, 114).size(), 1u); // 65664 bytes of data
    // The IBM command takes under 65376 bytes of dots (the largest logo the
    // model's area allows has 65320): 36 x 227 units is exactly that many.
    EXPECT_TRUE(PrinterCommandWarnings(3, 43, 190).empty()); // 65360
    EXPECT_EQ(PrinterCommandWarnings(3, 36, 227),
              std::vector<std::string>{"IBM logo: 65376 bytes of dot data, the printer takes under 65376"});
    EXPECT_EQ(PrinterCommandWarnings(3, 73, 0).size(), 2u);
}

// A batch never destroys its own pictures or outputs: the clashing or
// self-overwriting item is refused with a message, the rest go on, exit 1.
TEST_F(CliTest, ConvertRefusesToOverwriteItsPicturesAndEarlierOutputs) {
    fs::create_directories(dir_ / "a");
    fs::create_directories(dir_ / "b");
    fs::create_directories(dir_ / "out");
    WriteBytes(dir_ / "a" / "x.bmp", TestBitmap(8, 8));
    WriteBytes(dir_ / "b" / "x.bmp", TestBitmap(16, 16));
    WriteBytes(dir_ / "b" / "y.bmp", TestBitmap(8, 8));
    const CliRun batch = Cli({"convert", (dir_ / "a" / "x.bmp").string(), (dir_ / "b" / "x.bmp").string(),
                              (dir_ / "b" / "y.bmp").string(), "-d", (dir_ / "out").string()});
    EXPECT_EQ(batch.status, 1);
    const std::string out = (dir_ / "out" / "x.rsc").string();
    EXPECT_NE(batch.err.find("tillora-logo: " + (dir_ / "b" / "x.bmp").string() + ": " + out +
                             " already holds the logo of " + (dir_ / "a" / "x.bmp").string() +
                             " from this run; not overwritten\n"),
              std::string::npos)
        << batch.err;
    EXPECT_EQ(DecodeLogo(ReadBytes(out)).Width, 16); // the first picture's logo (8 + margin)
    EXPECT_TRUE(fs::exists(dir_ / "out" / "y.rsc"));

    // The output is the picture: by name, through a link, by a hard link.
    const std::vector<std::uint8_t> picture = ReadBytes(dir_ / "a" / "x.bmp");
    std::vector<fs::path> outputs = {dir_ / "a" / "x.bmp", dir_ / "link.rsc"};
    std::error_code noLinks; // Windows gives symbolic links to administrators only
    fs::create_symlink(dir_ / "a" / "x.bmp", dir_ / "link.rsc", noLinks);
    if (noLinks) outputs.pop_back();
    fs::create_hard_link(dir_ / "a" / "x.bmp", dir_ / "b" / "y.rsc");
    for (const fs::path& output : outputs) {
        const CliRun self = Cli({"convert", (dir_ / "a" / "x.bmp").string(), "-o", output.string()});
        EXPECT_EQ(self.status, 1);
        EXPECT_EQ(self.err, "tillora-logo: " + (dir_ / "a" / "x.bmp").string() + ": '" +
                                output.string() + "' and '" + (dir_ / "a" / "x.bmp").string() +
                                "' are the same file; the picture is not overwritten\n");
    }
    const CliRun linked = Cli({"convert", (dir_ / "b" / "y.bmp").string(), (dir_ / "a" / "x.bmp").string(),
                               "-d", (dir_ / "b").string()});
    EXPECT_EQ(linked.status, 1);
    EXPECT_NE(linked.err.find("are the same file"), std::string::npos) << linked.err;
    EXPECT_EQ(ReadBytes(dir_ / "a" / "x.bmp"), picture);
    EXPECT_TRUE(fs::exists(dir_ / "b" / "x.rsc")); // the other picture went on
    EXPECT_NE(Cli({"--help"}).out.find("is refused (exit status 1)"), std::string::npos);
}

// Names reach the terminal with their control bytes escaped, one line per
// report: a crafted name can neither drive the terminal nor forge a line.
TEST_F(CliTest, NamesAreShownWithTheirControlBytesEscaped) {
#ifndef _WIN32 // Windows file names hold no control bytes
    const std::string odd = std::string("a\x1b]0;x\x07") + "b\nc\rd\xc2\x9b" + ".bmp";
    const fs::path picture = dir_ / odd;
    WriteBytes(picture, TestBitmap(8, 8));
    const std::string shown = (dir_ / "a\\033]0;x\\007b\\nc\\rd\\302\\233.bmp").string();
    const CliRun run = Cli({"convert", picture.string(), "-o", (dir_ / "x.rsc").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(shown + " -> ", 0), 0u) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
#endif

    const fs::path missing = dir_ / "gone\n\x1b[2J.bmp";
    const CliRun failed = Cli({"info", missing.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
    EXPECT_EQ(failed.err.find('\x1b'), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("gone\\n\\033[2J.bmp"), std::string::npos) << failed.err;
}

#ifndef _WIN32 // modes, symbolic links and a child process of POSIX
// show -o writes through the same writer as the save.
TEST_F(CliTest, ShowOutputIsWrittenLikeTheSave) {
    const fs::path picture = dir_ / "p.bmp";
    WriteBytes(picture, TestBitmap(8, 8));
    const fs::path logo = dir_ / "logo.rsc";
    ASSERT_EQ(Cli({"convert", picture.string(), "-o", logo.string()}).status, 0);

    // The mode of an existing picture is kept; a link at the old fixed
    // temporary name is not written through.
    const fs::path pbm = dir_ / "dots.pbm";
    WriteBytes(pbm, {'o', 'l', 'd'});
    fs::permissions(pbm, fs::perms::owner_read | fs::perms::owner_write);
    WriteBytes(dir_ / "victim", {'v'});
    fs::create_symlink(dir_ / "victim", dir_ / "dots.pbm.tmp-tillora");
    ASSERT_EQ(Cli({"show", logo.string(), "-o", pbm.string()}).status, 0);
    EXPECT_EQ(fs::status(pbm).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadBytes(pbm).at(0), 'P');
    EXPECT_EQ(ReadBytes(dir_ / "victim"), std::vector<std::uint8_t>{'v'});

    // The logo itself, by a hard link with a picture's name, is kept.
    const fs::path twin = dir_ / "twin.pbm";
    fs::create_hard_link(logo, twin);
    const std::vector<std::uint8_t> logoBytes = ReadBytes(logo);
    const CliRun onto = Cli({"show", logo.string(), "-o", twin.string()});
    EXPECT_EQ(onto.status, 1);
    EXPECT_EQ(onto.err, "tillora-logo: " + twin.string() + ": '" + twin.string() + "' and '" + logo.string() +
                            "' are the same file; the logo is not overwritten\n");
    EXPECT_EQ(ReadBytes(logo), logoBytes);

    // A missing folder: the save's message.
    const fs::path nowhere = dir_ / "missing" / "dots.bmp";
    const CliRun missing = Cli({"show", logo.string(), "-o", nowhere.string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "tillora-logo: " + nowhere.string() + ": Unable to create the file " + nowhere.string() +
                  ": No such file or directory\n");

    // The 0 x 0 logo of a fresh start: no picture form a reader takes (netpbm
    // refuses a 0 x 0 .pbm too), so none is written.
    const fs::path blank = dir_ / "blank.rsc";
    WriteBytes(blank, {0x07, 0x00, 0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00});
    for (const char* name : {"blank.pbm", "blank.bmp"}) {
        const CliRun run = Cli({"show", blank.string(), "-o", (dir_ / name).string()});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("a logo of 0 x 0 dots has no dots to write as a picture"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(dir_ / name));
    }
}

// Peak memory, in MiB, that `work` adds, measured in a child process.
long AddedMemoryMiB(const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        struct rusage before {}, after {};
        ::getrusage(RUSAGE_SELF, &before);
        work();
        ::getrusage(RUSAGE_SELF, &after);
        const long added = (after.ru_maxrss - before.ru_maxrss) / 1024;
        if (::write(fds[1], &added, sizeof added) != sizeof added) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    long added = -1;
    if (::read(fds[0], &added, sizeof added) != sizeof added) added = -1;
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return added;
}

// Hostile sizes are refused from the header, before the file is read whole
// or its dots are spread out: memory stays far below the file's size.
TEST_F(CliTest, HostileSizesAreRefusedFromTheHeader) {
    // A 40 MB logo claiming X = 65535: far beyond any printer.
    const fs::path logo = dir_ / "huge.rsc";
    {
        const std::uint32_t y = 80;
        std::vector<std::uint8_t> head = {0, 0, 0x1C, 0x71, 0x01, 0xFF, 0xFF, y, 0};
        const std::uint64_t data = std::uint64_t{65535} * y * 8;
        head[0] = static_cast<std::uint8_t>((data + 7) & 0xFF);
        head[1] = static_cast<std::uint8_t>(((data + 7) >> 8) & 0xFF);
        WriteBytes(logo, head);
        fs::resize_file(logo, head.size() + data);
    }
    CliRun show{};
    const long showMiB = AddedMemoryMiB([&] {
        show = Cli({"show", logo.string()});
        if (show.status != 1 || show.err.find("are more than any printer holds (at most 2356992 bytes of dot data, 8184 x 2304 dots)") ==
                                    std::string::npos)
            _exit(3);
    });
    EXPECT_GE(showMiB, 0) << "show did not refuse the size";
    EXPECT_LT(showMiB, 30);

    // A 300 MiB bitmap whose header claims more than any raster we hold.
    const fs::path picture = dir_ / "huge.bmp";
    test::BitmapLayout layout;
    layout.Width = 60000;
    layout.Height = 60000;
    layout.SizeImage = 0;
    WriteBytes(picture, test::WriteBitmap(layout));
    fs::resize_file(picture, std::uintmax_t{300} << 20);
    const long infoMiB = AddedMemoryMiB([&] {
        const CliRun info = Cli({"info", picture.string()});
        if (info.status != 1 || info.err.find("Out of system resources") == std::string::npos) _exit(3);
    });
    EXPECT_GE(infoMiB, 0) << "info did not refuse the size";
    EXPECT_LT(infoMiB, 30);
}
#endif

} // namespace
} // namespace tlc
