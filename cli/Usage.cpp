#include "cli/Usage.h"

#include <ostream>

#include "logo/PrinterModels.h"

namespace tlc::cli {

namespace {

const char* const kUsage =
    "Usage:\n"
    "  tillora-logo convert PICTURE [--printer N|NAME] [--thresholds R,G,B] [-o FILE]\n"
    "  tillora-logo convert PICTURE... -d FOLDER [--printer N|NAME] [--thresholds R,G,B] [-q]\n"
    "  tillora-logo convert ... [--fit] [--width N] [--dither fs|atkinson|ordered]\n"
    "  tillora-logo show LOGO [-o PICTURE.pbm|PICTURE.bmp|PICTURE.png]\n"
    "  tillora-logo info PICTURE\n"
    "  tillora-logo --help | --version\n"
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
    "A picture or logo named - is read from standard input (the kind of picture\n"
    "from its content); -o - writes the logo to standard output. -d creates the\n"
    "folder when missing; a batch ends with a count of converted and failed\n"
    "pictures on standard error, and -q leaves out the line for each picture.\n"
    "Options take their value as --printer=2 or --printer 2; -- ends the options.\n"
    "\n"
    "Beyond the window (which keeps its formats and its threshold rule):\n"
#ifdef _WIN32
    "  PNG, JPEG, GIF and TIFF pictures are read too, through Windows' own codecs\n"
    "  (WebP where Windows has its codec), recognised by their content;\n"
#else
    "  PNG, JPEG, GIF and WebP pictures are read too, recognised by their content;\n"
#endif
    "  transparent parts are white, as the paper is.\n"
    "  --fit          scales a picture larger than the printer's largest logo down\n"
    "                 to the largest size it prints whole, aspect kept (averaging\n"
    "                 in linear light); without it the picture is cut at the right\n"
    "                 and bottom as the window does.\n"
    "  --width N      a logo at most N dots across (implies --fit).\n"
    "  --dither fs|atkinson|ordered\n"
    "                 black and white by each pixel's grey level (0.299 R + 0.587 G\n"
    "                 + 0.114 B): Floyd-Steinberg or Atkinson error diffusion, or an\n"
    "                 8 x 8 ordered pattern; for photographs and gradients. The\n"
    "                 three thresholds are not used then: flat grey g gives about\n"
    "                 (255 - g) / 255 of the dots black, so --thresholds is refused.\n"
    "  show -o FILE.png writes the dots as a 1-bit PNG.\n"
    "  convert, info and show warn of a logo wider than its printer prints, where\n"
    "  the maker publishes the width (";

// "Epson TM-T88III (NVRam)" is the printer "Epson TM-T88III".
std::string_view Machine(std::string_view name) {
    return name.substr(0, name.find(" ("));
}

} // namespace

void PrintUsage(std::ostream& out) {
    out << kUsage;
    const char* separator = "";
    for (const PrinterFacts& p : kPrinters)
        if (p.PrintableWidth > 0) {
            out << separator << Machine(p.Name) << ": " << p.PrintableWidth << " dots";
            separator = "; ";
        }
    out << ").\n\nPrinters:\n";
    for (int i = 0; i < kPrinterModelCount; ++i) out << "  " << i << "  " << Printer(i).Name << '\n';
}

void PrintVersion(std::ostream& out) {
    out << "tillora-logo (Tillora Graphic Logo Converter) " << TLC_PROJECT_VERSION << '\n';
}

} // namespace tlc::cli
