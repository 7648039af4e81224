#pragma once

#include <cstdint>
#include <string>

#include "logo/PrinterModels.h"

namespace tlc {

struct PictureSize {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The largest size, aspect ratio kept and never above the picture's own, that
// the printer's logo holds whole (nothing cut at the right or bottom by the
// geometry rules); with `maxWidth` above 0 the logo, margin included, is at
// most that many dots wide. No printer (all limits 0) leaves the size as it is.
PictureSize FitPictureSize(std::int32_t width, std::int32_t height, const PrinterLimits& limits,
                           std::int32_t maxWidth = 0);

// Dots a model's printer can print across, where its maker publishes the
// figure; 0 where we know none.
std::int32_t PrintableWidth(int model);

// A warning for a logo wider than its printer prints, naming the printable
// width and the columns that are lost; empty when it prints whole.
std::string PrintWidthWarning(const TPrinterModels& models, int model, std::int32_t logoWidth);

} // namespace tlc

#include <functional>
#include <optional>

#include "image/Picture.h"
#include "import/ImportedPicture.h"
#include "image/Resample.h"

namespace tlc {

// What the command line does to a picture before the window's conversion.
struct PrepareOptions {
    bool Fit = false;             // scale down to what the printer holds
    std::int32_t MaxWidth = 0;    // with Fit: a logo at most this many dots across (0: no limit)
    std::optional<DitherMethod> Dither;
};

struct PreparedPicture {
    ImportFormat Format = ImportFormat::None; // None: one of the window's formats
    PictureSize Original;                     // as the file has it
    bool Scaled = false;
};

// Puts a picture into `picture`, passing the hints on to the reader; returns
// the imported format read, or None for one of the window's formats.
using PictureLoader = std::function<ImportFormat(TPicture&, const ImportHints&)>;

// Loads a picture through `load`, then for a bitmap scales it down to
// FitPictureSize and dithers it to black and white, as asked. Without options
// the loader is asked to keep only the top-left part a logo of the printer
// can show (the same logo, less to read and hold) and the picture is what it
// gave; Original is the picture's own size either way.
PreparedPicture LoadForPrinter(TPicture& picture, const PictureLoader& load, const PrinterLimits& limits,
                               const PrepareOptions& options);
// The same for a file, loaded by LoadPictureByContent.
PreparedPicture LoadForPrinter(TPicture& picture, const std::string& fileName,
                               const PrinterLimits& limits, const PrepareOptions& options);

} // namespace tlc
