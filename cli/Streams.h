#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Types.h"
#include "image/Image.h"
#include "import/ImportedPicture.h"

namespace tlc::cli {

// The name of standard input and output among pictures, logos and outputs.
constexpr const char* kStdio = "-";

// `name`, or `stdioName` for "-".
// `text` with its control bytes shown as escapes (\n, \r, \t, \033...), so that
// a name cannot move the cursor, retitle the terminal or start a line of its own.
std::string Printable(const std::string& text);
std::string DisplayName(const std::string& name, const char* stdioName);

// PNG, JPEG, GIF and WebP by their first bytes; otherwise a file by its
// extension, as the window loads it, and standard input, which has no name,
// by its first bytes.
ImportFormat LoadPicture(TPicture& picture, const std::string& name, std::istream& in,
                         const ImportHints& hints = {});

// A logo file's bytes, checked by its head before a file is read whole.
std::vector<std::uint8_t> ReadLogoBytes(const std::string& name, std::istream& in);

// Standard output refused the bytes: the run ends with the one line every
// command gives for that (cli/Cli.cpp), not a second one of its own.
class StandardOutputFailed : public std::runtime_error {
public:
    StandardOutputFailed() : std::runtime_error("cannot write to standard output") {}
};

// The logo of a single conversion: to standard output (StandardOutputFailed
// when it refuses it), or through WriteLogoFile. (A batch stages its files
// itself: cli/Batch.cpp.)
void WriteLogo(const std::string& output, int printer, const LogoGeometry& geometry, TImage& target,
               std::ostream& out);

// "tillora-logo: WHAT: MESSAGE" on standard error.
void ReportFailure(std::ostream& err, const std::string& what, const std::string& message);

// A warning when the printer prints fewer dots across than the picture's
// columns of a logo `width` dots wide (PrintWidthWarning).
void WarnOfPrintWidth(std::ostream& err, const std::string& what, int model, std::int32_t width,
                      std::int32_t pictureColumns = -1);

// "W x H dots".
std::string DescribeDots(const LogoGeometry& g);

} // namespace tlc::cli
