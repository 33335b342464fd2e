// program-id, auto and qtp: the production commands.
#include "app/Workspace.h"
#include "buffer/BufferOps.h"
#include "buffer/HexText.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "link/WriterLink.h"
#include "ops/Operation.h"
#include "production/Autoprogram.h"
#include "production/IDText.h"
#include "production/Programid.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/SerialNo.h"
#include "production/SerialSetup.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>
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

// The dialog as its operator finally sees it.
struct TLines {
    std::map<std::string, std::string> Text;
    std::map<std::string, bool> Red;
    std::vector<std::string> Messages;
    std::vector<std::string> RecordLines;

    void operator()(const TOpUpdate& u) {
        if (u.Kind == TOpUpdate::TKind::Text) {
            if (u.Control == MessageBoxControl)
                Messages.push_back(u.Text);
            else if (u.Control == RecordLineControl)
                RecordLines.push_back(u.Text);
            else
                Text[u.Control] = u.Text;
        } else if (u.Kind == TOpUpdate::TKind::Colour) {
            Red[u.Control] = u.Value == int(TLineColour::Red);
        }
    }
    // The first red line, in the dialog's top-to-bottom order.
    std::string FirstFailure() const {
        for (const char* c : {"EraseMsg", "Label1", "Label2", "Label3", "Label4"}) {
            const auto r = Red.find(c);
            if (r != Red.end() && r->second) return Text.count(c) ? Text.at(c) : std::string();
        }
        return {};
    }
};

// A production line stops on Ctrl-C between two bytes, not mid-chip.
std::stop_source Interrupt;
void OnInterrupt(int) {
    Interrupt.request_stop();
}

// Label texts write "&" doubled.
std::string Shown(std::string text) {
    for (size_t at = text.find("&&"); at != std::string::npos; at = text.find("&&", at + 1))
        text.erase(at, 1);
    return text;
}

// Serial settings from the command line, checked as the dialog's OK (or
// its "QTP File" button) checks them.
int ApplySerialOptions(TWorkspace& ws, const TProductionArgs& p, bool forQtp, int& parts) {
    TSerialEntry e = EntryFromSettings(ws);
    e.StartAddress = p.SerialAddr;
    e.NoOfByte = p.SerialBytes;
    e.StartValue = p.SerialValue;
    e.Increment = p.Increment.empty() ? "1" : p.Increment;
    e.NoOfPart = p.Parts;
    e.Random = p.Random ? 1 : 0;
    e.LsbFirst = p.LsbFirst ? 1 : 0;
    const TSerialCheck c = forQtp ? PrepareQTPEntry(ws, e, parts) : AcceptSerialEntry(ws, e);
    if (!c.Ok) {
        std::cerr << c.Message << "\n";
        return 1;
    }
    return 0;
}

} // namespace

std::shared_ptr<TProductionRecords> OpenStoreFor(const TProductionArgs& p,
                                                 const std::string& dataFile, std::string& error) {
    TStoreConfig config{p.Db, p.Station};
    if (!ReadStoreConfig(StoreConfigFile, config, error)) return nullptr;
    CompleteStoreConfig(config);
    return OpenRecords(config, dataFile, error);
}

int OpenRecordsFor(const TArgs& args, TWorkspace& ws, const std::string& dataFile) {
    std::string error;
    const auto records = OpenStoreFor(args.Production, dataFile, error);
    if (!records) {
        std::cerr << "Production records cannot be opened: " << error << "\n";
        return ExitStore;
    }
    records->RetryMs = 1000;
    records->RetryLimit = 5;
    ws.Records = records;
    return 0;
}

std::string YieldText(int64_t passes, int64_t chips) {
    if (chips == 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * double(passes) / double(chips));
    return text;
}

int ParseProductionOption(const std::string& a, const char* next, TProductionArgs& p) {
    const std::map<std::string, std::string*> valued = {{"--id", &p.IdText},
                                                        {"--id-hex", &p.IdHex},
                                                        {"--qtp", &p.QtpFile},
                                                        {"--serial-addr", &p.SerialAddr},
                                                        {"--serial-bytes", &p.SerialBytes},
                                                        {"--serial-value", &p.SerialValue},
                                                        {"--increment", &p.Increment},
                                                        {"-o", &p.Output},
                                                        {"--parts", &p.Parts},
                                                        {"--db", &p.Db},
                                                        {"--station", &p.Station},
                                                        {"--since", &p.Since}};
    if (const auto v = valued.find(a); v != valued.end()) {
        if (!next) return -2;
        *v->second = next;
        if (a == "--id") p.HasIdText = true;
        if (a == "--id-hex") p.HasIdHex = true;
        return 1;
    }
    if (a == "--no-blank-check")
        p.NoBlankCheck = true;
    else if (a == "--random")
        p.Random = true;
    else if (a == "--lsb-first")
        p.LsbFirst = true;
    else if (a == "--restart-series")
        p.RestartSeries = true;
    else if (a == "--csv")
        p.Csv = true;
    else
        return -1;
    return 0;
}

int CmdProgramID(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    if (p.HasIdText && p.HasIdHex) return UsageError("program-id takes --id or --id-hex, not both");
    if (p.HasIdText && p.IdText.size() > 12) return UsageError("--id takes at most 12 characters");
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = PrepareRun(args, "program-id", ws, link); rc != 0 || !link) return rc;
    if (p.HasIdText) StoreASCIIID(ws->Buffers, p.IdText);
    if (p.HasIdHex) StoreHexID(ws->Buffers, p.IdHex);
    ws->CalChecksum();
    std::printf("ID: %s\nChecksum: %s\n", IDHexText(ws->Buffers).c_str(),
                ws->Panel.Checksum.c_str());
    TLines lines;
    RunOperation(*ws, *link, ProgramIDThread, std::ref(lines));
    for (const char* c : {"Label1", "Label2"})
        if (!lines.Text[c].empty()) std::printf("%s\n", Shown(lines.Text[c]).c_str());
    return lines.Text["Label2"] == "ID && Checksum verify OK!!" ? 0 : 1;
}

int CmdAuto(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    const int count = args.Count;
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
        if (!LoadQTPFile(*ws, p.QtpFile, message)) {
            std::cerr << "Can't open " << p.QtpFile << "\n";
            return 1;
        }
        if (message) {
            std::cerr << *message << "\n";
            return 1;
        }
    }
    ws->GetICInfo();
    if (const auto question = ResetAddrQuestion(ws->Device, ws->Buffers); question && !args.Yes) {
        std::cerr << *question << " (--yes programs all the same)\n";
        return 1;
    }
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
        std::printf("The series starts again at %s as asked (recorded)\n",
                    ws->QTPActive ? "the QTP file's first record" : ws->Serial.HexText().c_str());
    int passes = 0, fails = 0;
    bool storeFailed = false;

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    int failures = 0;
    for (int chip = 1; chip <= count && !Interrupt.stop_requested(); ++chip) {
        const bool numbered = ws->Serial.SerialModeOn;
        const std::string before = ws->Panel.PassCount;
        TLines lines;
        RunOperation(*ws, *link, AutoProgramThread, std::ref(lines), Interrupt.get_token());
        const std::string number = !numbered ? "-"
                                   : lines.Text.count(ChipSerialControl)
                                       ? lines.Text[ChipSerialControl]
                                       : ws->Serial.HexText();
        const bool pass = ws->Panel.PassCount != before;
        // Where the numbers continue, and every record that failed.
        for (size_t k = 0; k < lines.RecordLines.size(); ++k)
            if (chip == 1 || lines.Red[RecordLineControl])
                std::printf("%s%s\n", lines.Red[RecordLineControl] ? "ERROR: " : "",
                            lines.RecordLines[k].c_str());
        if (lines.Text[ChipVerdictControl] == "pass") ++passes;
        if (lines.Text[ChipVerdictControl] == "fail") ++fails;
        const std::string failure = lines.FirstFailure();
        std::string verdict = pass ? "PASS" : "FAIL";
        if (!failure.empty())
            verdict += ": " + Shown(failure);
        else if (!pass && !lines.Text["Label1"].empty())
            verdict += ": " + lines.Text["Label1"];
        std::printf("chip %d serial %s %s\n", chip, number.c_str(), verdict.c_str());
        if (!pass) ++failures;
        for (const std::string& m : lines.Messages)
            std::printf("%s\n", m.c_str());
        std::fflush(stdout);
        if ((lines.Red[RecordLineControl] && lines.Text[ChipVerdictControl].empty()) ||
            failure.rfind(RecordsFailurePrefix, 0) == 0) {
            storeFailed = true; // no chip goes on without its record
            break;
        }
        if (!lines.Messages.empty() && !ws->QTPActive) break; // the QTP file has ended
    }
    std::printf("Pass Count : %s\n", ws->Panel.PassCount.c_str());
    std::printf("Passes %d, fails %d, yield %s\n", passes, fails,
                YieldText(passes, passes + fails).c_str());
    if (storeFailed) return ExitStore;
    return failures == 0 && !Interrupt.stop_requested() ? 0 : 1;
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
    if (!WriteQTPFile(p.Output, text)) {
        std::cerr << FileCantBeSavedText << "\n";
        return 1;
    }
    std::printf("%d records, next number %s\n", parts, ws->Serial.HexText().c_str());
    return 0;
}

} // namespace orvan::cli
