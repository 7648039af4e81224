#include "cli/Streams.h"

#include <functional>
#include <istream>
#include <new>
#include <span>
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

EInvalidGraphic NoPicture() {
    return EInvalidGraphic("Standard input holds no bitmap, icon or metafile");
}

// Standard input read whole, under the same cap as a picture file, in blocks
// joined once at the end: a growing buffer would double past the cap and
// hold its old bytes beside the new while it moves. `checkHead`, when given,
// sees the first kHeadBytes (or all, when fewer) as soon as they are in, so
// that an endless stream of something else is refused at once.
constexpr std::size_t kHeadBytes = 64 * 1024;
std::vector<std::uint8_t> ReadAll(std::istream& in,
                                  const std::function<void(std::span<const std::uint8_t>)>& checkHead = {}) {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    try {
        std::vector<std::vector<std::uint8_t>> blocks;
        std::size_t total = 0;
        for (std::size_t size = kHeadBytes; in; size = kBlock) {
            std::vector<std::uint8_t>& block = blocks.emplace_back(size);
            in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(size));
            block.resize(static_cast<std::size_t>(in.gcount()));
            total += block.size();
            if (total > kMaxPictureFileBytes) throw EOutOfResources();
            if (blocks.size() == 1 && checkHead) checkHead(block);
        }
        if (in.bad()) throw EReadError("Stream read error");
        std::vector<std::uint8_t> bytes;
        bytes.reserve(total);
        for (std::vector<std::uint8_t>& block : blocks) {
            bytes.insert(bytes.end(), block.begin(), block.end());
            std::vector<std::uint8_t>().swap(block);
        }
        return bytes;
    } catch (const std::bad_alloc&) {
        throw EOutOfResources();
    }
}

} // namespace

ImportFormat LoadPicture(TPicture& picture, const std::string& name, std::istream& in,
                         const ImportHints& hints) {
    if (name != kStdio) return LoadPictureByContent(picture, name, hints);
    const std::vector<std::uint8_t> bytes = ReadAll(in, [](std::span<const std::uint8_t> head) {
        if (SniffImportFormat(head) == ImportFormat::None && !SniffGraphicKind(head)) throw NoPicture();
    });
    if (const ImportFormat format = InstallImportedPicture(picture, bytes, hints); format != ImportFormat::None)
        return format;
    const auto kind = SniffGraphicKind(bytes);
    if (!kind) throw NoPicture();
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
        if (!out.flush()) throw StandardOutputFailed();
        return;
    }
    const LogoWriteResult result = WriteLogoFile(output, printer, geometry, target);
    if (!result) throw Exception(UnableToCreateMessage(output, result.Cause));
}

void ReportFailure(std::ostream& err, const std::string& what, const std::string& message) {
    err << "tillora-logo: " << Printable(what) << ": " << Printable(message) << '\n';
}

void WarnOfPrintWidth(std::ostream& err, const std::string& what, int model, std::int32_t width,
                      std::int32_t pictureColumns) {
    const std::string warning = PrintWidthWarning(model, width, pictureColumns);
    if (!warning.empty()) ReportFailure(err, what, "warning: " + warning);
}

std::string DescribeDots(const LogoGeometry& g) {
    return std::to_string(g.Width) + " x " + std::to_string(g.Height) + " dots";
}

} // namespace tlc::cli
