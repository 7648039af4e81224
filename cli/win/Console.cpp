#include "cli/win/Console.h"

#include <windows.h>

namespace tlc::cli {

Utf8Console::Utf8Console() : previous_(::GetConsoleOutputCP()) {
    if (previous_ != 0 && previous_ != CP_UTF8) ::SetConsoleOutputCP(CP_UTF8);
}

Utf8Console::~Utf8Console() {
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
