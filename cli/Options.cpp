#include "cli/Options.h"

#include <algorithm>
#include <cctype>
#include <getopt.h>
#include <optional>
#include <string_view>

#include "base/ParseInt.h"
#include "cli/Usage.h"
#include "logo/PrinterModels.h"

namespace tlc::cli {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}


namespace {

// A printer's name as compared: lower case, without spaces and hyphens, so
// that "tsp700", "TSP 700" and "TSP-700" are one name.
std::string PrinterKey(std::string_view name) {
    std::string key;
    for (const char c : name)
        if (c != ' ' && c != '-') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// The row's names: its table name and the printers it is for.
std::vector<std::string> PrinterKeys(int model) {
    std::vector<std::string> keys = {PrinterKey(Printer(model).Name)};
    std::string_view machines = Printer(model).Machines;
    while (!machines.empty()) {
        const std::size_t bar = machines.find('|');
        keys.push_back(PrinterKey(machines.substr(0, bar)));
        machines = bar == std::string_view::npos ? std::string_view() : machines.substr(bar + 1);
    }
    return keys;
}

std::string ListPrinters(const std::vector<int>& models) {
    std::string list;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (i > 0) list += i + 1 == models.size() ? " or " : ", ";
        list += std::to_string(models[i]) + " \"" + std::string(Printer(models[i]).Name) + "\"";
    }
    return list;
}

} // namespace

int ParsePrinter(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return text[0] - '0';
    // A whole name wins; otherwise the text must start the names of one row
    // only ("Epson TM-T88II" also starts "Epson TM-T88III", but is a name).
    const std::string wanted = PrinterKey(text);
    std::vector<int> exact, starting;
    for (int i = 0; i < kPrinterModelCount && !wanted.empty(); ++i) {
        const std::vector<std::string> keys = PrinterKeys(i);
        if (std::find(keys.begin(), keys.end(), wanted) != keys.end())
            exact.push_back(i);
        else if (std::any_of(keys.begin(), keys.end(),
                             [&](const std::string& k) { return k.rfind(wanted, 0) == 0; }))
            starting.push_back(i);
    }
    if (exact.size() == 1) return exact.front();
    if (exact.empty() && starting.size() == 1) return starting.front();
    if (!exact.empty() || !starting.empty())
        throw UsageError("printer \"" + text + "\" could be " + ListPrinters(exact.empty() ? starting : exact) +
                         "; give its number or more of its name");
    std::vector<int> all;
    for (int i = 0; i < kPrinterModelCount; ++i) all.push_back(i);
    throw UsageError("unknown printer \"" + text + "\"; the printers are " + ListPrinters(all));
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
    // A logo is at least 8 dots across: a narrower width could only squeeze
    // the picture into a corner of those 8.
    if (v < 8) throw UsageError("--width needs a whole number of dots from 8 up, not \"" + text + "\"");
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
