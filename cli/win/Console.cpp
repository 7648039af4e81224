#include "cli/win/Console.h"

#include <iostream>
#include <string>
#include <string_view>

#include <windows.h>

namespace tlc::cli {

namespace {

// Collects UTF-8 and writes it to a console as UTF-16 at each line end and
// flush, so that lines keep their order with the other stream's (a
// character cut at the end of the buffer waits for its other bytes).
class ConsoleBuffer final : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        pending_ += static_cast<char>(c);
        if (c == '\n' || pending_.size() >= 4096) sync();
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        if (std::string_view(s, static_cast<std::size_t>(n)).find('\n') != std::string_view::npos ||
            pending_.size() >= 4096)
            sync();
        return n;
    }
    int sync() override {
        // Up to the last whole character.
        std::size_t whole = pending_.size();
        for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
            const auto c = static_cast<unsigned char>(pending_[pending_.size() - back]);
            if ((c & 0xC0) == 0x80) continue;
            const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (length > back) whole = pending_.size() - back;
            break;
        }
        if (whole == 0) return 0;
        const int wide =
            ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), nullptr, 0);
        std::wstring text(static_cast<std::size_t>(wide), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, pending_.data(), static_cast<int>(whole), text.data(),
                              wide);
        pending_.erase(0, whole);
        for (std::size_t at = 0; at < text.size();) {
            DWORD written = 0;
            if (!::WriteConsoleW(console_, text.data() + at, static_cast<DWORD>(text.size() - at),
                                 &written, nullptr) ||
                written == 0)
                return -1;
            at += written;
        }
        return 0;
    }

private:
    HANDLE console_;
    std::string pending_;
};

// A buffer writing to the console behind `which`, or none when it is not one.
std::unique_ptr<std::streambuf> ConsoleBufferFor(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !handle || !::GetConsoleMode(handle, &mode))
        return nullptr;
    return std::make_unique<ConsoleBuffer>(handle);
}

} // namespace

Utf8Console::Utf8Console()
    : previous_(::GetConsoleOutputCP()), out_(ConsoleBufferFor(STD_OUTPUT_HANDLE)),
      err_(ConsoleBufferFor(STD_ERROR_HANDLE)) {
    if (previous_ != 0 && previous_ != CP_UTF8) ::SetConsoleOutputCP(CP_UTF8);
    if (out_) oldOut_ = std::cout.rdbuf(out_.get());
    if (err_) oldErr_ = std::cerr.rdbuf(err_.get());
}

Utf8Console::~Utf8Console() {
    std::cout.flush();
    std::cerr.flush();
    if (out_) std::cout.rdbuf(oldOut_);
    if (err_) std::cerr.rdbuf(oldErr_);
    if (previous_ != 0 && previous_ != CP_UTF8) ::SetConsoleOutputCP(previous_);
}

bool ConsoleOwnedAlone() {
    DWORD ids[2];
    return ::GetConsoleProcessList(ids, 2) == 1;
}

namespace {

// Blocks until a key goes down; returns at once when standard input is not a
// console (a pipe or file cannot be answered with a key).
void WaitForKey() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !::GetConsoleMode(input, &mode)) return;
    ::FlushConsoleInputBuffer(input);
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!::ReadConsoleInputW(input, &record, 1, &read) || read == 0) return;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
    }
}

} // namespace

int GreetDoubleClick(std::ostream& out) {
    out << "tillora-logo turns pictures into logo files for receipt printers.\r\n"
           "It is used from a Command Prompt, not by a double click:\r\n"
           "\r\n"
           "  1. In Explorer, click the address bar of this folder, type cmd\r\n"
           "     and press Enter. A Command Prompt opens here.\r\n"
           "  2. Type a command, for example:\r\n"
           "       tillora-logo convert picture.png\r\n"
           "       tillora-logo convert picture.bmp --printer 2 -o logo.rsc\r\n"
           "       tillora-logo --help\r\n"
           "\r\n"
           "README.txt beside this program tells more.\r\n"
           "\r\n"
           "Press any key to close this window.\r\n";
    out.flush();
    WaitForKey();
    return 0;
}

} // namespace tlc::cli
