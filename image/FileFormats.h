#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/Graphic.h"
#include "image/PictureCrop.h"

namespace tlc {

// A graphic class for filters: TGraphic takes every kind, the others their own.
enum class GraphicClass { Graphic, Bitmap, Icon, Metafile };

// The filter text of an open dialog ("description (*.ext)|*.ext|...") and
// the file masks it offers ("*.bmp;*.ico;...").
struct FileFilter {
    std::string Filter;
    std::string Masks;
};

// Reads a picture file of a format whose reader lives above image/ (import/).
using GraphicFileReader =
    std::function<std::unique_ptr<TGraphic>(const std::string& fileName, PictureCrop* crop)>;

// The registered picture formats, one list for the whole process.
class TFileFormatsList {
public:
    struct Entry {
        std::string Extension;   // without the dot, lower case
        std::string Description; // fixed at registration
        GraphicKind Kind;
        GraphicFileReader Reader; // empty: the kind's own reader
    };

    static const TFileFormatsList& Instance();

    // Adds formats read by other libraries, once, before the list is used on
    // more than one thread. They go in front of the built-in four, so the
    // filters list those four first; an extension already known is skipped.
    static void RegisterFormats(const std::vector<Entry>& formats);

    // The entry reading files with this extension (no dot, any letter case),
    // or none. The last registered entry wins.
    const Entry* FindEntry(const std::string& extension) const;

    // The kind reading files with this extension (no dot, any letter case),
    // or none. The last registered entry wins.
    std::optional<GraphicKind> FindByExtension(const std::string& extension) const;

    // Filter text and masks for the formats of `graphicClass`, last
    // registered first, with an "All" pair in front when more than one
    // format is taken.
    FileFilter BuildFilter(GraphicClass graphicClass) const;
    FileFilter BuildFilter(GraphicKind kind) const;

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    TFileFormatsList();
    static TFileFormatsList& Mutable();
    void Add(std::string extension, std::string description, GraphicKind kind);

    std::vector<Entry> entries_;
};

// Lower case as the file name rules use it (ASCII letters only).
std::string LowerCaseExtension(std::string text);

} // namespace tlc
