#include "cli/Options.h"

#include <algorithm>
#include <cctype>
#include <getopt.h>
#include <optional>

#include "base/ParseInt.h"
#include "cli/Usage.h"
#include "logo/PrinterModels.h"

namespace tlc::cli {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}


int ParsePrinter(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return text[0] - '0';
    const std::string wanted = Lower(text);
    if (!wanted.empty())
        for (int i = 0; i < kPrinterModelCount; ++i)
            if (Lower(std::string(Printer(i).Name)).rfind(wanted, 0) == 0) return i;
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

int AnswerHelpOrVersion(const ParsedOptions& parsed, std::ostream& out) {
    if (parsed.Help)
        PrintUsage(out);
    else
        PrintVersion(out);
    return 0;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args, std::vector<OptionRow> rows,
                           bool inOrder) {
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

} // namespace tlc::cli
