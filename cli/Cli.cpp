#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <getopt.h>
#include <condition_variable>
#include <exception>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "base/Exceptions.h"
#include "base/ParseInt.h"
#include "base/Paths.h"
#include "base/Signals.h"
#include "cli/PrintFit.h"
#include "image/Bitmap.h"
#include "image/FileBytes.h"
#include "image/Icon.h"
#include "image/Image.h"
#include "image/Metafile.h"
#include "image/PictureFile.h"
#include "import/ImportedPicture.h"
#include "image/Resample.h"
#include "logo/Conversion.h"
#include "logo/LogoFile.h"
#include "logo/FileWriter.h"
#include "logo/LogoWriter.h"
#include "logo/LogoReader.h"
#include "logo/PrinterModels.h"

namespace tlc {

namespace {

namespace fs = std::filesystem;

const char* const kUsage =
    "Usage:\n"
    "  tillora-logo convert PICTURE [--printer N|NAME] [--thresholds R,G,B] [-o FILE]\n"
    "  tillora-logo convert PICTURE... -d FOLDER [--printer N|NAME] [--thresholds R,G,B] [-q]\n"
    "  tillora-logo convert ... [--fit] [--width N] [--dither fs|atkinson|ordered]\n"
    "  tillora-logo show LOGO [-o PICTURE.pbm|PICTURE.bmp|PICTURE.png]\n"
    "  tillora-logo info PICTURE\n"
    "  tillora-logo --help | --version\n"
    "\n"
    "convert  turns a picture (.bmp; .ico, .emf and .wmf load but cannot be converted)\n"
    "         into a logo file, exactly as the converter's window does. Printer: 0 to 3\n"
    "         or the start of its name (default 0); thresholds 0 to 255 (default\n"
    "         128,128,128); output logo.rsc beside the picture, or FILE, or NAME.rsc\n"
    "         in FOLDER for each picture. An output that is one of the pictures, or\n"
    "         that an earlier picture of the run wrote, is refused (exit status 1)\n"
    "         and the rest go on.\n"
    "show     checks a logo file and prints its printer, size and dots, or writes\n"
    "         the dots as a portable bitmap (.pbm) or a 1-bit Windows bitmap (.bmp).\n"
    "info     tells what loading a picture sees and the logo size for each printer.\n"
    "\n"
    "A picture or logo named - is read from standard input (the kind of picture\n"
    "from its content); -o - writes the logo to standard output. -d creates the\n"
    "folder when missing; a batch ends with a count of converted and failed\n"
    "pictures on standard error, and -q leaves out the line for each picture.\n"
    "Options take their value as --printer=2 or --printer 2; -- ends the options.\n"
    "\n"
    "Beyond the window (which keeps its formats and its threshold rule):\n"
    "  PNG, JPEG, GIF and WebP pictures are read too, recognised by their content;\n"
    "  transparent parts are white, as the paper is.\n"
    "  --fit          scales a picture larger than the printer's largest logo down\n"
    "                 to the largest size it prints whole, aspect kept (averaging\n"
    "                 in linear light); without it the picture is cut at the right\n"
    "                 and bottom as the window does.\n"
    "  --width N      a logo at most N dots across (implies --fit).\n"
    "  --dither fs|atkinson|ordered\n"
    "                 black and white by each pixel's grey level (0.299 R + 0.587 G\n"
    "                 + 0.114 B): Floyd-Steinberg or Atkinson error diffusion, or an\n"
    "                 8 x 8 ordered pattern; for photographs and gradients. The\n"
    "                 three thresholds are not used then: flat grey g gives about\n"
    "                 (255 - g) / 255 of the dots black, so --thresholds is refused.\n"
    "  show -o FILE.png writes the dots as a 1-bit PNG.\n"
    "  convert, info and show warn of a logo wider than its printer prints, where\n"
    "  the maker publishes the width (Epson TM-T88III: 512 dots).\n"
    "\n"
    "Printers:\n";

class UsageError : public Exception {
public:
    using Exception::Exception;
};

const TPrinterModels& Models() {
    static const TPrinterModels models = BuildPrinterModels();
    return models;
}

void PrintUsage(std::ostream& out) {
    out << kUsage;
    for (int i = 0; i < kPrinterModelCount; ++i)
        out << "  " << i << "  " << Models()[static_cast<std::size_t>(i)].Name << '\n';
}

// Name and version as GNU programs print them; the version is the project's.
void PrintVersion(std::ostream& out) {
    out << "tillora-logo (Tillora Graphic Logo Converter) " << TLC_PROJECT_VERSION << '\n';
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// An index 0 to 3, or the first printer whose name starts with the text
// (letter case ignored), as the printer list completes a typed name.
int ParsePrinter(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return text[0] - '0';
    const std::string wanted = Lower(text);
    if (!wanted.empty())
        for (int i = 0; i < kPrinterModelCount; ++i)
            if (Lower(Models()[static_cast<std::size_t>(i)].Name).rfind(wanted, 0) == 0) return i;
    throw UsageError("unknown printer \"" + text + "\"");
}

// Three whole numbers from 0 to 255, written as the threshold boxes take them
// (decimal, or hexadecimal after "$" or "0x"). The boxes quietly turn nonsense
// into 0; a command line says so instead.
Thresholds ParseThresholds(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos
                                                                       : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 3) throw UsageError("--thresholds needs three values: R,G,B");
    auto value = [](const std::string& part) {
        const std::int32_t v = ParseIntOrDefault(part, -1);
        if (v < 0 || v > 255)
            throw UsageError("threshold \"" + part + "\" is not a whole number from 0 to 255");
        return v;
    };
    return Thresholds{value(parts[0]), value(parts[1]), value(parts[2])};
}

std::string DescribeDots(const LogoGeometry& g) {
    return std::to_string(g.Width) + " x " + std::to_string(g.Height) + " dots";
}

// ------------------------------------------------------------------- options

// One option of a command. Long-only options leave Short at 0. Commands list
// theirs in a table; --help and --version come with every table.
struct OptionRow {
    const char* Long;
    char Short;
    bool TakesValue;
    std::function<void(const std::string&)> Apply;
};

struct ParsedOptions {
    std::vector<std::string> Operands;
    bool Help = false;
    bool Version = false;
};

int AnswerHelpOrVersion(const ParsedOptions& parsed, std::ostream& out) {
    if (parsed.Help)
        PrintUsage(out);
    else
        PrintVersion(out);
    return 0;
}

// GNU rules through getopt_long: --name=value or --name value, -x value or
// -xvalue, unique abbreviations of long names, options mixed with operands,
// "--" ends the options, "-" is an operand. With `inOrder` the first operand
// ends the options (the command word of the top level).
ParsedOptions ParseOptions(const std::vector<std::string>& args, std::vector<OptionRow> rows,
                           bool inOrder = false) {
    ParsedOptions parsed;
    rows.push_back({"help", 'h', false, [&](const std::string&) { parsed.Help = true; }});
    rows.push_back({"version", 'V', false, [&](const std::string&) { parsed.Version = true; }});

    // Long options answer with 256 + row so that a long name is told apart
    // from its short form in the error messages.
    constexpr int kLongBase = 256;
    std::string shortOptions = inOrder ? "+:" : ":";
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].Short) {
            shortOptions += rows[i].Short;
            if (rows[i].TakesValue) shortOptions += ':';
        }
        longOptions.push_back({rows[i].Long, rows[i].TakesValue ? required_argument : no_argument,
                               nullptr, kLongBase + static_cast<int>(i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    auto rowOf = [&](int value) -> std::optional<std::size_t> {
        if (value >= kLongBase) return static_cast<std::size_t>(value - kLongBase);
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (value != 0 && rows[i].Short == value) return i;
        return std::nullopt;
    };
    auto spelled = [&](int value) {
        const std::size_t row = *rowOf(value);
        return value >= kLongBase ? std::string("--") + rows[row].Long
                                  : std::string("-") + rows[row].Short;
    };

    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.push_back("tillora-logo");
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());

    optind = 0; // full restart of getopt's state: the tests parse many times
    opterr = 0;
    for (;;) {
        const int c = getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (c == -1) break;
        if (c == ':') {
            // BSD's getopt_long (MinGW) reports a value given to a flag this way too.
            if (optopt >= kLongBase && !rows[*rowOf(optopt)].TakesValue)
                throw UsageError(spelled(optopt) + " takes no value");
            throw UsageError(spelled(optopt) + " needs a value");
        }
        if (c == '?') {
            if (optopt >= kLongBase) throw UsageError(spelled(optopt) + " takes no value");
            if (optopt != 0) throw UsageError(std::string("unknown option -") + static_cast<char>(optopt));
            throw UsageError("unknown option " + std::string(argv[static_cast<std::size_t>(optind - 1)]));
        }
        const auto row = rowOf(c);
        if (!row) throw UsageError("unknown option " + std::string(argv[static_cast<std::size_t>(optind - 1)]));
        rows[*row].Apply(optarg ? std::string(optarg) : std::string());
    }
    for (int i = optind; i < argc; ++i) parsed.Operands.push_back(argv[static_cast<std::size_t>(i)]);
    return parsed;
}

// ------------------------------------------------------------- input, output

constexpr const char* kStdio = "-";

std::string DisplayName(const std::string& name, const char* stdioName) {
    return name == kStdio ? stdioName : name;
}

// Standard input read whole, under the same cap as a picture file.
std::vector<std::uint8_t> ReadAll(std::istream& in) {
    std::vector<std::uint8_t> bytes;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
        if (bytes.size() > kMaxPictureFileBytes) throw EOutOfResources();
    }
    if (in.bad()) throw EReadError("Stream read error");
    return bytes;
}

// PNG, JPEG, GIF and WebP by their first bytes; otherwise a file by its
// extension, as the window loads it, and standard input, which has no name,
// by its first bytes.
ImportFormat LoadPicture(TPicture& picture, const std::string& name, std::istream& in,
                         const ImportHints& hints = {}) {
    if (name != kStdio) return LoadPictureByContent(picture, name, hints);
    const std::vector<std::uint8_t> bytes = ReadAll(in);
    if (const ImportFormat format = InstallImportedPicture(picture, bytes, hints); format != ImportFormat::None)
        return format;
    const auto kind = SniffGraphicKind(bytes);
    if (!kind) throw EInvalidGraphic("Standard input holds no bitmap, icon or metafile");
    picture.Install(DecodeGraphic(*kind, bytes, hints.Crop));
    return ImportFormat::None;
}

std::vector<std::uint8_t> ReadLogoBytes(const std::string& name, std::istream& in) {
    return name == kStdio ? ReadAll(in) : ReadFileBytes(name, kLogoHeadBytes, CheckLogoFileHead);
}

// Every logo the command line writes goes through here.
void WriteLogo(const std::string& output, int printer, const LogoGeometry& geometry, TImage& target,
               std::ostream& out) {
    if (output == kStdio) {
        const std::vector<std::uint8_t> bytes = EncodeLogo(printer, geometry, target);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) throw Exception("Unable to write the logo to standard output");
        return;
    }
    const LogoWriteResult result = WriteLogoFile(output, printer, geometry, target);
    if (!result) throw Exception(result.Message);
}

void ReportFailure(std::ostream& err, const std::string& what, const std::string& message) {
    err << "tillora-logo: " << what << ": " << message << '\n';
}

// --------------------------------------------------------------------- convert

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

DitherMethod ParseDither(const std::string& text) {
    const std::string name = Lower(text);
    if (name == "fs" || name == "floyd-steinberg") return DitherMethod::FloydSteinberg;
    if (name == "atkinson") return DitherMethod::Atkinson;
    if (name == "ordered") return DitherMethod::Ordered;
    throw UsageError("--dither takes fs, atkinson or ordered, not \"" + text + "\"");
}

std::int32_t ParseWidth(const std::string& text) {
    const std::int32_t v = ParseIntOrDefault(text, -1);
    if (v < 1) throw UsageError("--width needs a whole number of dots above 0, not \"" + text + "\"");
    return v;
}

void WarnOfPrintWidth(std::ostream& err, const std::string& what, int model, std::int32_t width) {
    const std::string warning = PrintWidthWarning(Models(), model, width);
    if (!warning.empty()) ReportFailure(err, what, "warning: " + warning);
}

// A converted picture: the logo's bytes and what the report tells of it.
struct BuiltLogo {
    LogoGeometry geometry;
    PreparedPicture prepared;
    std::vector<std::uint8_t> bytes;
};

// The road of the window: load into an auto-sized source image and convert
// into the target image.
BuiltLogo LoadAndConvert(const std::string& picture, const ConvertOptions& o, std::istream& in,
                         TImage& target) {
    TImage source;
    source.SetAutoSize(true);
    const PrinterLimits limits = LimitsOf(Models(), o.printer);
    BuiltLogo built;
    built.prepared = LoadForPrinter(
        source.Picture(),
        [&](TPicture& p, const ImportHints& hints) { return LoadPicture(p, picture, in, hints); }, limits,
        o.prepare);
    ConvertImage(source, target, o.thresholds, limits, built.geometry);
    return built;
}

// The warning and the line of a converted picture.
void ReportConverted(const std::string& picture, const std::string& output, const ConvertOptions& o,
                     const BuiltLogo& built, std::ostream& out, std::ostream& err) {
    WarnOfPrintWidth(err, DisplayName(picture, "standard input"), o.printer, built.geometry.Width);
    if (o.quiet) return;
    // Standard output may carry the logo itself; the report then goes aside.
    std::ostream& report = output == kStdio ? err : out;
    report << DisplayName(picture, "standard input") << " -> "
           << DisplayName(output, "standard output") << " ("
           << Models()[static_cast<std::size_t>(o.printer)].Name << ", " << DescribeDots(built.geometry);
    if (built.prepared.Scaled)
        report << ", scaled from " << built.prepared.Original.Width << " x "
               << built.prepared.Original.Height;
    report << ")\n";
}

void ConvertOne(const std::string& picture, const std::string& output, const ConvertOptions& o,
                std::istream& in, std::ostream& out, std::ostream& err) {
    TImage target;
    const BuiltLogo built = LoadAndConvert(picture, o, in, target);
    // The file is opened before the first pixel is read.
    WriteLogo(output, o.printer, built.geometry, target, out);
    ReportConverted(picture, output, o, built, out, err);
}

// The files of a run, each looked at once: an output that would destroy a
// picture of the run is refused, as cp refuses to copy a file onto itself,
// and so is one that already holds the logo of an earlier picture.
class RunFiles {
public:
    explicit RunFiles(const std::vector<std::string>& pictures) {
        for (const std::string& picture : pictures) {
            FileFacts facts;
            if (picture != kStdio && DefaultFileOps().Inspect(picture, facts) && facts.Exists)
                pictures_.emplace(Identity(facts), picture);
        }
    }

    void CheckOutput(const std::string& output) const {
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

    void Written(const std::string& output, const std::string& picture) {
        FileFacts facts;
        if (output != kStdio && DefaultFileOps().Inspect(output, facts) && facts.Exists)
            written_.emplace(Identity(facts), picture);
    }

private:
    using Id = std::pair<std::uint64_t, std::uint64_t>;
    static Id Identity(const FileFacts& f) { return {f.Device, f.Inode}; }

    std::map<Id, std::string> pictures_; // the first name of each
    std::map<Id, std::string> written_;  // output -> its picture
};

std::string DefaultOutput(const std::string& picture) {
    const fs::path folder = PathFromUtf8(picture).parent_path();
    return folder.empty() ? std::string("logo.rsc") : Utf8FromPath(folder / "logo.rsc");
}

std::string OutputFor(const std::string& picture, const ConvertOptions& o) {
    if (o.folder) {
        // A picture without a name gets the default name.
        const std::string name = picture == kStdio ? "logo" : Utf8FromPath(PathFromUtf8(picture).stem());
        return Utf8FromPath(PathFromUtf8(*o.folder) / PathFromUtf8(name)) + ".rsc";
    }
    if (o.output) return *o.output;
    return picture == kStdio ? std::string("logo.rsc") : DefaultOutput(picture);
}

// ----------------------------------------------------------------------- batch

// Pictures whose files are flushed to the disk together: one wait on the
// disk per group instead of two per picture.
constexpr std::size_t kBatchGroup = 64;

// One picture of a batch on its way. A worker fills in the logo or the
// failure; the main thread writes, checks and reports in the pictures' order.
struct BatchItem {
    std::string output;
    std::optional<BuiltLogo> built;
    std::string failure;            // in the words the report gives
    bool failedEncoding = false;    // the failure came after the file would be opened
    std::exception_ptr fatal;       // anything else ends the run at its turn
    std::unique_ptr<FileWriter> writer;
    bool writeFailed = false;
    bool ready = false;
};

void BuildItem(BatchItem& item, const std::string& picture, const ConvertOptions& o, std::istream& in) {
    try {
        TImage target;
        BuiltLogo built = LoadAndConvert(picture, o, in, target);
        item.failedEncoding = true;
        built.bytes = EncodeLogo(o.printer, built.geometry, target);
        item.failedEncoding = false;
        item.built = std::move(built);
    } catch (const std::bad_alloc&) {
        item.failure = "Out of system resources";
    } catch (const Exception& e) {
        item.failure = e.Message();
    } catch (...) {
        item.fatal = std::current_exception();
    }
}

// Pictures are loaded, converted and encoded on every core, a bounded way
// ahead of the main thread, which takes them in order.
class BatchWorkers {
public:
    BatchWorkers(std::vector<BatchItem>& items, const ConvertOptions& o, std::istream& in)
        : items_(items), o_(o), in_(in) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const std::size_t count = std::min<std::size_t>(std::min(cores, 8u), items.size());
        if (count < 2) return; // one picture or one core: the main thread builds it
        // Interrupts stay with the main thread, which holds them back while a
        // logo's temporary file has a name.
        StartWithInterruptsBlocked([&] {
            try {
                for (std::size_t i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                // Fewer threads than asked for; the main thread makes up the rest.
            }
        });
    }
    BatchWorkers(const BatchWorkers&) = delete;
    BatchWorkers& operator=(const BatchWorkers&) = delete;
    ~BatchWorkers() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    // Waits for item j (building it here when nobody else will), and lets
    // the workers run up to `ahead` items past it.
    BatchItem& Take(std::size_t j, std::size_t ahead) {
        std::unique_lock<std::mutex> lock(mutex_);
        limit_ = std::max(limit_, std::min(items_.size(), j + ahead));
        wake_.notify_all();
        if (threads_.empty() || (next_ <= j && Claim(j))) {
            lock.unlock();
            BuildItem(items_[j], o_.pictures[j], o_, in_);
            lock.lock();
            items_[j].ready = true;
        }
        done_.wait(lock, [&] { return items_[j].ready; });
        return items_[j];
    }

private:
    // Claims the next item for the caller when it is `j`.
    bool Claim(std::size_t j) {
        if (next_ != j) return false;
        ++next_;
        return true;
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || next_ < limit_; });
            if (stop_) return;
            const std::size_t j = next_++;
            lock.unlock();
            BuildItem(items_[j], o_.pictures[j], o_, in_);
            lock.lock();
            items_[j].ready = true;
            done_.notify_all();
        }
    }

    std::vector<BatchItem>& items_;
    const ConvertOptions& o_;
    std::istream& in_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::size_t next_ = 0, limit_ = 0;
    bool stop_ = false;
};

// Opens the output and writes the logo beside it, as far as the order of
// the single conversion allows before its turn.
void StageItem(BatchItem& item) {
    if (item.fatal || (!item.failure.empty() && !item.failedEncoding)) return;
    item.writer = std::make_unique<FileWriter>(item.output);
    if (!item.writer->Opened())
        item.writeFailed = true;
    else if (item.built && !item.writer->Stage(item.built->bytes))
        item.writeFailed = true;
}

// Puts one logo in place, or reports why not, exactly as the single
// conversion decides: the output checks first, then the picture, then the file.
bool FinishItem(BatchItem& item, const std::string& picture, RunFiles& files, const ConvertOptions& o,
                std::ostream& out, std::ostream& err) {
    try {
        files.CheckOutput(item.output);
        if (item.fatal) std::rethrow_exception(item.fatal);
        if (item.writeFailed) throw Exception(UnableToCreateMessage(item.output));
        if (!item.failure.empty()) throw Exception(item.failure);
        if (!item.writer->Finish()) throw Exception(UnableToCreateMessage(item.output));
        files.Written(item.output, picture);
        ReportConverted(picture, item.output, o, *item.built, out, err);
        return true;
    } catch (const Exception& e) {
        ReportFailure(err, DisplayName(picture, "standard input"), e.Message());
        return false;
    }
}

int ConvertBatch(const ConvertOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    RunFiles files(o.pictures);
    const std::size_t n = o.pictures.size();
    std::vector<BatchItem> items(n);
    for (std::size_t j = 0; j < n; ++j) items[j].output = OutputFor(o.pictures[j], o);
    BatchWorkers workers(items, o, in);
    int failures = 0;
    for (std::size_t group = 0; group < n; group += kBatchGroup) {
        const std::size_t end = std::min(n, group + kBatchGroup);
        for (std::size_t j = group; j < end; ++j) StageItem(workers.Take(j, 2 * kBatchGroup));
        for (std::size_t j = group; j < end; ++j)
            if (items[j].writer && items[j].built && !items[j].writeFailed && !items[j].writer->Flush())
                items[j].writeFailed = true;
        // The lines wait until the names are durable; a failure that ends
        // the run still shows what was done before it.
        std::vector<std::string> errLines(end - group), outLines(end - group);
        std::set<std::string> folders;
        const auto report = [&] {
            for (const std::string& folder : folders) DefaultFileOps().SyncFolder(folder);
            for (std::size_t k = 0; k < end - group; ++k) err << errLines[k], out << outLines[k];
        };
        std::size_t j = group;
        try {
            for (; j < end; ++j) {
                std::ostringstream itemOut, itemErr;
                if (FinishItem(items[j], o.pictures[j], files, o, itemOut, itemErr)) {
                    if (items[j].writer->Replaces()) folders.insert(items[j].writer->Folder());
                } else {
                    ++failures;
                }
                errLines[j - group] = itemErr.str();
                outLines[j - group] = itemOut.str();
            }
        } catch (...) {
            report();
            throw;
        }
        report();
        for (std::size_t k = group; k < end; ++k) items[k] = BatchItem{};
    }
    err << n - static_cast<std::size_t>(failures) << " converted, " << failures << " failed\n";
    return failures == 0 ? 0 : 1;
}

int Convert(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
            std::ostream& err) {
    ConvertOptions o;
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
                  {"fit", 0, false, [&](const std::string&) { o.prepare.Fit = true; }},
                  {"width", 0, true,
                   [&](const std::string& v) {
                       o.prepare.MaxWidth = ParseWidth(v);
                       o.prepare.Fit = true;
                   }},
                  {"dither", 0, true, [&](const std::string& v) { o.prepare.Dither = ParseDither(v); }},
              });
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    o.pictures = parsed.Operands;
    if (o.pictures.empty()) throw UsageError("convert needs a picture");
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

// ------------------------------------------------------------------------ show

std::vector<std::uint8_t> PortableBitmap(const DecodedLogo& logo) {
    const std::string head =
        "P4\n" + std::to_string(logo.Width) + " " + std::to_string(logo.Height) + "\n";
    std::vector<std::uint8_t> bytes(head.begin(), head.end());
    const std::size_t rowBytes = (static_cast<std::size_t>(logo.Width) + 7) / 8;
    for (std::int32_t y = 0; y < logo.Height; ++y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
    return bytes;
}

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// 1 bit per dot, white as colour 0 and black as colour 1, bottom row first.
std::vector<std::uint8_t> WindowsBitmap(const DecodedLogo& logo) {
    const std::uint32_t stride = ((static_cast<std::uint32_t>(logo.Width) + 31) / 32) * 4;
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(logo.Height);
    const std::uint32_t offset = 14 + 40 + 8;
    std::vector<std::uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, offset + pixelBytes);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<std::uint32_t>(logo.Width));
    Put32(b, static_cast<std::uint32_t>(logo.Height));
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 0);
    Put32(b, pixelBytes);
    Put32(b, 7874); // 200 dots per inch, as the printers print
    Put32(b, 7874);
    Put32(b, 2);
    Put32(b, 2);
    Put32(b, 0x00FFFFFF);
    Put32(b, 0x00000000);
    for (std::int32_t y = logo.Height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (std::int32_t x = 0; x < logo.Width; ++x)
            if (logo.Black(x, y)) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// At most 72 characters across; a character shows a block of dots: "#" when
// at least half of them are black, "+" when some are, "." when none.
void PrintTextPicture(const DecodedLogo& logo, std::ostream& out) {
    if (logo.Width == 0 || logo.Height == 0) return;
    const std::int32_t sx = std::max<std::int32_t>(1, (logo.Width + 71) / 72);
    const std::int32_t sy = sx * 2; // characters are about twice as tall as wide
    for (std::int32_t y0 = 0; y0 < logo.Height; y0 += sy) {
        std::string line;
        for (std::int32_t x0 = 0; x0 < logo.Width; x0 += sx) {
            int black = 0, all = 0;
            for (std::int32_t y = y0; y < std::min(y0 + sy, logo.Height); ++y)
                for (std::int32_t x = x0; x < std::min(x0 + sx, logo.Width); ++x, ++all)
                    black += logo.Black(x, y) ? 1 : 0;
            line += black * 2 >= all ? '#' : black > 0 ? '+' : '.';
        }
        out << line << '\n';
    }
}

bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && Lower(s.substr(s.size() - suffix.size())) == suffix;
}

int Show(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err) {
    std::optional<std::string> output;
    const ParsedOptions parsed =
        ParseOptions(args, {{"output", 'o', true, [&](const std::string& v) { output = v; }}});
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.empty()) throw UsageError("show needs a logo file");
    if (parsed.Operands.size() > 1) throw UsageError("show takes one logo file");
    const std::string& logoPath = parsed.Operands[0];
    const std::string logoName = DisplayName(logoPath, "standard input");
    if (output && !EndsWith(*output, ".pbm") && !EndsWith(*output, ".bmp") && !EndsWith(*output, ".png"))
        throw UsageError("-o takes a .pbm, .bmp or .png file name");

    DecodedLogo logo;
    try {
        logo = DecodeLogo(ReadLogoBytes(logoPath, in));
    } catch (const Exception& e) {
        ReportFailure(err, logoName, e.Message());
        return 1;
    }
    out << "Printer: " << Models()[static_cast<std::size_t>(logo.Model)].Name << " (model "
        << logo.Model << ")\n";
    out << "Size: " << logo.Width << " x " << logo.Height << " dots\n";
    for (const std::string& w : logo.Warnings) ReportFailure(err, logoName, "warning: " + w);
    WarnOfPrintWidth(err, logoName, logo.Model, logo.Width);
    if (output && !EndsWith(*output, ".pbm") && (logo.Width == 0 || logo.Height == 0)) {
        // Windows bitmaps and PNG pictures have at least one dot across and down.
        ReportFailure(err, *output,
                      "a logo of " + DescribeDots({logo.Width, logo.Height}) +
                          " has no .bmp or .png form; write it as .pbm");
        return 1;
    }
    if (output) {
        const FileWriteResult result = WriteFileCarefully(
            *output, EndsWith(*output, ".pbm")   ? PortableBitmap(logo)
                     : EndsWith(*output, ".bmp") ? WindowsBitmap(logo)
                                                 : EncodeOneBitPng(logo.Width, logo.Height,
                                                                   [&](std::int32_t x, std::int32_t y) {
                                                                       return logo.Black(x, y);
                                                                   }));
        if (!result) {
            ReportFailure(err, *output, result.Message);
            return 1;
        }
        out << "Dots written to " << *output << '\n';
    } else {
        PrintTextPicture(logo, out);
    }
    return 0;
}

// ------------------------------------------------------------------------ info

const char* CompressionName(std::uint32_t compression) {
    switch (compression) {
    case BI_RGB: return "none";
    case BI_RLE8: return "8-bit run-length";
    case BI_RLE4: return "4-bit run-length";
    case BI_BITFIELDS: return "channel masks";
    default: return "other";
    }
}

int Info(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
         std::ostream& err) {
    const ParsedOptions parsed = ParseOptions(args, {});
    if (parsed.Help || parsed.Version) return AnswerHelpOrVersion(parsed, out);
    if (parsed.Operands.size() != 1) throw UsageError("info takes one picture");
    const std::string picture = DisplayName(parsed.Operands[0], "standard input");
    TPicture pic;
    ImportFormat format = ImportFormat::None;
    try {
        format = LoadPicture(pic, parsed.Operands[0], in);
    } catch (const Exception& e) {
        ReportFailure(err, picture, e.Message());
        return 1;
    }
    const TGraphic* g = pic.Graphic();
    out << "Picture: " << picture << '\n';
    if (format != ImportFormat::None) {
        out << "Kind: " << ImportFormatName(format) << " picture (read by the command line only)\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
    } else switch (g->Kind()) {
    case GraphicKind::Bitmap: {
        const TBitmapImage& im = static_cast<const TBitmap*>(g)->Image();
        out << "Kind: bitmap\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        out << "Bits per pixel: " << im.FileBitCount << " in the file, " << im.BitCount()
            << " as held\n";
        out << "Colour table: " << im.ColourTable().size() << " entries\n";
        out << "Compression: " << CompressionName(im.FileCompression) << '\n';
        out << "Rows: " << (im.Height() < 0 ? "top row first" : "bottom row first") << '\n';
        break;
    }
    case GraphicKind::Icon:
        out << "Kind: icon (shown, not converted)\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        break;
    case GraphicKind::Metafile: {
        const TMetafileImage& im = static_cast<const TMetafile*>(g)->Image();
        out << "Kind: " << (im.Enhanced ? "enhanced metafile" : "Windows metafile")
            << " (shown, not converted)\n";
        out << "Width: " << pic.Width() << "\nHeight: " << pic.Height() << '\n';
        break;
    }
    }
    out << "Logo size by printer:\n";
    for (int i = 0; i < kPrinterModelCount; ++i) {
        const LogoGeometry geometry = FitGeometry(pic.Width(), pic.Height(), LimitsOf(Models(), i));
        out << "  " << i << "  " << Models()[static_cast<std::size_t>(i)].Name << ": "
            << DescribeDots(geometry) << '\n';
        WarnOfPrintWidth(err, picture, i, geometry.Width);
    }
    if (g->Kind() != GraphicKind::Bitmap)
        out << "Only bitmaps can be converted.\n";
    return 0;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
    int status = 0;
    try {
        const ParsedOptions top = ParseOptions(args, {}, true);
        if (top.Help || top.Version) {
            status = AnswerHelpOrVersion(top, out);
        } else if (top.Operands.empty()) {
            throw UsageError("a command is needed");
        } else {
            const std::string& command = top.Operands[0];
            const std::vector<std::string> rest(top.Operands.begin() + 1, top.Operands.end());
            if (command == "help")
                PrintUsage(out);
            else if (command == "convert")
                status = Convert(rest, in, out, err);
            else if (command == "show")
                status = Show(rest, in, out, err);
            else if (command == "info")
                status = Info(rest, in, out, err);
            else
                throw UsageError("unknown command " + command);
        }
    } catch (const UsageError& e) {
        err << "tillora-logo: " << e.Message() << " (tillora-logo --help tells the usage)\n";
        return 2;
    } catch (const Exception& e) {
        err << "tillora-logo: " << e.Message() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "tillora-logo: " << e.what() << '\n';
        return 1;
    }
    // A full disk or a closed pipe behind standard output is a failure too.
    if (!out.flush()) {
        err << "tillora-logo: cannot write to standard output\n";
        return 1;
    }
    return status;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCli(args, std::cin, out, err);
}

} // namespace tlc
