// convert: load a data file, save the program memory by OUT's type. Also
// the file steps the other subcommands share: --cfg, data-file arguments
// (standard input among them) and program-memory files out.
#include "buffer/DataFile.h"
#include "buffer/SaveBin.h"
#include "buffer/SaveHex.h"
#include "cli/Commands.h"
#include "session/ConfigFile.h"
#include "session/FileCommands.h"
#include "session/Workspace.h"

#include <algorithm>
#include <cstdio>
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

// Standard input as a data file of the type its content shows: Intel HEX,
// which begins with ':'. Nothing else on it can be told apart.
class TStdinFile : public TFileAccess {
  public:
    static constexpr const char* Name = "-.hex";
    bool Exists(const std::string& path) const override { return path == Name; }
    TReadStatus Read(const std::string& path, std::size_t limit, bool refuseLonger,
                     std::vector<uint8_t>& out) const override {
        if (path != Name) return TReadStatus::Missing;
        if (Bytes.size() > limit && refuseLonger) return TReadStatus::TooLarge;
        out.assign(Bytes.begin(), Bytes.begin() + std::ptrdiff_t(std::min(limit, Bytes.size())));
        return TReadStatus::Ok;
    }
    // False when standard input holds something other than Intel HEX.
    bool Take() {
        char buf[65536];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, stdin)) > 0;) {
            Bytes.insert(Bytes.end(), buf, buf + n);
            if (Bytes.size() > MaxFileBytes) break; // refused as too large
        }
        return !Bytes.empty() && Bytes[0] == ':';
    }

  private:
    std::vector<uint8_t> Bytes;
};

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
    if (path != "-") return Report(OpenDataFile(ws, path, options));
    TStdinFile in;
    if (!in.Take())
        return UsageError("standard input (-) must hold Intel HEX, which begins with ':'; "
                          "name a file for any other data");
    const int rc = Report(OpenDataFile(ws, TStdinFile::Name, options, in));
    if (ws.LoadedFileName == TStdinFile::Name) ws.LoadedFileName = path;
    return rc;
}

bool SaveProgramFile(TWorkspace& ws, const std::string& path, std::string& error) {
    ws.GetICInfo();
    std::vector<uint8_t> bytes;
    if (!ProgramFileBytes(ws.Buffers, ws.Device, path, bytes, error)) return false;
    error = SorryCantBeSavedText;
    return path == "-" ? WriteStdout(bytes) : WriteFileAtomic(path, bytes);
}

int CmdConvert(const TArgs& args) {
    if (args.Files.size() != 2) return UsageError("convert needs FILE and OUT");
    const std::string& out = args.Files[1];
    if (out == "-" && JsonOutput())
        return UsageError("OUT - puts the BIN on stdout, which --json keeps for JSON");
    if (out == "-") FileOnStdout();
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    if (std::string error; !SaveProgramFile(*ws, out, error)) return Fail(ExitFile, error);
    Result()["output"] = args.Files[1];
    return ExitOk;
}

} // namespace orvan::cli
