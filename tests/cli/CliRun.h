#pragma once

// The command line run in-process, its streams kept.
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace tlc::test {

struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun Cli(std::vector<std::string> args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunCli(args, in, out, err);
    return {status, out.str(), err.str()};
}

} // namespace tlc::test
