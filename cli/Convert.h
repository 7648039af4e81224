#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Types.h"
#include "logo/Conversion.h"
#include "prepare/PrepareForPrinter.h"
#include "files/FileOps.h"
#include "image/Image.h"

namespace tlc::cli {

struct ConvertOptions {
    std::vector<std::string> pictures;
    int printer = 0;
    Thresholds thresholds{128, 128, 128};
    std::optional<std::string> output;
    std::optional<std::string> folder;
    bool quiet = false;
    bool thresholdsGiven = false;
    PrepareOptions prepare;
};

// A converted picture: the logo's bytes and what the report tells of it.
struct BuiltLogo {
    LogoGeometry geometry;
    PreparedPicture prepared;
    std::int32_t pictureWidth = 0; // as converted
    std::vector<std::uint8_t> bytes;
    ImportFormat format = ImportFormat::None;
};

// The road of the window: load into an auto-sized source image and convert
// into the target image.
BuiltLogo LoadAndConvert(const std::string& picture, const ConvertOptions& o, std::istream& in,
                         TImage& target);

// The warning and the line of a converted picture.
void ReportConverted(const std::string& picture, const std::string& output, const ConvertOptions& o,
                     const BuiltLogo& built, std::ostream& out, std::ostream& err);

// The files of a run, each looked at once: an output that would destroy a
// picture of the run is refused, as cp refuses to copy a file onto itself,
// and so is one that already holds the logo of an earlier picture.
class RunFiles {
public:
    explicit RunFiles(const std::vector<std::string>& pictures);
    void CheckOutput(const std::string& output) const;
    void Written(const std::string& output, const std::string& picture);

private:
    using Id = std::pair<std::uint64_t, std::uint64_t>;
    static Id Identity(const FileFacts& f) { return {f.Device, f.Inode}; }

    std::map<Id, std::string> pictures_; // the first name of each
    std::map<Id, std::string> written_;  // output -> its picture
};

// The logo file of `picture`: NAME.rsc in the folder, the -o file, or
// logo.rsc beside the picture.
std::string OutputFor(const std::string& picture, const ConvertOptions& o);

// `tillora-logo convert`.
int Convert(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

} // namespace tlc::cli
