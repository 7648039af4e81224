#include "image/FileFormats.h"

namespace tlc {

namespace {

bool Inherits(GraphicKind kind, GraphicClass graphicClass) {
    switch (graphicClass) {
    case GraphicClass::Graphic:
        return true;
    case GraphicClass::Bitmap:
        return kind == GraphicKind::Bitmap;
    case GraphicClass::Icon:
        return kind == GraphicKind::Icon;
    case GraphicClass::Metafile:
        return kind == GraphicKind::Metafile;
    }
    return false;
}

GraphicClass ClassOf(GraphicKind kind) {
    switch (kind) {
    case GraphicKind::Bitmap:
        return GraphicClass::Bitmap;
    case GraphicKind::Icon:
        return GraphicClass::Icon;
    case GraphicKind::Metafile:
        return GraphicClass::Metafile;
    }
    return GraphicClass::Graphic;
}

} // namespace

std::string LowerCaseExtension(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

TFileFormatsList::TFileFormatsList() {
    // Read by content with the metafiles; drawn as they are. First here, so
    // that it comes after the four below in the dialog's lists.
    Add("svg", "Scalable Vector Graphics", GraphicKind::Metafile);
    // The open dialog's lists rely on this order.
    Add("wmf", "Metafiles", GraphicKind::Metafile);
    Add("emf", "Enhanced Metafiles", GraphicKind::Metafile);
    Add("ico", "Icons", GraphicKind::Icon);
    Add("bmp", "Bitmaps", GraphicKind::Bitmap);
}

TFileFormatsList& TFileFormatsList::Mutable() {
    static TFileFormatsList list;
    return list;
}

const TFileFormatsList& TFileFormatsList::Instance() {
    return Mutable();
}

void TFileFormatsList::RegisterFormats(const std::vector<Entry>& formats) {
    TFileFormatsList& list = Mutable();
    std::vector<Entry> front;
    for (const Entry& format : formats) {
        Entry entry = format;
        entry.Extension = LowerCaseExtension(entry.Extension);
        bool known = entry.Extension.empty() || list.FindEntry(entry.Extension);
        for (const Entry& taken : front)
            known = known || taken.Extension == entry.Extension;
        if (!known) front.push_back(std::move(entry));
    }
    // Filters walk the list from its end: put them in reverse so that they
    // are offered in the order given.
    list.entries_.insert(list.entries_.begin(), front.rbegin(), front.rend());
}

void TFileFormatsList::Add(std::string extension, std::string description, GraphicKind kind) {
    entries_.push_back(
        {LowerCaseExtension(std::move(extension)), std::move(description), kind, {}});
}

const TFileFormatsList::Entry* TFileFormatsList::FindEntry(const std::string& extension) const {
    const std::string lower = LowerCaseExtension(extension);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        if (it->Extension == lower) return &*it;
    return nullptr;
}

std::optional<GraphicKind> TFileFormatsList::FindByExtension(const std::string& extension) const {
    if (const Entry* entry = FindEntry(extension)) return entry->Kind;
    return std::nullopt;
}

FileFilter TFileFormatsList::BuildFilter(GraphicClass graphicClass) const {
    FileFilter result;
    int taken = 0;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (!Inherits(it->Kind, graphicClass) || it->Extension.empty()) continue;
        if (taken > 0) {
            result.Filter += '|';
            result.Masks += ';';
        }
        result.Filter += it->Description + " (*." + it->Extension + ")|*." + it->Extension;
        result.Masks += "*." + it->Extension;
        ++taken;
    }
    if (taken > 1)
        result.Filter = "All (" + result.Masks + ")|" + result.Masks + "|" + result.Filter;
    return result;
}

FileFilter TFileFormatsList::BuildFilter(GraphicKind kind) const {
    return BuildFilter(ClassOf(kind));
}

} // namespace tlc
