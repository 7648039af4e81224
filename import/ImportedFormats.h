#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "import/ImportedPicture.h"

namespace tlc {

class TPicture;

// One picture format import/ reads, as a file dialog offers it.
struct ImportedFormatInfo {
    ImportFormat Format;
    std::string_view Description;
    std::vector<std::string_view> Extensions; // lower case, without the dot
};

// Every format import/ reads, in the order a file dialog lists them.
const std::vector<ImportedFormatInfo>& ImportedFormats();

// The format whose extension this is (any letter case), or None.
ImportFormat ImportFormatOfExtension(const std::string& extension);

// Adds the formats above to the picture format list, so that LoadFile and
// BuildFilter know them by extension (after the built-in four). Call once,
// before any thread but the caller's reads the list.
void RegisterImportedFormats();

// Puts a picture file's bytes into `picture`: by content when they are one of
// the formats above, as the command line reads them, else through the
// reader of `byExtension`, whose message then names what is wrong.
void InstallImportedFile(TPicture& picture, std::span<const std::uint8_t> bytes,
                         ImportFormat byExtension, const ImportHints& hints = {});

} // namespace tlc
