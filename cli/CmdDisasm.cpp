// disasm: the program memory as the disassembly window lists it, on
// standard output, or written as the ".dis" file "Save Disassmble" writes.
#include "cli/Commands.h"
#include "disasm/Disassembler.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace orvan::cli {

int CmdDisasm(const TArgs& args) {
    if (args.Files.size() > 1) return UsageError("disasm takes at most one FILE");
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (!args.Files.empty())
        if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    ws->GetICInfo();
    const std::vector<std::string> lines =
        DisassembleLines(ws->Buffers.ProgramBuffer, ws->Device.ICMemBytes);
    if (!args.Output.empty()) {
        if (!SaveListing(args.Output, lines)) return Fail(ExitFile, CantBeSavedText);
        Result()["output"] = args.Output;
        return ExitOk;
    }
    if (JsonOutput()) {
        Result()["lines"] = lines;
        return ExitOk;
    }
    std::string text;
    for (const std::string& l : lines) {
        text += l;
        text += '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? ExitOk : ExitFile;
}

} // namespace orvan::cli
