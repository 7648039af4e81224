#include <iostream>
#include <string>
#include <vector>

#include "base/ProcessStreams.h"
#include "cli/Cli.h"

int main(int argc, char** argv) {
    tlc::UseBinaryStandardStreams();
    return tlc::RunCli(tlc::CommandLineArguments(argc, argv), std::cout, std::cerr);
}
