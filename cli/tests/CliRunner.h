// Runs the built orvan-cli and captures what it prints.
#pragma once

#include <string>

namespace orvan::test {

struct TCliResult {
    int Status = -1;
    std::string Out; // standard output
    std::string Err; // standard error
};

// Runs orvan-cli with `args` (shell words) in `workDir` (empty: current).
TCliResult RunCli(const std::string& args, const std::string& workDir = "");

} // namespace orvan::test
