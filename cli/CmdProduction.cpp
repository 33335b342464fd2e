// program-id, auto and qtp: the production commands.
#include "buffer/BufferOps.h"
#include "buffer/HexText.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Signals.h"
#include "link/WriterLink.h"
#include "ops/ChipSteps.h"
#include "ops/Operation.h"
#include "production/Autoprogram.h"
#include "production/IDText.h"
#include "production/Programid.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/SerialNo.h"
#include "production/SerialSetup.h"
#include "production/StoreConfig.h"
#include "session/Operations.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <stop_token>

namespace orvan::cli {
namespace {

// The workspace with FILE loaded (and --cfg and --option applied), the
// link's port open.
int PrepareRun(const TArgs& args, const char* command, std::unique_ptr<TWorkspace>& ws,
               std::unique_ptr<TWriterLink>& link) {
    if (const int rc = Prepare(args, command, ws, link, 1); rc != 0 || !link) return rc;
    if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    if (!args.Option.empty()) {
        unsigned word = 0;
        if (!ParseOptionWord(args.Option, word))
            return UsageError("malformed --option " + args.Option +
                              " (four hexadecimal digits, at most 3FFF)");
        WordToPair(word, ws->Buffers.OptionLo, ws->Buffers.OptionHi);
        ws->RefreshData();
        ws->CalChecksum();
    }
    return 0;
}

// What the operator is told of a run besides its dialog's lines: every
// record line and every message box, in order.
struct TNotices {
    std::vector<std::string> Messages;
    std::vector<std::string> RecordLines;

    void operator()(const TOpUpdate& u) {
        if (u.Kind != TOpUpdate::TKind::Text) return;
        if (u.Control == MessageBoxControl) Messages.push_back(u.Text);
        if (u.Control == RecordLineControl) RecordLines.push_back(u.Text);
    }
};

// Serial settings from the command line, checked as the dialog's OK (or
// its "QTP File" button) checks them.
int ApplySerialOptions(TWorkspace& ws, const TProductionArgs& p, bool forQtp, int& parts) {
    TSerialEntry e = EntryFromSettings(ws.Serial);
    e.StartAddress = p.SerialAddr;
    e.NoOfByte = p.SerialBytes;
    e.StartValue = p.SerialValue;
    e.Increment = p.Increment.empty() ? "1" : p.Increment;
    e.NoOfPart = p.Parts;
    e.Random = p.Random ? 1 : 0;
    e.LsbFirst = p.LsbFirst ? 1 : 0;
    const TSerialCheck c = forQtp ? PrepareQTPEntry(ws, e, parts) : AcceptSerialEntry(ws, e);
    return c.Ok ? ExitOk : UsageError(c.Message);
}

} // namespace

bool StoreConfigFor(const TProductionArgs& p, TStoreConfig& config, std::string& error,
                    std::string* warning) {
    TDatabaseName name;
    if (!p.Db.empty() && !ParseDatabaseName(p.Db, name, error)) {
        error = "--db: " + error;
        return false;
    }
    if (!p.Station.empty() && !CheckStationName(p.Station, error)) {
        error = "--station: " + error;
        return false;
    }
    config = {p.Db, p.Station};
    return ReadStoreConfig(StoreConfigFile, config, error, warning);
}

int CheckStoreArgs(const TProductionArgs& p) {
    TStoreConfig config;
    std::string error, warning;
    if (!StoreConfigFor(p, config, error, &warning)) return UsageError(error);
    if (!warning.empty()) std::cerr << "orvan-cli: warning: " << warning << "\n";
    return 0;
}

std::shared_ptr<TProductionRecords> OpenStoreFor(const TProductionArgs& p, const std::string& port,
                                                 const std::string& dataFile, std::string& error) {
    TStoreConfig config;
    if (!StoreConfigFor(p, config, error)) return nullptr;
    CompleteStoreConfig(config, port);
    return OpenRecords(config, dataFile, error);
}

int OpenRecordsFor(const TArgs& args, TWorkspace& ws, const std::string& dataFile) {
    std::string error;
    const auto records = OpenStoreFor(args.Production, args.Port, dataFile, error);
    if (!records) return Fail(ExitStore, "Production records cannot be opened: " + error);
    // Told once: the chips this station left with a number on them.
    for (const TChipRecord& unknown : records->Unknown)
        PrintLine(UnknownOutcomeLine(unknown));
    ws.Records = records;
    return 0;
}

int CheckIdOptions(const TProductionArgs& p, const std::string& command) {
    if (p.HasIdText && p.HasIdHex) return UsageError(command + " takes --id or --id-hex, not both");
    if (p.HasIdText && p.IdText.size() > 12) return UsageError("--id takes at most 12 characters");
    return 0;
}

void StoreIdOptions(const TProductionArgs& p, TWorkspace& ws) {
    if (p.HasIdText) StoreASCIIID(ws.Buffers, p.IdText);
    if (p.HasIdHex) StoreHexID(ws.Buffers, p.IdHex);
}

int CmdProgramID(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    if (const int rc = CheckIdOptions(p, "program-id")) return rc;
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = PrepareRun(args, "program-id", ws, link); rc != 0 || !link) return rc;
    StoreIdOptions(p, *ws);
    ws->CalChecksum();
    PrintDetail("ID: " + IDHexText(ws->Buffers));
    PrintDetail("Checksum: " + ws->Panel.Checksum);
    Result()["id"] = IDHexText(ws->Buffers);
    Result()["checksum"] = ws->Panel.Checksum;
    TDialogState dialog(ProgramIDLayout());
    TJsonDialog json(dialog, 0);
    json.Start();
    const TOpOutcome o = RunOperation(
        *ws, *link, ProgramIDThread,
        [&](const TOpUpdate& u) {
            const bool changed = dialog.Apply(u);
            json(u, changed);
        },
        StopToken());
    // Stopped inside a block: the writer drops it before this process goes.
    SettleLine(link->Comm1, *link->Clock, *link, {});
    PrintOutcome(dialog, o);
    Result()["lines"] = dialog.FinalLines();
    if (o.Pass) return ExitOk;
    if (const std::string failure = FailureOf(dialog, o); !failure.empty())
        Result()["error"] = failure;
    return ExitOf(o);
}

int CheckRecordedFile(const TArgs& args) {
    if (args.Files.empty() || args.Files[0] != "-") return 0;
    return UsageError(args.Command + " records the data file's SHA-256: name the file, not -");
}

int CmdAuto(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    const int count = args.Count;
    if (const int rc = CheckStoreArgs(p)) return rc;
    if (const int rc = CheckRecordedFile(args)) return rc;
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = PrepareRun(args, "auto", ws, link); rc != 0 || !link) return rc;
    int parts = 0;
    if (!p.SerialBytes.empty() || !p.SerialAddr.empty() || !p.SerialValue.empty()) {
        if (p.SerialBytes.empty() || p.SerialAddr.empty() || p.SerialValue.empty())
            return UsageError("--serial-addr, --serial-bytes and --serial-value go together");
        if (const int rc = ApplySerialOptions(*ws, p, false, parts)) return rc;
    } else if (p.Random || (p.LsbFirst && p.QtpFile.empty()) || !p.Increment.empty()) {
        return UsageError("--increment, --random and --lsb-first need the serial settings");
    }
    if (!p.QtpFile.empty()) {
        // The order setting in force reads the file.
        if (p.LsbFirst) ws->Serial.SerialLsbFirst = 1;
        std::optional<std::string> message;
        if (!LoadQTPFile(*ws, p.QtpFile, message)) return Fail(ExitFile, "Can't open " + p.QtpFile);
        if (message) return Fail(ExitFile, *message);
    }
    ws->GetICInfo();
    if (const auto question = ResetAddrQuestion(ws->Device, ws->Buffers); question && !args.Yes)
        return UsageError(*question + " (--yes programs all the same)");
    // What would fail every chip is refused before the first one.
    if (const char* bad = OptionStatusText(ws->Panel.Option.OptionStatus))
        return UsageError(std::string(bad) + " (give --option HHHH, or --cfg FILE with it)");
    if (!ws->Serial.SerialModeOn &&
        ProgramImageBlank(ws->Buffers.ProgramBuffer.data(), ws->Device.ICMemBytes))
        return UsageError(ProgramBlankText);
    ws->SkipBlankCheck = p.NoBlankCheck;
    if (!p.NoBlankCheck) ws->EraseFirst = ws->Device.IsFlash();
    if (p.RestartSeries && !args.Yes)
        return UsageError("--restart-series programs numbers that were used before: give --yes "
                          "as well to confirm");
    // Production without records does not start.
    if (const int rc = OpenRecordsFor(args, *ws, args.Files[0])) return rc;
    const auto& records = ws->Records;
    records->RestartSeries = p.RestartSeries;
    if (p.RestartSeries)
        PrintLine(std::string("The series starts again at ") +
                  (ws->QTPActive ? "the QTP file's first record" : ws->Serial.HexText()) +
                  " as asked (recorded)");
    int passes = 0, fails = 0;
    bool storeFailed = false, seriesDamaged = false;

    // A production line stops on Ctrl-C between two bytes, not mid-chip.
    const std::stop_token interrupt = StopToken();
    int failures = 0, chips = 0;
    ExitCode worst = ExitChipFailed; // a writer fault outranks a chip fault
    bool writerFaultBefore = false;  // the chip before failed on the writer
    for (int chip = 1; chip <= count && !interrupt.stop_requested(); ++chip) {
        const bool numbered = ws->Serial.SerialModeOn;
        TDialogState dialog(AutoProgramLayout());
        TNotices notices;
        TJsonDialog json(dialog, ws->Device.WordCount(), "Label3");
        json.SetExtra({{"chip", chip}});
        const TOpOutcome o = RunOperation(
            *ws, *link, AutoProgramThread,
            [&](const TOpUpdate& u) {
                const bool changed = dialog.Apply(u);
                notices(u);
                json(u, changed);
            },
            interrupt);
        json.Finish(o.Pass);
        ++chips;
        const std::string number = !numbered          ? "-"
                                   : o.Serial.empty() ? ws->Serial.HexText()
                                                      : o.Serial;
        // Where the numbers continue (the first chip's line), and every
        // record line in red.
        const bool recordRed = dialog[RecordLineControl].Colour == TLineColour::Red;
        for (const std::string& line : notices.RecordLines)
            if (chip == 1 || recordRed) PrintDetail((recordRed ? "ERROR: " : "") + line);
        if (o.Recorded) ++(o.Pass ? passes : fails);
        const std::string head = "chip " + std::to_string(chip) + " serial " + number;
        std::string verdict = o.Pass ? "PASS" : "FAIL";
        if (!o.Pass && !o.FirstFailure.empty()) verdict += ": " + o.FirstFailure;
        if (!o.RecordError.empty()) {
            // The writer's verdict stands; only its record is missing.
            verdict =
                std::string(o.Pass ? "passed" : "failed") + ", record not saved: " + o.RecordError;
            ErrorLine(ExitStore, head + " " + verdict);
        } else {
            PrintDetail(head + " " + verdict);
        }
        if (JsonOutput()) {
            TJson e = {{"event", "chip"}, {"chip", chip}};
            e["serial"] = numbered ? TJson(number) : TJson(nullptr);
            e["ok"] = o.Pass;
            e["verdict"] = verdict;
            e["recorded"] = o.Recorded;
            e["passCount"] = ws->Panel.PassCount;
            Emit(e);
        }
        if (!o.Pass) {
            ++failures;
            if (o.Failure == TFailureClass::Writer) worst = ExitWriter;
        }
        for (const std::string& m : notices.Messages)
            PrintDetail(m);
        if (!o.RecordError.empty() || o.Failure == TFailureClass::Store) {
            storeFailed = true; // no chip goes on without its record
            break;
        }
        // A line gone, or a writer that failed two chips in a row, would
        // fail every chip after them as well; one bad reply or stall is let
        // pass, as the next chip often goes well.
        const bool writerFault = o.Failure == TFailureClass::Writer;
        if (writerFault && (writerFaultBefore || !link->Comm1.Enabled())) break;
        writerFaultBefore = writerFault;
        if (o.Failure == TFailureClass::File && worst != ExitWriter) worst = ExitFile;
        seriesDamaged = o.SeriesDamaged;
        if (o.SeriesEnded || o.Failure == TFailureClass::File) break; // the QTP file has ended
    }
    // Stopped inside a block: the writer drops it before this process goes.
    SettleLine(link->Comm1, *link->Clock, *link, {});
    PrintDetail("Pass Count : " + ws->Panel.PassCount);
    PrintLine("Passes " + std::to_string(passes) + ", fails " + std::to_string(fails) + ", yield " +
              YieldText(passes, passes + fails));
    Result()["chips"] = chips;
    Result()["failed"] = failures;
    Result()["passCount"] = ws->Panel.PassCount;
    Result()["passes"] = passes;
    Result()["fails"] = fails;
    if (storeFailed) return ExitStore;
    if (interrupt.stop_requested()) return ExitChipFailed;
    // A QTP record that cannot be read ended production: the file's fault.
    if (seriesDamaged && worst != ExitWriter) return ExitFile;
    return failures == 0 ? ExitOk : worst;
}

int CmdQtp(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    if (args.Files.size() != 1 || p.Output.empty()) return UsageError("qtp needs FILE and -o OUT");
    if (p.SerialAddr.empty() || p.SerialBytes.empty() || p.SerialValue.empty() || p.Parts.empty())
        return UsageError("qtp needs --serial-addr, --serial-bytes, --serial-value and --parts");
    auto ws = std::make_unique<TWorkspace>();
    if (const int rc = SetUpWorkspace(args, *ws)) return rc;
    if (const int rc = LoadDataFile(*ws, args.Files[0])) return rc;
    int parts = 0;
    if (const int rc = ApplySerialOptions(*ws, p, true, parts)) return rc;
    const std::string text = GenerateQTP(ws->Serial, parts);
    if (!WriteQTPFile(p.Output, text)) return Fail(ExitFile, FileCantBeSavedText);
    PrintLine(std::to_string(parts) + " records, next number " + ws->Serial.HexText());
    Result()["output"] = p.Output;
    Result()["records"] = parts;
    Result()["nextNumber"] = ws->Serial.HexText();
    return ExitOk;
}

} // namespace orvan::cli
