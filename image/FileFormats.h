#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/Graphic.h"

namespace tlc {

// A graphic class for filters: TGraphic takes every kind, the others their own.
enum class GraphicClass { Graphic, Bitmap, Icon, Metafile };

// The filter text of an open dialog ("description (*.ext)|*.ext|...") and
// the file masks it offers ("*.bmp;*.ico;...").
struct FileFilter {
    std::string Filter;
    std::string Masks;
};

// The registered picture formats, one list for the whole process.
class TFileFormatsList {
public:
    struct Entry {
        std::string Extension;   // without the dot, lower case
        std::string Description; // fixed at registration
        GraphicKind Kind;
    };

    static const TFileFormatsList& Instance();

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
    void Add(std::string extension, std::string description, GraphicKind kind);

    std::vector<Entry> entries_;
};

// Lower case as the file name rules use it (ASCII letters only).
std::string LowerCaseExtension(std::string text);

} // namespace tlc
