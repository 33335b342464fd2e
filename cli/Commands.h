// orvan-cli subcommands. Each returns the process exit status:
// 0 success, 1 a file or operation error, 2 a usage error.
#pragma once

#include <string>
#include <vector>

namespace orvan::cli {

struct TArgs {
    std::string Command;
    std::string Model;              // -d MODEL
    std::string Port;               // -P PORT ("Com1".."Com8")
    std::string Option;             // --option HHHH
    std::string CfgFile;            // --cfg FILE
    std::vector<std::string> Files; // positional arguments after the command
};

// Prints a one-line error to stderr and returns 2.
int UsageError(const std::string& text);

int CmdDevices(const TArgs& args);
int CmdStatus(const TArgs& args);
int CmdConvert(const TArgs& args);
int CmdConnect(const TArgs& args);
int CmdAbout(const TArgs& args);

} // namespace orvan::cli
