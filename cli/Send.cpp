#include <iterator>
#include <ostream>
#include <span>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Streams.h"
#include "base/ParseInt.h"
#include "files/FileWriter.h"
#include "files/PrinterPort.h"
#include "image/Image.h"
#include "logo/LogoFile.h"
#include "logo/LogoReader.h"
#include "logo/PrinterModels.h"

// `tillora-logo send`: a logo file's printer command and dot data to the
// printer, as the point-of-sale software sends them.
namespace tlc::cli {

namespace {

int ParseSeconds(const std::string& text) {
    const std::int32_t value = ParseIntOrDefault(text, -1);
    if (value < 1 || value > 3600) throw UsageError("--timeout takes 1 to 3600 seconds");
    return value;
}

int ParseBaud(const std::string& text) {
    const std::int32_t value = ParseIntOrDefault(text, -1);
    for (int baud : {9600, 19200, 38400, 57600, 115200})
        if (value == baud) return baud;
    throw UsageError("--baud takes 9600, 19200, 38400, 57600 or 115200");
}

// The command that prints the stored logo once, then feeds the paper to the
// cutter and cuts it, where the maker's reference gives one; empty where not.
//   FS p n m (1C 70 n m), print NV bit image n in mode m: Epson TM-T88III
//     product reference (STANDARD) rev. B, FS p; n = 1 is the image FS q stored,
//     m = 0 normal size.
//   GS / m (1D 2F m), print downloaded bit image in mode m: Epson TM-T88/T88P
//     Information Manual rev. A, GS /; the image GS * downloaded, m = 0 normal.
//   GS V m n with m = 66 (1D 56 42 n): feed to the cutting position plus n and
//     cut partially: the same manual, p. 1-47, and the ESC/POS Application
//     Programming Guide ver. 10.01 p. 373; n = 0.
// The Star and IBM command references were not at hand: for those models
// --print sends nothing rather than a guess.
std::vector<std::uint8_t> PrintCommand(int model) {
    constexpr std::uint8_t kFeedAndCut[] = {0x1D, 0x56, 0x42, 0x00};
    std::vector<std::uint8_t> bytes;
    if (model == 0) bytes = {0x1C, 0x70, 0x01, 0x00};
    else if (model == 1) bytes = {0x1D, 0x2F, 0x00};
    else return {};
    bytes.insert(bytes.end(), std::begin(kFeedAndCut), std::end(kFeedAndCut));
    return bytes;
}

// Hands a logo's command and dots to the target; 0, or 1 with a line saying
// how far they went.
int SendCommand(const std::vector<std::uint8_t>& command, const std::string& target, const std::string& logoName,
                const std::string& what, const PrinterPortOptions& port, std::ostream& out, std::ostream& err) {
    if (target == kStdio) {
        out.write(reinterpret_cast<const char*>(command.data()), static_cast<std::streamsize>(command.size()));
        if (!out.flush()) throw Exception("Unable to write the logo to standard output");
        return 0;
    }
    const PrinterSendResult result = SendToPrinter(target, command, port);
    if (!result.Sent) {
        ReportFailure(err, logoName,
                      "sending to " + target + " failed after " + std::to_string(result.Bytes) + " of " +
                          std::to_string(command.size()) + " bytes: " + result.Failure);
        return 1;
    }
    out << logoName << " -> " << Printable(target) << " (" << what << ", " << command.size() << " bytes)\n";
    return 0;
}

std::vector<OptionRow> PortOptions(std::string& target, PrinterPortOptions& port) {
    return {{"to", 0, true, [&](const std::string& v) { target = v; }},
            {"baud", 0, true, [&](const std::string& v) { port.Baud = ParseBaud(v); }},
            {"timeout", 0, true, [&](const std::string& v) { port.TimeoutSeconds = ParseSeconds(v); }}};
}

} // namespace

int Send(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    std::string target;
    bool force = false;
    PrinterPortOptions port;
    bool print = false;
    int printer = -1;
    std::vector<OptionRow> rows = PortOptions(target, port);
    rows.push_back({"force", 0, false, [&](const std::string&) { force = true; }});
    rows.push_back({"print", 0, false, [&](const std::string&) { print = true; }});
    rows.push_back({"printer", 'p', true, [&](const std::string& v) { printer = ParsePrinter(v); }});
    const ParsedOptions parsed = ParseOptions(args, rows);
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (target.empty()) throw UsageError("send needs --to DEVICE, HOST[:PORT] or -");
    if (parsed.Operands.empty() && print) { // the logo the printer holds already
        if (printer < 0) throw UsageError("send --print without a logo file needs --printer N");
        const std::vector<std::uint8_t> command = PrintCommand(printer);
        if (command.empty()) throw Exception("no print command known for " + std::string(Printer(printer).Name));
        return SendCommand(command, target, "print command", std::string(Printer(printer).Name) + " print command",
                           port, out, err);
    }
    if (parsed.Operands.size() != 1) throw UsageError("send takes one logo file");
    if (printer >= 0) throw UsageError("--printer goes with --print alone; a logo file names its printer");
    const std::string& logoPath = parsed.Operands[0];
    const std::string logoName = DisplayName(logoPath, "standard input");

    std::vector<std::uint8_t> bytes;
    DecodedLogo logo;
    try {
        bytes = ReadLogoBytes(logoPath, in);
        logo = DecodeLogo(bytes);
    } catch (const Exception& e) {
        ReportFailure(err, logoName, e.Message());
        return 1;
    }
    // What the printer would refuse is not sent without --force.
    for (const std::string& w : logo.Warnings) ReportFailure(err, logoName, (force ? "warning: " : "") + w);
    if (!logo.Warnings.empty() && !force) {
        ReportFailure(err, logoName, "not sent: the printer would refuse it (--force sends it all the same)");
        return 1;
    }
    WarnOfPrintWidth(err, logoName, logo.Model, logo.Width);

    // The length word is the file's own: it tells the sender how many bytes
    // follow, and only those go to the printer.
    std::vector<std::uint8_t> command(bytes.begin() + 2, bytes.end());
    if (print) {
        const std::vector<std::uint8_t> printIt = PrintCommand(logo.Model);
        if (printIt.empty()) {
            ReportFailure(err, logoName, "not sent: no print command known for " + std::string(Printer(logo.Model).Name));
            return 1;
        }
        command.insert(command.end(), printIt.begin(), printIt.end());
    }
    const std::string what = std::string(Printer(logo.Model).Name) + " logo of " +
                             DescribeDots({logo.Width, logo.Height});
    return SendCommand(command, target, logoName, what, port, out, err);
}

int Blank(const std::vector<std::string>& args, std::istream&, std::ostream& out, std::ostream& err) {
    std::string target, output;
    int printer = -1;
    PrinterPortOptions port;
    std::vector<OptionRow> rows = PortOptions(target, port);
    rows.push_back({"printer", 'p', true, [&](const std::string& v) { printer = ParsePrinter(v); }});
    rows.push_back({"output", 'o', true, [&](const std::string& v) { output = v; }});
    const ParsedOptions parsed = ParseOptions(args, rows);
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (!parsed.Operands.empty()) throw UsageError("blank takes no file; -o FILE names its output");
    if (printer < 0) throw UsageError("blank needs --printer N");
    if (target.empty() == output.empty()) throw UsageError("blank needs either -o FILE or --to TARGET");

    // The logo of a fresh window's Refresh: 8 x 8 dots, every one clear.
    TImage none;
    const std::vector<std::uint8_t> bytes = EncodeLogo(printer, {8, 8}, none);
    const std::string what = std::string(Printer(printer).Name) + " blank logo of 8 x 8 dots";
    if (!target.empty())
        return SendCommand({bytes.begin() + 2, bytes.end()}, target, "blank logo", what, port, out, err);
    if (output == kStdio) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw Exception("Unable to write the logo to standard output");
        return 0;
    }
    const FileWriteResult result = WriteFileCarefully(output, bytes);
    if (!result) throw Exception(UnableToCreateMessage(output, result.Cause));
    out << "blank logo -> " << Printable(output) << " (" << what << ")\n";
    return 0;
}

} // namespace tlc::cli
