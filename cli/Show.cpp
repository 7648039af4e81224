#include <algorithm>
#include <optional>
#include <ostream>

#include "cli/Commands.h"
#include "cli/DotWriters.h"
#include "cli/Options.h"
#include "cli/Streams.h"
#include "files/FileOps.h"
#include "files/FileWriter.h"
#include "logo/LogoReader.h"
#include "logo/PrinterModels.h"

// `tillora-logo show`: a logo file checked, described, and its dots drawn as
// text or written as a picture.
namespace tlc::cli {

namespace {

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

} // namespace

int Show(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err) {
    std::optional<std::string> output;
    const ParsedOptions parsed =
        ParseOptions(args, {{"output", 'o', true, [&](const std::string& v) { output = v; }}});
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.empty()) throw UsageError("show needs a logo file");
    if (parsed.Operands.size() > 1) throw UsageError("show takes one logo file");
    const std::string& logoPath = parsed.Operands[0];
    const std::string logoName = DisplayName(logoPath, "standard input");
    if (output && !EndsWith(*output, ".pbm") && !EndsWith(*output, ".bmp") && !EndsWith(*output, ".png"))
        throw UsageError("-o takes a .pbm, .bmp or .png file name");

    DecodedLogo logo;
    try {
        logo = DecodeLogo(ReadLogoBytes(logoPath, in));
    } catch (const Exception& e) {
        ReportFailure(err, logoName, e.Message());
        return 1;
    }
    out << "Printer: " << Printer(logo.Model).Name << " (model "
        << logo.Model << ")\n";
    out << "Size: " << logo.Width << " x " << logo.Height << " dots\n";
    for (const std::string& w : logo.Warnings) ReportFailure(err, logoName, "warning: " + w);
    // Blank columns at the right lose nothing: count up to the last black dot.
    std::int32_t inked = 0;
    for (std::int32_t y = 0; y < logo.Height; ++y)
        for (std::int32_t x = logo.Width - 1; x >= inked; --x)
            if (logo.Black(x, y)) {
                inked = x + 1;
                break;
            }
    WarnOfPrintWidth(err, logoName, logo.Model, logo.Width, inked);
    if (output && (logo.Width == 0 || logo.Height == 0)) {
        // Bitmaps, PNG pictures and the netpbm tools all want at least one dot across and down.
        ReportFailure(err, *output,
                      "a logo of " + DescribeDots({logo.Width, logo.Height}) + " has no dots to write as a picture");
        return 1;
    }
    if (output) {
        // As convert keeps its pictures, show keeps the logo it reads (the
        // same name, or a hard link to it).
        FileFacts in, to;
        if (logoPath != kStdio && DefaultFileOps().Inspect(logoPath, in) && in.Exists &&
            DefaultFileOps().Inspect(*output, to) && to.Exists && in.Device == to.Device &&
            in.Inode == to.Inode) {
            ReportFailure(err, *output,
                          "'" + *output + "' and '" + logoPath + "' are the same file; the logo is not overwritten");
            return 1;
        }
        const FileWriteResult result = WriteFileCarefully(
            *output, EndsWith(*output, ".pbm")   ? PortableBitmap(logo)
                     : EndsWith(*output, ".bmp") ? WindowsBitmap(logo)
                                                 : OneBitPng(logo));
        if (!result) {
            ReportFailure(err, *output, UnableToCreateMessage(*output, result.Cause));
            return 1;
        }
        out << "Dots written to " << Printable(*output) << '\n';
    } else {
        PrintTextPicture(logo, out);
    }
    return 0;
}

} // namespace tlc::cli
