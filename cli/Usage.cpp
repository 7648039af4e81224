#include "cli/Usage.h"

#include <ostream>

#include "logo/PrinterModels.h"

namespace tlc::cli {

namespace {

const char* const kUsage =
    "Usage:\n"
    "  tillora-logo convert PICTURE [--printer N|NAME] [--thresholds R,G,B] [-o FILE]\n"
    "  tillora-logo convert PICTURE... -d FOLDER [--printer N|NAME] [--thresholds R,G,B] [-q]\n"
    "  tillora-logo convert PICTURE-FOLDER... -d FOLDER [-r] ...\n"
    "  tillora-logo convert ... [--fit] [--width N] [--dither fs|atkinson|ordered]\n"
    "  tillora-logo show LOGO [-o PICTURE.pbm|PICTURE.bmp|PICTURE.png]\n"
    "  tillora-logo info PICTURE\n"
    "  tillora-logo send LOGO --to DEVICE|HOST[:PORT]|- [--print] [--baud N] [--timeout S] [--force]\n"
    "  tillora-logo send --print --printer N|NAME --to DEVICE|HOST[:PORT]|-\n"
    "  tillora-logo blank --printer N|NAME (-o FILE | --to DEVICE|HOST[:PORT]|-)\n"
    "  tillora-logo --help | --version\n"
    "\n"
    "convert  turns a picture (.bmp, .emf, .wmf, .svg; .ico loads, not converted)\n"
    "         into a logo file, exactly as the converter's window does. Printer:\n"
    "         0 to 3, its name, or the start of a name that fits one printer only\n"
    "         (default 0; \"Epson TM-T88II\" is model 1); thresholds 0 to 255\n"
    "         (default 128,128,128); output logo.rsc beside the picture, or FILE, or\n"
    "         NAME.rsc in FOLDER for each picture. An output that is one of\n"
    "         the pictures, or that an earlier picture of the run wrote,\n"
    "         is refused (exit status 1) and the rest go on.\n"
    "show     checks a logo file and prints its printer, size and dots, or writes\n"
    "         the dots as a portable bitmap (.pbm) or a 1-bit Windows bitmap (.bmp).\n"
    "info     tells what loading a picture sees and the logo size for each printer.\n"
    "send     checks a logo file as show does and sends its printer command and dots\n"
    "         (the bytes after the length word, as the point-of-sale software sends\n"
    "         them) to a device file (/dev/usb/lp0; a serial port at --baud N), to a\n"
    "         network printer HOST[:PORT] over raw TCP (port 9100), or to standard\n"
    "         output (-, e.g. for lp -o raw). A logo the printer would refuse is not\n"
    "         sent without --force. --timeout S (default 5) bounds the connection and\n"
    "         each wait to write; a send cut short names the bytes that went.\n"
    "         --print then prints the logo once, feeds and cuts (Epson models: FS p,\n"
    "         GS /, GS V); alone with --printer it prints the logo already stored.\n"
    "blank    the blank logo of 8 x 8 clear dots for a printer, the one way to clear\n"
    "         an NVRam logo it stores: written to FILE or sent as send sends.\n"
    "\n"
    "A folder given as a picture stands for the pictures in it (.bmp, .png, .jpg,\n"
    ".jpeg, .gif, .webp, .tif, .tiff; not hidden ones) in name order, as a glob\n"
    "gives them; -r (--recursive) takes those of its subfolders too.\n"
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
    "  transparent parts are white, as the paper is; a photo is turned upright\n"
    "  by its EXIF orientation.\n"
#else
    "  PNG, JPEG, GIF, WebP and TIFF pictures are read too, recognised by their\n"
    "  content; transparent parts are white, as the paper is; a photo is turned\n"
    "  upright by its EXIF orientation and colours follow an embedded colour\n"
    "  profile; of an animation only the first frame is converted.\n"
#endif
    "  Vector pictures (.emf, .wmf, .svg) are drawn at their own size (96 per inch),\n"
    "  or with --fit as large as the printer's logo holds them.\n"
    "  --fit          scales a picture larger than the printer's largest logo, or\n"
    "                 wider than the printer prints where its maker says (below),\n"
    "                 down to the largest size it prints whole, aspect kept\n"
    "                 (averaging in linear light); without it the picture is cut\n"
    "                 at the right and bottom as the window does, with a warning.\n"
    "  --width N      a logo at most N dots across, 8 or more (implies --fit).\n"
    "  --dither fs|atkinson|ordered\n"
    "                 black and white by each pixel's grey level (0.299 R + 0.587 G\n"
    "                 + 0.114 B): Floyd-Steinberg or Atkinson error diffusion, or an\n"
    "                 8 x 8 ordered pattern; for photographs and gradients. The\n"
    "                 three thresholds are not used then, so --thresholds is\n"
    "                 refused. With fs and ordered, flat grey g gives about\n"
    "                 (255 - g) / 255 of the dots black; atkinson passes on only\n"
    "                 6/8 of each error, for crisper pictures: middle greys keep\n"
    "                 their share, light ones fade to white (grey 224: no dot) and\n"
    "                 dark ones fill to black (grey 32: every dot).\n"
    "  show -o FILE.png writes the dots as a 1-bit PNG.\n"
    "  convert, info and show warn when a picture's columns (not the blank margin)\n"
    "  reach past what its printer prints, where the maker publishes the width:\n"
    "  ";

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
    out << ".\n\nPrinters:\n";
    for (int i = 0; i < kPrinterModelCount; ++i) out << "  " << i << "  " << Printer(i).Name << '\n';
}

void PrintVersion(std::ostream& out) {
    out << "tillora-logo (Tillora Graphic Logo Converter) " << TLC_PROJECT_VERSION << '\n';
}

} // namespace tlc::cli
