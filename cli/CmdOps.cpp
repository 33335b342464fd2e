// The chip operations: each runs its worker on its own thread as the desktop
// dialog does, then prints the dialog's lines as they finally stand.
#include "buffer/BufferBlock.h"
#include "buffer/BufferOps.h"
#include "buffer/HexText.h"
#include "buffer/SaveBin.h"
#include "buffer/SaveHex.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Signals.h"
#include "device/Checksum.h"
#include "link/WriterLink.h"
#include "ops/Forcewrite.h"
#include "ops/OpLayout.h"
#include "ops/Operation.h"
#include "production/Records.h"
#include "session/ConfigFile.h"
#include "session/FileCommands.h"
#include "session/Operations.h"
#include "session/Workspace.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stop_token>
#include <thread>
#include <unistd.h>

namespace orvan::cli {
namespace {

struct TOpCommand {
    const char* Name;
    TOpKind Kind;
    size_t Files;
    bool Progress; // a progress line on a terminal
};

const TOpCommand OpCommands[] = {
    {"blank-check", TOpKind::BlankCheck, 0, false},
    {"erase", TOpKind::BlankCheck, 0, false},
    {"read", TOpKind::Read, 1, true},
    {"program", TOpKind::ProgramMemory, 1, true},
    {"program-option", TOpKind::ProgramOption, 0, false},
    {"verify", TOpKind::Verify, 1, false},
    {"program-eeprom", TOpKind::ProgramEEPROM, 1, false},
    {"force-write", TOpKind::ForceWrite, 1, true},
};

const TOpCommand* FindCommand(const std::string& name) {
    for (const TOpCommand& c : OpCommands)
        if (name == c.Name) return &c;
    return nullptr;
}

// SIGINT, SIGTERM and SIGHUP (taken by the process's watcher, cli/Signals)
// stop the worker between two bytes, as closing the dialog does.
class TCancelOnSignal {
  public:
    std::stop_token Token() const { return StopToken(); }
    bool Cancelled() const { return StopToken().stop_requested(); }
};

// "\r 42% 0A3C" on stderr while it is a terminal: the gauge, or the word
// address the program-memory dialog shows.
class TProgress {
  public:
    TProgress(bool wanted, int words)
        : On(wanted && isatty(2) && Verbosity() != TVerbosity::Quiet), Words(words) {}
    ~TProgress() {
        if (Shown) std::fputs("\n", stderr);
    }
    void Update(const TOpUpdate& u) {
        TProgressStep step;
        if (On && ProgressOf(u, Words, step)) Show(step.Percent, step.Word);
    }
    // A run that passed ends at 100 %.
    void Finish(bool passed) {
        if (Shown && passed) Show(100, Words);
    }

  private:
    void Show(int percent, int word) {
        std::fprintf(stderr, "\r%3d%% %04X", std::min(percent, 100), unsigned(word));
        std::fflush(stderr);
        Shown = true;
    }
    bool On;
    int Words;
    bool Shown = false;
};

// Runs one operation to its end; the dialog state carries over between
// the runs of force write.
TOpOutcome RunOnce(TWorkspace& ws, TWriterLink& link, TOpKind kind, TDialogState& dialog,
                   TProgress& progress, TJsonDialog& json, std::stop_token cancel) {
    return RunOperation(
        ws, link, LayoutOf(kind).Routine,
        [&](const TOpUpdate& u) {
            const bool changed = dialog.Apply(u);
            progress.Update(u);
            json(u, changed);
        },
        cancel);
}

// A raw EEPROM image of at most the model's EEPROM size.
int LoadEEPROMImage(TWorkspace& ws, const std::string& path) {
    if (path == "-")
        return UsageError("an EEPROM image is raw bytes, which standard input (-) cannot be "
                          "told apart from: name the file");
    std::ifstream f(path, std::ios::binary);
    if (!f) return Fail(ExitFile, "Cannot open " + path);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const int e = ws.Device.EEBytes();
    if (bytes.size() > size_t(e))
        return Fail(ExitFile, path + ": " + std::to_string(bytes.size()) +
                                  " bytes, more than the " + std::to_string(e) + " of the EEPROM");
    ws.Buffers.EEBuffer.fill(0);
    std::copy(bytes.begin(), bytes.end(), ws.Buffers.EEBuffer.begin());
    return 0;
}

// --option HHHH as the OPTION editor's OK would leave it: the word in the
// buffer and its decoding (which program-option checks) redrawn.
int ApplyOption(TWorkspace& ws, const std::string& text) {
    if (!text.empty()) {
        unsigned word = 0;
        if (!ParseOptionWord(text, word))
            return UsageError("malformed --option " + text +
                              " (four hexadecimal digits, at most 3FFF)");
        WordToPair(word, ws.Buffers.OptionLo, ws.Buffers.OptionHi);
    }
    ws.RefreshData();
    return 0;
}

// read's and verify's own options, checked before the port is opened.
int CheckFileOptions(const TArgs& args, const std::string& file) {
    for (const std::string* named : {&args.SaveCfg, &args.EepromOut, &args.Eeprom})
        if (*named == "-")
            return UsageError(args.Command + " writes and reads those files by name, "
                                             "not as - (standard input or output)");
    if (args.Command == "verify") return CheckIdOptions(args.Production, "verify");
    if (args.Command != "read" || file != "-") return 0;
    if (JsonOutput())
        return UsageError("read - puts the BIN on stdout, which --json keeps for JSON");
    if (!args.SaveCfg.empty())
        return UsageError("--save-cfg names OUT, which must then be a file, not -");
    FileOnStdout();
    return 0;
}

// What read keeps besides OUT: the configuration naming OUT (OPTION and ID
// as read), and the EEPROM image once it was read.
int SaveReadFiles(const TArgs& args, TWorkspace& ws, const std::string& out, bool eepromRead) {
    if (!args.SaveCfg.empty()) {
        ws.LoadedFileName = out;
        if (args.Port.size() == 4) ws.PortIndex = args.Port[3] - '1'; // "Com1".."Com8"
        if (!SaveCfgFile(ws, args.SaveCfg))
            return ErrorLine(ExitFile, "'" + args.SaveCfg + "' file can't be saved!");
        Result()["cfg"] = args.SaveCfg;
    }
    if (!args.EepromOut.empty() && eepromRead) {
        const auto* ee = ws.Buffers.EEBuffer.data();
        if (!WriteFileAtomic(
                args.EepromOut,
                std::vector<uint8_t>(ee, ee + std::min(ws.Device.EEBytes(), EEBufferBytes))))
            return ErrorLine(ExitFile, "'" + args.EepromOut + "' file can't be saved!");
        Result()["eeprom"] = args.EepromOut;
    }
    return 0;
}

} // namespace

bool IsChipOperation(const std::string& command) {
    return FindCommand(command) != nullptr;
}

int CmdChipOperation(const TArgs& args) {
    const TOpCommand& cmd = *FindCommand(args.Command);
    if (args.Count < 1) return UsageError("--count takes a number of runs, 1 or more");
    // A database misnamed stops force-write before the port is opened.
    if (cmd.Kind == TOpKind::ForceWrite)
        if (const int rc = CheckStoreArgs(args.Production)) return rc;
    if (cmd.Kind == TOpKind::ForceWrite)
        if (const int rc = CheckRecordedFile(args)) return rc;
    const std::string file = cmd.Files && !args.Files.empty() ? args.Files[0] : std::string();
    if (const int rc = CheckFileOptions(args, file)) return rc;
    const TCancelOnSignal cancel;
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = Prepare(args, cmd.Name, ws, link, cmd.Files); rc != 0 || !link) return rc;
    ws->GetICInfo();
    const bool flash = ws->Device.IsFlash();
    if (!flash && !(args.EepromOut + args.Eeprom).empty())
        return UsageError(ws->DeviceName + " is an OTP model: it has no EEPROM to " +
                          (args.Eeprom.empty() ? "save" : "compare"));

    switch (cmd.Kind) {
    case TOpKind::BlankCheck:
        // The erase button is there only for flash models.
        if (args.Command == "erase" && !flash)
            return UsageError(ws->DeviceName + " is no flash model: it cannot be erased");
        ws->EraseFirst = args.Command == "erase";
        break;
    case TOpKind::Read:
        ws->ReadDone = false;
        break;
    case TOpKind::ProgramMemory:
        if (const int rc = LoadDataFile(*ws, file)) return rc;
        ws->GetICInfo();
        // No operator to ask: a blank reset word is refused unless --yes
        // says the image is meant that way.
        if (const auto question = ResetAddrQuestion(ws->Device, ws->Buffers);
            question && !args.Yes) {
            ErrorLine(ExitUsage, *question);
            std::fputs("(give --yes to program it all the same)\n", stderr);
            return ExitUsage;
        }
        break;
    case TOpKind::ProgramOption:
        if (const int rc = ApplyOption(*ws, args.Option)) return rc;
        break;
    case TOpKind::Verify:
        if (const int rc = LoadDataFile(*ws, file)) return rc;
        if (const int rc = ApplyOption(*ws, args.Option)) return rc;
        StoreIdOptions(args.Production, *ws);
        if (!args.Eeprom.empty()) {
            if (const int rc = LoadEEPROMImage(*ws, args.Eeprom)) return rc;
        } else if (flash) {
            const std::string note =
                "EEPROM compared with a blank buffer (all 00); --eeprom FILE compares it "
                "with an image";
            std::cerr << note << "\n";
            if (JsonOutput()) Emit({{"event", "message"}, {"text", note}});
        }
        ws->VerifyProtect = args.Protect;
        ws->CalChecksum(); // the checksum the status panel shows
        break;
    case TOpKind::ProgramEEPROM:
        if (!flash) return UsageError(ws->DeviceName + " has no EEPROM");
        if (const int rc = LoadEEPROMImage(*ws, file)) return rc;
        break;
    case TOpKind::ForceWrite:
        if (const int rc = LoadDataFile(*ws, file)) return rc;
        ws->Serial.SerialModeOn = false;
        ws->VerifyProtect = args.Protect;
        if (const int rc = OpenRecordsFor(args, *ws, file)) return rc;
        break;
    }

    TDialogState dialog(LayoutOf(cmd.Kind));
    TJsonDialog json(dialog, ws->Device.WordCount());
    const int runs = cmd.Kind == TOpKind::ForceWrite ? args.Count : 1;
    TOpOutcome outcome;
    bool ok = true;
    for (int run = 0; run < runs && ok && !cancel.Cancelled(); ++run) {
        if (runs > 1) json.SetExtra({{"run", run + 1}});
        if (run == 0) json.Start();
        {
            TProgress progress(cmd.Progress, ws->Device.WordCount());
            outcome = RunOnce(*ws, *link, cmd.Kind, dialog, progress, json, cancel.Token());
            progress.Finish(outcome.Pass);
            json.Finish(outcome.Pass);
        }
        ok = !cancel.Cancelled() && outcome.Pass;
        if (runs > 1) PrintDetail("Run " + std::to_string(run + 1));
        PrintOutcome(dialog, outcome);
        // A chip's record not written stops production, whatever the chip did.
        if (!outcome.RecordError.empty() || outcome.Failure == TFailureClass::Store)
            return ExitStore;
    }
    Result()["lines"] = dialog.FinalLines();
    // A run stopped inside a block: the next process knows nothing of it,
    // so this one lets the writer drop the block before it goes.
    SettleLine(link->Comm1, *link->Clock, *link, {});
    if (cmd.Kind == TOpKind::ForceWrite) {
        PrintLine("Pass Count : " + ws->Panel.PassCount);
        Result()["passCount"] = ws->Panel.PassCount;
    }

    if (cmd.Kind == TOpKind::Read && ws->ReadDone) {
        ws->RefreshData();
        ws->CalChecksum();
        if (std::string error; !SaveProgramFile(*ws, file, error))
            return ErrorLine(ExitFile, error);
        Result()["output"] = file;
        Result()["checksum"] = ws->Panel.Checksum;
        Result()["option"] = HexText(PairToWord(ws->Buffers.OptionLo, ws->Buffers.OptionHi), 4);
        if (const int rc = SaveReadFiles(args, *ws, file, ok)) return rc;
    }
    if (cancel.Cancelled()) return ErrorLine(ExitChipFailed, "Stopped");
    if (ok) return ExitOk;
    if (const std::string failure = FailureOf(dialog, outcome); !failure.empty())
        Result()["error"] = failure;
    return ExitOf(outcome);
}

} // namespace orvan::cli
