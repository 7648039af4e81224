#pragma once

#include <memory>
#include <ostream>
#include <streambuf>

namespace tlc::cli {

// For the life of the program the console shows UTF-8, as every message
// and name is written: the console's output code page is UTF-8 (its own
// comes back at the end, since a Command Prompt shares its console with the
// programs it starts), and standard output and error, where they are the
// console, write UTF-16 through WriteConsoleW, which shows every character
// whatever the code page. Redirected streams keep their UTF-8 bytes.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    unsigned previous_ = 0;
    std::unique_ptr<std::streambuf> out_, err_;
    std::streambuf* oldOut_ = nullptr;
    std::streambuf* oldErr_ = nullptr;
};

// True when no other process shares this console: the program was started
// from Explorer (a double click), which opened the console for it alone.
bool ConsoleOwnedAlone();

// Says how the program is used from a Command Prompt and waits for a key,
// so that the console stays open to be read.
int GreetDoubleClick(std::ostream& out);

} // namespace tlc::cli
