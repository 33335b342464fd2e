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
// With `pipe` (a shell command such as "head -n 1") its stdout goes through
// that command: Out is what the command printed, Status still orvan-cli's.
TCliResult RunCli(const std::string& args, const std::string& workDir = "",
                  const std::string& pipe = "");

} // namespace orvan::test
