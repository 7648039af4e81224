#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "logo/PrintFit.h"
#include "image/Picture.h"
#include "import/ImportedPicture.h"
#include "image/Resample.h"
#include "logo/PrinterModels.h"

namespace tlc {

// What the command line does to a picture before the window's conversion.
struct PrepareOptions {
    bool Fit = false;             // scale down to what the printer holds
    std::int32_t MaxWidth = 0;    // with Fit: a logo at most this many dots across (0: no limit)
    std::optional<DitherMethod> Dither;
};

struct PreparedPicture {
    PictureSize Original; // as the file has it
    bool Scaled = false;
    ImportNotes Notes; // what an imported picture's file said besides its pixels
};

// Puts a picture into `picture`, passing the hints on to the reader; returns
// the imported format read, or None for one of the window's formats.
using PictureLoader = std::function<ImportFormat(TPicture&, const ImportHints&)>;

// Loads a picture through `load`, then for a bitmap scales it down to
// FitPictureSize and dithers it to black and white, as asked. A vector
// picture (metafile, SVG) is drawn into a bitmap first (DrawMetafile): at
// its own size, or fitted, as large as the printer's logo holds it. Without options
// the loader is asked to keep only the top-left part a logo of the printer
// can show (the same logo, less to read and hold) and the picture is what it
// gave; Original is the picture's own size either way.
PreparedPicture LoadForPrinter(TPicture& picture, const PictureLoader& load, const PrinterLimits& limits,
                               const PrepareOptions& options);
// The same for a file, loaded by LoadPictureByContent.
PreparedPicture LoadForPrinter(TPicture& picture, const std::string& fileName,
                               const PrinterLimits& limits, const PrepareOptions& options);

} // namespace tlc
