// convert: load a data file, save the program memory as BIN. Also the
// file steps the other subcommands share: --cfg and data-file arguments.
#include "app/Workspace.h"
#include "buffer/ConfigFile.h"
#include "buffer/DataFile.h"
#include "buffer/SaveBin.h"
#include "cli/Commands.h"

#include <iostream>
#include <memory>

namespace orvan::cli {
namespace {

void PrintMessages(const TFileResult& r) {
    for (const std::string& m : r.Messages)
        std::cerr << m << "\n";
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
    PrintMessages(r);
    if (!r.Ok) {
        ws.ResetData();
        return 1;
    }
    return r.RecordError ? 1 : 0;
}

int LoadDataFile(TWorkspace& ws, const std::string& path) {
    TFileOptions options;
    options.ShowFormatWarnings = true; // there is no window to hide them behind
    const TFileResult r = OpenDataFile(ws, path, options);
    PrintMessages(r);
    return r.Ok && !r.RecordError ? 0 : 1;
}

int CmdConvert(const TArgs& args) {
    if (args.Files.size() != 2) return UsageError("convert needs FILE and OUT");
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    if (!SaveBin(*ws, args.Files[1])) {
        std::cerr << SorryCantBeSavedText << "\n";
        return 1;
    }
    return 0;
}

} // namespace orvan::cli
