#include "cli/Convert.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "base/Exceptions.h"
#include "base/Paths.h"
#include "cli/Batch.h"
#include "cli/Options.h"
#include "cli/PictureFolders.h"
#include "cli/Streams.h"
#include "logo/Conversion.h"
#include "logo/PrinterModels.h"

namespace tlc::cli {

namespace fs = std::filesystem;

BuiltLogo LoadAndConvert(const std::string& picture, const ConvertOptions& o, std::istream& in,
                         TImage& target) {
    TImage source;
    source.SetAutoSize(true);
    const PrinterLimits limits = LimitsOf(o.printer);
    BuiltLogo built;
    built.prepared = LoadForPrinter(
        source.Picture(),
        [&](TPicture& p, const ImportHints& hints) { return built.format = LoadPicture(p, picture, in, hints); },
        limits, o.prepare);
    built.pictureWidth = source.Picture().Width();
    ConvertImage(source, target, o.thresholds, limits, built.geometry);
    return built;
}

void ReportConverted(const std::string& picture, const std::string& output, const ConvertOptions& o,
                     const BuiltLogo& built, std::ostream& out, std::ostream& err) {
    const std::string name = DisplayName(picture, "standard input");
    const PictureSize original = built.prepared.Original;
    if (!built.prepared.Scaled && (original.Width > built.geometry.Width || original.Height > built.geometry.Height))
        ReportFailure(err, name,
                      "warning: the " + std::to_string(original.Width) + " x " + std::to_string(original.Height) +
                          " picture is cut to its top-left " + DescribeDots(built.geometry) +
                          "; --fit scales it down to the logo instead");
    WarnOfPrintWidth(err, name, o.printer, built.geometry.Width, built.pictureWidth);
    if (const std::string frames = FramesNotice(built.format, built.prepared.Notes); !frames.empty())
        ReportFailure(err, name, "note: " + frames);
    if (o.quiet) return;
    // Standard output may carry the logo itself; the report then goes aside.
    std::ostream& report = output == kStdio ? err : out;
    report << DisplayName(picture, "standard input") << " -> "
           << DisplayName(output, "standard output") << " ("
           << Printer(o.printer).Name << ", " << DescribeDots(built.geometry);
    if (built.prepared.Scaled)
        report << ", scaled from " << built.prepared.Original.Width << " x "
               << built.prepared.Original.Height;
    report << ")\n";
}

namespace {

void ConvertOne(const std::string& picture, const std::string& output, const ConvertOptions& o,
                std::istream& in, std::ostream& out, std::ostream& err) {
    TImage target;
    const BuiltLogo built = LoadAndConvert(picture, o, in, target);
    // The file is opened before the first pixel is read.
    WriteLogo(output, o.printer, built.geometry, target, out);
    ReportConverted(picture, output, o, built, out, err);
}

} // namespace

RunFiles::RunFiles(const std::vector<std::string>& pictures) {
    for (const std::string& picture : pictures) {
        FileFacts facts;
        if (picture != kStdio && DefaultFileOps().Inspect(picture, facts) && facts.Exists)
            pictures_.emplace(Identity(facts), picture);
    }
}

void RunFiles::CheckOutput(const std::string& output) const {
    if (output == kStdio) return;
    FileFacts facts;
    if (!DefaultFileOps().Inspect(output, facts) || !facts.Exists) return;
    if (const auto p = pictures_.find(Identity(facts)); p != pictures_.end())
        throw Exception("'" + output + "' and '" + p->second +
                        "' are the same file; the picture is not overwritten");
    if (const auto w = written_.find(Identity(facts)); w != written_.end())
        throw Exception(output + " already holds the logo of " +
                        DisplayName(w->second, "standard input") + " from this run; not overwritten");
}

void RunFiles::Written(const std::string& output, const std::string& picture) {
    FileFacts facts;
    if (output != kStdio && DefaultFileOps().Inspect(output, facts) && facts.Exists)
        written_.emplace(Identity(facts), picture);
}

namespace {

std::string DefaultOutput(const std::string& picture) {
    const fs::path folder = PathFromUtf8(picture).parent_path();
    return folder.empty() ? std::string("logo.rsc") : Utf8FromPath(folder / "logo.rsc");
}

} // namespace

std::string OutputFor(const std::string& picture, const ConvertOptions& o) {
    if (o.folder) {
        // A picture without a name gets the default name.
        const std::string name = picture == kStdio ? "logo" : Utf8FromPath(PathFromUtf8(picture).stem());
        return Utf8FromPath(PathFromUtf8(*o.folder) / PathFromUtf8(name)) + ".rsc";
    }
    if (o.output) return *o.output;
    return picture == kStdio ? std::string("logo.rsc") : DefaultOutput(picture);
}

int Convert(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    ConvertOptions o;
    bool recursive = false;
    const ParsedOptions parsed = ParseOptions(
        args, {
                  {"printer", 'p', true, [&](const std::string& v) { o.printer = ParsePrinter(v); }},
                  {"thresholds", 't', true,
                   [&](const std::string& v) {
                       o.thresholds = ParseThresholds(v);
                       o.thresholdsGiven = true;
                   }},
                  {"output", 'o', true, [&](const std::string& v) { o.output = v; }},
                  {"folder", 'd', true, [&](const std::string& v) { o.folder = v; }},
                  {"quiet", 'q', false, [&](const std::string&) { o.quiet = true; }},
                  {"recursive", 'r', false, [&](const std::string&) { recursive = true; }},
                  {"fit", 0, false, [&](const std::string&) { o.prepare.Fit = true; }},
                  {"width", 0, true,
                   [&](const std::string& v) {
                       o.prepare.MaxWidth = ParseWidth(v);
                       o.prepare.Fit = true;
                   }},
                  {"dither", 0, true, [&](const std::string& v) { o.prepare.Dither = ParseDither(v); }},
              });
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.empty()) throw UsageError("convert needs a picture");
    o.pictures = ExpandPictureFolders(parsed.Operands, recursive, err);
    if (o.pictures.empty()) throw Exception("no pictures to convert");
    if (o.output && o.folder) throw UsageError("-o and -d cannot be used together");
    if (o.prepare.Dither && o.thresholdsGiven)
        throw UsageError("--dither does not use the thresholds: give --dither or --thresholds");
    if (o.pictures.size() > 1 && !o.folder)
        throw UsageError("several pictures need -d FOLDER");
    if (std::count(o.pictures.begin(), o.pictures.end(), kStdio) > 1)
        throw UsageError("standard input (-) can be read only once");

    if (o.folder) {
        std::error_code ec;
        fs::create_directories(PathFromUtf8(*o.folder), ec);
        if (ec) throw Exception("Unable to create the folder " + *o.folder);
    }
    if (o.folder) return ConvertBatch(o, in, out, err);
    // One picture.
    const std::string& picture = o.pictures.front();
    try {
        const std::string output = OutputFor(picture, o);
        RunFiles(o.pictures).CheckOutput(output);
        ConvertOne(picture, output, o, in, out, err);
        return 0;
    } catch (const std::bad_alloc&) {
        ReportFailure(err, DisplayName(picture, "standard input"), "Out of system resources");
    } catch (const Exception& e) {
        ReportFailure(err, DisplayName(picture, "standard input"), e.Message());
    }
    return 1;
}

} // namespace tlc::cli
