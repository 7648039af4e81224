#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "base/Types.h"
#include "logo/Conversion.h"
#include "image/Resample.h"

namespace tlc::cli {

// Wrong usage: exit status 2 and a pointer to --help.
class UsageError : public Exception {
public:
    using Exception::Exception;
};

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

// Answers --help or --version, whichever was asked.
int AnswerHelpOrVersion(const ParsedOptions& parsed, std::ostream& out);

// GNU rules through getopt_long: --name=value or --name value, -x value or
// -xvalue, unique abbreviations of long names, options mixed with operands,
// "--" ends the options, "-" is an operand. With `inOrder` the first operand
// ends the options (the command word of the top level).
ParsedOptions ParseOptions(const std::vector<std::string>& args, std::vector<OptionRow> rows,
                           bool inOrder = false);

// The values options take; each refuses a bad one with a UsageError.
// An index 0 to 3, a printer's whole name, or the start of the names of one
// printer only (letter case, spaces and hyphens ignored). Anything else is a
// UsageError naming the printers the text could mean.
int ParsePrinter(const std::string& text);

// Three whole numbers from 0 to 255, written as the threshold boxes take them
// (decimal, or hexadecimal after "$" or "0x"). The boxes quietly turn nonsense
// into 0; a command line says so instead.
Thresholds ParseThresholds(const std::string& text);
DitherMethod ParseDither(const std::string& text);
std::int32_t ParseWidth(const std::string& text);

// The text in lower case (ASCII letters).
std::string Lower(std::string s);

} // namespace tlc::cli
