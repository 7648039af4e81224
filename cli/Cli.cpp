#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>

#include "base/Exceptions.h"
#include "base/ParseInt.h"
#include "image/Bitmap.h"
#include "image/FileBytes.h"
#include "image/Icon.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/FileWriter.h"
#include "logo/LogoWriter.h"
#include "logo/LogoReader.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage:\n"
    "  tillora-logo convert PICTURE [--printer N|NAME] [--thresholds R,G,B] [-o FILE]\n"
    "  tillora-logo convert PICTURE... -d FOLDER [--printer N|NAME] [--thresholds R,G,B]\n"
    "  tillora-logo show LOGO [-o PICTURE.pbm|PICTURE.bmp]\n"
    "  tillora-logo info PICTURE\n"
    "  tillora-logo --help\n"
    "\n"
    "convert  turns a picture (.bmp; .ico, .emf and .wmf load but cannot be converted)\n"
    "         into a logo file, exactly as the converter's window does. Printer: 0 to 3\n"
    "         or the start of its name (default 0); thresholds 0 to 255 (default\n"
    "         128,128,128); output logo.rsc beside the picture, or FILE, or NAME.rsc\n"
    "         in FOLDER for each picture. An output that is one of the pictures, or\n"
    "         that an earlier picture of the run wrote, is refused (exit status 1)\n"
    "         and the rest go on.\n"
    "show     checks a logo file and prints its printer, size and dots, or writes\n"
    "         the dots as a portable bitmap (.pbm) or a 1-bit Windows bitmap (.bmp).\n"
    "info     tells what loading a picture sees and the logo size for each printer.\n"
    "\n"
    "Printers:\n";

class UsageError : public Exception {
public:
    using Exception::Exception;
};

const TPrinterModels& Models() {
    static const TPrinterModels models = BuildPrinterModels();
    return models;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// An index 0 to 3, or the first printer whose name starts with the text
// (letter case ignored), as the printer list completes a typed name.
int ParsePrinter(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return text[0] - '0';
    const std::string wanted = Lower(text);
    if (!wanted.empty())
        for (int i = 0; i < kPrinterModelCount; ++i)
            if (Lower(Models()[static_cast<std::size_t>(i)].Name).rfind(wanted, 0) == 0) return i;
    throw UsageError("unknown printer \"" + text + "\"");
}

// Three numbers read and corrected as the threshold boxes do.
Thresholds ParseThresholds(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos
                                                                       : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 3) throw UsageError("--thresholds needs three values: R,G,B");
    auto value = [](const std::string& part) {
        return ParseIntOrDefault(CorrectThresholdText(part), 0);
    };
    return Thresholds{value(parts[0]), value(parts[1]), value(parts[2])};
}

std::string DescribeDots(const LogoGeometry& g) {
    return std::to_string(g.Width) + " x " + std::to_string(g.Height) + " dots";
}

// --------------------------------------------------------------------- convert

struct ConvertOptions {
    std::vector<std::string> pictures;
    int printer = 0;
    Thresholds thresholds{128, 128, 128};
    std::optional<std::string> output;
    std::optional<std::string> folder;
};

// The road of the window: load into an auto-sized source image, convert into
// the target image, save through the same writer.
void ConvertOne(const std::string& picture, const std::string& output, const ConvertOptions& o,
                std::ostream& out) {
    TImage source, target;
    source.SetAutoSize(true);
    source.Picture().LoadFile(picture);
    LogoGeometry geometry;
    ConvertImage(source, target, o.thresholds, LimitsOf(Models(), o.printer), geometry);
    const LogoWriteResult result = WriteLogoFile(output, o.printer, geometry, target);
    if (!result) throw Exception(result.Message);
    out << picture << " -> " << output << " (" << Models()[static_cast<std::size_t>(o.printer)].Name
        << ", " << DescribeDots(geometry) << ")\n";
}

// Refuses an output that would destroy a picture of the run, as cp refuses
// to copy a file onto itself, or the logo of an earlier picture of the run.
void CheckOutput(const std::string& output, const std::vector<std::string>& pictures,
                 const std::vector<std::pair<std::string, std::string>>& written) {
    for (const std::string& picture : pictures)
        if (SameFile(output, picture))
            throw Exception("'" + output + "' and '" + picture +
                            "' are the same file; the picture is not overwritten");
    for (const auto& [earlier, from] : written)
        if (SameFile(output, earlier))
            throw Exception(output + " already holds the logo of " + from +
                            " from this run; not overwritten");
}

std::string DefaultOutput(const std::string& picture) {
    const fs::path folder = fs::path(picture).parent_path();
    return folder.empty() ? std::string("logo.rsc") : (folder / "logo.rsc").string();
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ConvertOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--printer" || a == "-p") {
            o.printer = ParsePrinter(value());
        } else if (a == "--thresholds" || a == "-t") {
            o.thresholds = ParseThresholds(value());
        } else if (a == "-o" || a == "--output") {
            o.output = value();
        } else if (a == "-d" || a == "--folder") {
            o.folder = value();
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else {
            o.pictures.push_back(a);
        }
    }
    if (o.pictures.empty()) throw UsageError("convert needs a picture");
    if (o.output && o.folder) throw UsageError("-o and -d cannot be used together");
    if (o.pictures.size() > 1 && !o.folder)
        throw UsageError("several pictures need -d FOLDER");

    int failures = 0;
    std::vector<std::pair<std::string, std::string>> written; // output, picture
    for (const std::string& picture : o.pictures) {
        std::string output;
        if (o.folder)
            output = (fs::path(*o.folder) / fs::path(picture).stem()).string() + ".rsc";
        else
            output = o.output ? *o.output : DefaultOutput(picture);
        try {
            CheckOutput(output, o.pictures, written);
            ConvertOne(picture, output, o, out);
            written.emplace_back(output, picture);
        } catch (const std::bad_alloc&) {
            err << picture << ": Out of system resources\n";
            ++failures;
        } catch (const Exception& e) {
            err << picture << ": " << e.Message() << '\n';
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

// ------------------------------------------------------------------------ show

std::vector<std::uint8_t> PortableBitmap(const DecodedLogo& logo) {
    const std::string head =
        "P4\n" + std::to_string(logo.Width) + " " + std::to_string(logo.Height) + "\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    const std::size_t rowBytes = (static_cast<std::size_t>(logo.Width) + 7) / 8;
    for (std::int32_t y = 0; y < logo.Height; ++y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// 1 bit per dot, white as colour 0 and black as colour 1, bottom row first.
std::vector<std::uint8_t> WindowsBitmap(const DecodedLogo& logo) {
    const std::uint32_t stride = ((static_cast<std::uint32_t>(logo.Width) + 31) / 32) * 4;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(logo.Height);
    const std::uint32_t offset = 14 + 40 + 8;
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, offset + pixelBytes);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(logo.Width));
    Put32(b, static_cast<std::uint32_t>(logo.Height));
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 0);
    Put32(b, pixelBytes);
    Put32(b, 7874); // 200 dots per inch, as the printers print
    Put32(b, 7874);
    Put32(b, 2);
    Put32(b, 2);
    Put32(b, 0x00FFFFFF);
    Put32(b, 0x00000000);
    for (std::int32_t y = logo.Height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// At most 72 characters across; a character shows a block of dots: "#" when
// at least half of them are black, "+" when some are, "." when none.
void PrintTextPicture(const DecodedLogo& logo, std::ostream& out) {
    if (logo.Width == 0 || logo.Height == 0) return;
    const std::int32_t sx = std::max<std::int32_t>(1, (logo.Width + 71) / 72);
    const std::int32_t sy = sx * 2; // characters are about twice as tall as wide
    for (std::int32_t y0 = 0; y0 < logo.Height; y0 += sy) {
        std::string line;
        for (std::int32_t x0 = 0; x0 < logo.Width; x0 += sx) {
            int black = 0, all = 0;
            for (std::int32_t y = y0; y < std::min(y0 + sy, logo.Height); ++y)
                for (std::int32_t x = x0; x < std::min(x0 + sx, logo.Width); ++x, ++all)
                    black += logo.Black(x, y) ? 1 : 0;
            line += black * 2 >= all ? '#' : black > 0 ? '+' : '.';
        }
        out << line << '\n';
    }
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == suffix;
}

int Show(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::optional<std::string> logoPath, output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) throw UsageError("-o needs a value");
            output = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            throw UsageError("unknown option " + args[i]);
        } else if (logoPath) {
            throw UsageError("show takes one logo file");
        } else {
            logoPath = args[i];
        }
    }
    if (!logoPath) throw UsageError("show needs a logo file");
    if (output && !EndsWith(*output, ".pbm") && !EndsWith(*output, ".bmp"))
        throw UsageError("-o takes a .pbm or .bmp file name");

    DecodedLogo logo;
    try {
        logo = DecodeLogo(ReadFileBytes(*logoPath, kLogoHeadBytes, CheckLogoFileHead));
    } catch (const Exception& e) {
        err << *logoPath << ": " << e.Message() << '\n';
        return 1;
    }
    out << "Printer: " << Models()[static_cast<std::size_t>(logo.Model)].Name << " (model "
        << logo.Model << ")\n";
    out << "Size: " << logo.Width << " x " << logo.Height << " dots\n";
    for (const std::string& w : logo.Warnings) err << *logoPath << ": warning: " << w << '\n';
    if (output && !EndsWith(*output, ".pbm") && (logo.Width == 0 || logo.Height == 0)) {
        // A Windows bitmap has at least one dot across and down.
        err << *output << ": a logo of " << DescribeDots({logo.Width, logo.Height})
            << " has no Windows bitmap form; write it as .pbm\n";
        return 1;
    }
    if (output) {
        const FileWriteResult result = WriteFileCarefully(
            *output, EndsWith(*output, ".pbm") ? PortableBitmap(logo) : WindowsBitmap(logo));
        if (!result) {
            err << *output << ": " << result.Message << '\n';
            return 1;
        }
        out << "Dots written to " << *output << '\n';
    } else {
        PrintTextPicture(logo, out);
    }
    return 0;
}

// ------------------------------------------------------------------------ info

const char* CompressionName(std::uint32_t compression) {
    switch (compression) {
    case BI_RGB: return "none";
    case BI_RLE8: return "8-bit run-length";
    case BI_RLE4: return "4-bit run-length";
    case BI_BITFIELDS: return "channel masks";
    default: return "other";
    }
}

int Info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || (args[0].size() > 1 && args[0][0] == '-'))
        throw UsageError("info takes one picture");
    const std::string& picture = args[0];
    TPicture pic;
    try {
        pic.LoadFile(picture);
    } catch (const Exception& e) {
        err << picture << ": " << e.Message() << '\n';
        return 1;
    }
    const TGraphic* g = pic.Graphic();
    out << "Picture: " << picture << '\n';
    switch (g->Kind()) {
    case GraphicKind::Bitmap: {
        const TBitmapImage& im = static_cast<const TBitmap*>(g)->Image();
        out << "Kind: bitmap\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        out << "Bits per pixel: " << im.FileBitCount << " in the file, " << im.BitCount()
            << " as held\n";
        out << "Colour table: " << im.ColourTable().size() << " entries\n";
        out << "Compression: " << CompressionName(im.FileCompression) << '\n';
        out << "Rows: " << (im.Height() < 0 ? "top row first" : "bottom row first") << '\n';
        break;
    }
    case GraphicKind::Icon:
        out << "Kind: icon (shown, not converted)\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        break;
    case GraphicKind::Metafile: {
        const TMetafileImage& im = static_cast<const TMetafile*>(g)->Image();
        out << "Kind: " << (im.Enhanced ? "enhanced metafile" : "Windows metafile")
            << " (shown, not converted)\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        break;
    }
    }
    out << "Logo size by printer:\n";
    for (int i = 0; i < kPrinterModelCount; ++i) {
        const LogoGeometry geometry = FitGeometry(pic.Width(), pic.Height(), LimitsOf(Models(), i));
        out << "  " << i << "  " << Models()[static_cast<std::size_t>(i)].Name << ": "
            << DescribeDots(geometry) << '\n';
    }
    if (g->Kind() != GraphicKind::Bitmap)
        out << "Only bitmaps can be converted.\n";
    return 0;
}

void PrintUsage(std::ostream& out) {
    out << kUsage;
    for (int i = 0; i < kPrinterModelCount; ++i)
        out << "  " << i << "  " << Models()[static_cast<std::size_t>(i)].Name << '\n';
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty()) {
            PrintUsage(err);
            return 2;
        }
        const std::string& command = args[0];
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "--help" || command == "-h" || command == "help") {
            PrintUsage(out);
            return 0;
        }
        if (command == "convert") return Convert(rest, out, err);
        if (command == "show") return Show(rest, out, err);
        if (command == "info") return Info(rest, out, err);
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        err << "tillora-logo: " << e.Message() << "\n(tillora-logo --help tells the usage)\n";
        return 2;
    } catch (const Exception& e) {
        err << "tillora-logo: " << e.Message() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "tillora-logo: " << e.what() << '\n';
        return 1;
    }
}

} // namespace tlc
