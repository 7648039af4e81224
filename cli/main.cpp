#include <iostream>
#include <string>
#include <vector>

#include "base/ProcessStreams.h"
#include "cli/Cli.h"
#ifdef _WIN32
#include "cli/win/Console.h"
#endif

int main(int argc, char** argv) {
    tlc::UseBinaryStandardStreams();
#ifdef _WIN32
    const tlc::cli::Utf8Console console;
    if (argc <= 1 && tlc::cli::ConsoleOwnedAlone()) return tlc::cli::GreetDoubleClick(std::cout);
#endif
    return tlc::RunCli(tlc::CommandLineArguments(argc, argv), std::cout, std::cerr);
}
