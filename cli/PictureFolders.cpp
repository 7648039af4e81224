#include "cli/PictureFolders.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "base/Exceptions.h"
#include "base/Paths.h"
#include "cli/Options.h"
#include "cli/Streams.h"

namespace tlc::cli {

namespace fs = std::filesystem;

bool HasPictureExtension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string extension = Lower(name.substr(dot + 1));
    // The bitmaps of the window and the formats import/ reads; icons and
    // metafiles load but are never converted, so a folder's are passed by.
    for (const char* known : {"bmp", "png", "jpg", "jpeg", "gif", "webp", "tif", "tiff"})
        if (extension == known) return true;
    return false;
}

namespace {

bool Hidden(const fs::path& name) {
    const std::string text = Utf8FromPath(name.filename());
    return !text.empty() && text[0] == '.';
}

// The pictures in `folder`, by their whole path.
std::vector<std::string> PicturesIn(const std::string& folder, bool recursive) {
    const fs::path root = PathFromUtf8(folder);
    std::vector<std::string> found;
    std::error_code ec;
    auto take = [&](const fs::directory_entry& entry) {
        std::error_code ignored;
        if (!Hidden(entry.path()) && entry.is_regular_file(ignored) &&
            HasPictureExtension(Utf8FromPath(entry.path().filename())))
            found.push_back(Utf8FromPath(entry.path()));
    };
    if (recursive) {
        fs::recursive_directory_iterator it(root, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code ignored;
            if (Hidden(it->path()) && it->is_directory(ignored)) {
                it.disable_recursion_pending();
                continue;
            }
            take(*it);
        }
    } else {
        fs::directory_iterator it(root, ec), end;
        for (; !ec && it != end; it.increment(ec)) take(*it);
    }
    if (ec) throw Exception("Cannot read the folder " + folder + ": " + ec.message());
    // Byte order of the UTF-8 names, as a glob sorts them in the C locale.
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

std::vector<std::string> ExpandPictureFolders(const std::vector<std::string>& operands, bool recursive,
                                              std::ostream& err) {
    std::vector<std::string> pictures;
    for (const std::string& operand : operands) {
        std::error_code ec;
        if (operand == kStdio || !fs::is_directory(PathFromUtf8(operand), ec)) {
            pictures.push_back(operand);
            continue;
        }
        const std::vector<std::string> found = PicturesIn(operand, recursive);
        if (found.empty())
            ReportFailure(err, operand,
                          recursive ? "warning: no pictures in this folder or below it"
                                    : "warning: no pictures in this folder (-r looks into its subfolders)");
        pictures.insert(pictures.end(), found.begin(), found.end());
    }
    return pictures;
}

} // namespace tlc::cli
