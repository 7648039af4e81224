#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tlc::cli {

// Whether a file name ends in an extension of a picture convert turns into a
// logo (letter case ignored).
bool HasPictureExtension(const std::string& name);

// The operands with each folder among them replaced by the pictures in it,
// in name order as a shell's glob gives them: regular files (or links to
// them) with a picture's extension, hidden names left out; with `recursive`
// also those of its subfolders (not hidden ones, and not through links),
// ordered by their whole path. A folder without pictures gets a warning on
// `err`; one that cannot be read is an Exception.
std::vector<std::string> ExpandPictureFolders(const std::vector<std::string>& operands, bool recursive,
                                              std::ostream& err);

} // namespace tlc::cli
