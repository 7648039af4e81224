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
    std::vector<OptionRow> rows = PortOptions(target, port);
    rows.push_back({"force", 0, false, [&](const std::string&) { force = true; }});
    const ParsedOptions parsed = ParseOptions(args, rows);
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.size() != 1) throw UsageError("send takes one logo file");
    if (target.empty()) throw UsageError("send needs --to DEVICE, HOST[:PORT] or -");
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
    const std::vector<std::uint8_t> command(bytes.begin() + 2, bytes.end());
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
