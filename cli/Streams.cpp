#include "cli/Streams.h"

#include <istream>
#include <ostream>

#include "base/Exceptions.h"
#include "logo/PrintFit.h"
#include "image/FileBytes.h"
#include "image/PictureFile.h"
#include "logo/LogoFile.h"
#include "logo/LogoReader.h"
#include "logo/LogoWriter.h"

namespace tlc::cli {

std::string Printable(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    const auto octal = [&](unsigned char c) {
        shown += '\\';
        shown += static_cast<char>('0' + (c >> 6));
        shown += static_cast<char>('0' + ((c >> 3) & 7));
        shown += static_cast<char>('0' + (c & 7));
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') shown += "\\n";
        else if (c == '\r') shown += "\\r";
        else if (c == '\t') shown += "\\t";
        else if (c < 0x20 || c == 0x7F) octal(c);
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080 to U+009F: the C1 controls, which some terminals obey.
            octal(c);
            octal(static_cast<unsigned char>(text[++i]));
        } else
            shown += static_cast<char>(c);
    }
    return shown;
}

std::string DisplayName(const std::string& name, const char* stdioName) {
    return name == kStdio ? std::string(stdioName) : Printable(name);
}

namespace {

// Standard input read whole, under the same cap as a picture file.
std::vector<std::uint8_t> ReadAll(std::istream& in) {
    std::vector<std::uint8_t> bytes;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kMaxPictureFileBytes) throw EOutOfResources();
    }
    if (in.bad()) throw EReadError("Stream read error");
    return bytes;
}

} // namespace

ImportFormat LoadPicture(TPicture& picture, const std::string& name, std::istream& in,
                         const ImportHints& hints) {
    if (name != kStdio) return LoadPictureByContent(picture, name, hints);
    const std::vector<std::uint8_t> bytes = ReadAll(in);
    if (const ImportFormat format = InstallImportedPicture(picture, bytes, hints); format != ImportFormat::None)
        return format;
    const auto kind = SniffGraphicKind(bytes);
    if (!kind) throw EInvalidGraphic("Standard input holds no bitmap, icon or metafile");
    picture.Install(DecodeGraphic(*kind, bytes, hints.Crop));
    return ImportFormat::None;
}

std::vector<std::uint8_t> ReadLogoBytes(const std::string& name, std::istream& in) {
    return name == kStdio ? ReadAll(in) : ReadFileBytes(name, kLogoHeadBytes, CheckLogoFileHead);
}


void WriteLogo(const std::string& output, int printer, const LogoGeometry& geometry, TImage& target,
               std::ostream& out) {
    if (output == kStdio) {
        const std::vector<std::uint8_t> bytes = EncodeLogo(printer, geometry, target);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw Exception("Unable to write the logo to standard output");
        return;
    }
    const LogoWriteResult result = WriteLogoFile(output, printer, geometry, target);
    if (!result) throw Exception(UnableToCreateMessage(output, result.Cause));
}

void ReportFailure(std::ostream& err, const std::string& what, const std::string& message) {
    err << "tillora-logo: " << Printable(what) << ": " << Printable(message) << '\n';
}

void WarnOfPrintWidth(std::ostream& err, const std::string& what, int model, std::int32_t width) {
    const std::string warning = PrintWidthWarning(model, width);
    if (!warning.empty()) ReportFailure(err, what, "warning: " + warning);
}

std::string DescribeDots(const LogoGeometry& g) {
    return std::to_string(g.Width) + " x " + std::to_string(g.Height) + " dots";
}

} // namespace tlc::cli
