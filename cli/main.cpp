#include <iostream>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/Cli.h"

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // A batch frees one picture's rasters and asks for the same sizes for the
    // next: keep the memory instead of handing it back and faulting it in
    // again page by page (five times the work per picture otherwise).
    // Rasters of 16 MiB and more are mapped on their own regardless.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    return tlc::RunCli(args, std::cout, std::cerr);
}
