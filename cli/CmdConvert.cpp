// convert: load a data file, save the program memory as BIN. Also the
// file steps the other subcommands share: --cfg and data-file arguments.
#include "buffer/DataFile.h"
#include "buffer/SaveBin.h"
#include "cli/Commands.h"
#include "session/ConfigFile.h"
#include "session/FileCommands.h"
#include "session/Workspace.h"

#include <iostream>
#include <memory>

namespace orvan::cli {
namespace {

// A load's messages on stderr; a failed or damaged load is a file error.
int Report(const TFileResult& r) {
    const bool failed = !r.Ok || r.RecordError;
    for (const std::string& m : r.Messages) {
        if (failed) {
            Fail(ExitFile, m);
            continue;
        }
        std::cerr << m << "\n"; // a warning: the load went on
        if (JsonOutput()) Emit({{"event", "message"}, {"text", m}});
    }
    return failed ? ExitFile : ExitOk;
}

} // namespace

int SetUpWorkspace(const TArgs& args, TWorkspace& ws) {
    if (args.Model.empty() && args.CfgFile.empty())
        return UsageError(args.Command + " needs -d MODEL or --cfg FILE");
    if (!args.Model.empty() && !ws.SelectDevice(args.Model))
        return UsageError("unknown model " + args.Model);
    if (args.CfgFile.empty()) return 0;
    ws.ConfigPath = args.CfgFile;
    TFileOptions options;
    options.ShowFormatWarnings = true; // as for a data file named on the command line
    const TFileResult r = LoadCfgFile(ws, TCfgMode::Full, options);
    if (!r.Ok) ws.ResetData();
    // Two models named: which one the chip is cannot be guessed.
    if (r.Ok && !args.Model.empty() && ws.DeviceName != args.Model)
        return UsageError("-d " + args.Model + " is not the model of " + args.CfgFile + ", " +
                          ws.DeviceName);
    return Report(r);
}

int LoadDataFile(TWorkspace& ws, const std::string& path) {
    TFileOptions options;
    options.ShowFormatWarnings = true; // there is no window to hide them behind
    return Report(OpenDataFile(ws, path, options));
}

int CmdConvert(const TArgs& args) {
    if (args.Files.size() != 2) return UsageError("convert needs FILE and OUT");
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    if (!SaveBin(*ws, args.Files[1])) return Fail(ExitFile, SorryCantBeSavedText);
    Result()["output"] = args.Files[1];
    return ExitOk;
}

} // namespace orvan::cli
