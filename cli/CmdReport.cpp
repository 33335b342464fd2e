// report: the production records per day, station and model, or the chip
// records as CSV.
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "production/ReportFigures.h"
#include "production/StoreConfig.h"

#include <cstdio>
#include <iostream>

namespace orvan::cli {
namespace {

// A name as one line of the table: control characters (C0, DEL, C1) as
// '?', so that no name recorded adds a row of its own.
std::string OneLine(std::string s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0xC2 && i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0x80)
            s.replace(i, 2, "?");
        else if (c < 0x20 || c == 0x7F)
            s[i] = '?';
    }
    return s;
}

} // namespace

int CmdReport(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    if (!args.Files.empty()) return UsageError("report takes no file");
    if (p.Csv && JsonOutput()) return UsageError("report takes --csv or --json, not both");
    if (!p.Since.empty() && !ValidCalendarDate(p.Since))
        return UsageError("--since takes a calendar day, YYYY-MM-DD");
    // --station here chooses whose chips to show, not who this is.
    if (const int rc = CheckStoreArgs(p)) return rc;
    TStoreConfig config;
    std::string error;
    StoreConfigFor(p, config, error);
    CompleteStoreConfig(config);
    // A report reads: a database misnamed is not created.
    const auto store = OpenProductionStore(config.Database, error, false);
    if (!store) return Fail(ExitStore, "Production records cannot be opened: " + error);
    TReportQuery q;
    q.Since = p.Since;
    q.Station = p.Station;
    if (p.Csv) {
        std::vector<TChipRecord> chips;
        if (!store->Chips(q, chips, error)) return Fail(ExitStore, error);
        std::fputs(ChipCsvHeader().c_str(), stdout);
        for (const TChipRecord& c : chips)
            std::fputs(ChipCsvLine(c).c_str(), stdout);
        return ExitOk;
    }
    std::vector<TReportRow> rows;
    if (!store->Report(q, rows, error)) return Fail(ExitStore, error);
    if (JsonOutput()) {
        TJson list = TJson::array();
        for (const TReportRow& r : rows)
            list.push_back({{"day", r.Day},
                            {"station", r.Station},
                            {"model", r.Model},
                            {"chips", r.Chips},
                            {"passes", r.Passes},
                            {"fails", r.Fails},
                            {"firstSerial", r.FirstSerial},
                            {"lastSerial", r.LastSerial}});
        Result()["records"] = store->Describe();
        Result()["rows"] = list;
        return ExitOk;
    }
    std::printf("Records: %s\n", OneLine(store->Describe()).c_str());
    std::printf("%-10s  %-16s  %-6s %6s %6s %6s %7s  %s\n", "Day", "Station", "Model", "Chips",
                "Passes", "Fails", "Yield", "Serial range");
    for (const TReportRow& r : rows) {
        const std::string range =
            r.FirstSerial.empty() ? "-" : OneLine(r.FirstSerial + ".." + r.LastSerial);
        std::printf("%-10s  %-16s  %-6s %6lld %6lld %6lld %7s  %s\n", OneLine(r.Day).c_str(),
                    OneLine(r.Station).c_str(), OneLine(r.Model).c_str(),
                    static_cast<long long>(r.Chips), static_cast<long long>(r.Passes),
                    static_cast<long long>(r.Fails), YieldText(r.Passes, r.Chips).c_str(),
                    range.c_str());
    }
    if (rows.empty()) std::printf("(no chips recorded)\n");
    return ExitOk;
}

} // namespace orvan::cli
