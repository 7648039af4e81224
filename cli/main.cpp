#include <iostream>
#include <string>
#include <vector>

#include "base/Platform.h"
#include "cli/Cli.h"

int main(int argc, char** argv) {
    tlc::UseBinaryStandardStreams();
    // A batch asks for the same raster sizes picture after picture.
    tlc::KeepFreedMemoryForReuse();
    return tlc::RunCli(tlc::CommandLineArguments(argc, argv), std::cout, std::cerr);
}
