#include <algorithm>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Streams.h"
#include "image/Bitmap.h"
#include "image/Icon.h"
#include "image/Metafile.h"
#include "logo/Conversion.h"
#include "logo/PrinterModels.h"

// `tillora-logo info`: what loading a picture sees, and the logo size for
// each printer.
namespace tlc::cli {

namespace {

const char* CompressionName(std::uint32_t compression) {
    switch (compression) {
    case BI_RGB: return "none";
    case BI_RLE8: return "8-bit run-length";
    case BI_RLE4: return "4-bit run-length";
    case BI_BITFIELDS: return "channel masks";
    default: return "other";
    }
}

// What is done to a picture of each EXIF orientation to show it upright.
const char* OrientationName(int orientation) {
    switch (orientation) {
    case 2: return "mirrored left to right";
    case 3: return "turned half round";
    case 4: return "mirrored top to bottom";
    case 5: return "mirrored across its diagonal";
    case 6: return "turned a quarter clockwise";
    case 7: return "mirrored across its other diagonal";
    case 8: return "turned a quarter anticlockwise";
    default: return "as stored";
    }
}

} // namespace

int Info(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err) {
    const ParsedOptions parsed = ParseOptions(args, {});
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.size() != 1) throw UsageError("info takes one picture");
    const std::string picture = DisplayName(parsed.Operands[0], "standard input");
    TPicture pic;
    ImportFormat format = ImportFormat::None;
    ImportNotes notes;
    // Read as convert reads it: no dot beyond the largest logo is needed,
    // so a huge picture is neither decoded nor held whole.
    PictureCrop crop;
    crop.Width = crop.Height = 1;
    for (int i = 0; i < kPrinterModelCount; ++i) {
        crop.Width = std::max(crop.Width, LimitsOf(i).MaxWidth);
        crop.Height = std::max(crop.Height, LimitsOf(i).MaxHeight);
    }
    ImportHints hints;
    hints.Crop = &crop;
    hints.Notes = &notes;
    try {
        format = LoadPicture(pic, parsed.Operands[0], in, hints);
    } catch (const Exception& e) {
        ReportFailure(err, picture, e.Message());
        return 1;
    }
    const std::int32_t width = crop.PictureWidth > 0 ? crop.PictureWidth : pic.Width();
    const std::int32_t height = crop.PictureWidth > 0 ? crop.PictureHeight : pic.Height();
    const TGraphic* g = pic.Graphic();
    out << "Picture: " << Printable(picture) << '\n';
    if (format != ImportFormat::None) {
        out << "Kind: " << ImportFormatName(format) << " picture (read by the command line only)\n";
        out << "Width: " << width << "\nHeight: " << height << '\n';
        out << "Orientation: " << notes.Orientation << " (" << OrientationName(notes.Orientation) << ")\n";
        out << "Colour profile: " << (notes.ProfileApplied ? "embedded, turned to sRGB" : "none (sRGB)") << '\n';
        if (notes.Frames > 1)
            out << (notes.Animated ? "Frames: " : "Pages: ") << notes.Frames << " (only the first is converted)\n";
    } else switch (g->Kind()) {
    case GraphicKind::Bitmap: {
        const TBitmapImage& im = static_cast<const TBitmap*>(g)->Image();
        out << "Kind: bitmap\n";
        out << "Width: " << width << "\nHeight: " << height << '\n';
        out << "Bits per pixel: " << im.FileBitCount << " in the file, " << im.BitCount()
            << " as held\n";
        out << "Colour table: " << im.ColourTable().size() << " entries\n";
        out << "Compression: " << CompressionName(im.FileCompression) << '\n';
        out << "Rows: " << (im.Height() < 0 ? "top row first" : "bottom row first") << '\n';
        break;
    }
    case GraphicKind::Icon:
        out << "Kind: icon (shown, not converted)\n";
        out << "Width: " << width << "\nHeight: " << height << '\n';
        break;
    case GraphicKind::Metafile: {
        const TMetafileImage& im = static_cast<const TMetafile*>(g)->Image();
        out << "Kind: " << (im.Svg ? "SVG picture" : im.Enhanced ? "enhanced metafile" : "Windows metafile")
            << " (drawn at the size asked for, then converted)\n";
        out << "Width: " << width << "\nHeight: " << height << '\n';
        break;
    }
    }
    out << "Logo size by printer:\n";
    for (int i = 0; i < kPrinterModelCount; ++i) {
        const LogoGeometry geometry = FitGeometry(width, height, LimitsOf(i));
        out << "  " << i << "  " << Printer(i).Name << ": "
            << DescribeDots(geometry) << '\n';
        WarnOfPrintWidth(err, picture, i, geometry.Width, width);
    }
    if (g->Kind() == GraphicKind::Icon)
        out << "Icons cannot be converted.\n";
    return 0;
}

} // namespace tlc::cli
