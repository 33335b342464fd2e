#include "production/ReportFigures.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace orvan {
namespace {

std::string Csv(const std::string& field) {
    if (field.find_first_of(",\"\n\r") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

std::vector<TReportRow> ReportRows(const std::vector<TChipRecord>& chips) {
    using TKey = std::tuple<std::string, std::string, std::string>;
    std::map<TKey, TReportRow> by;
    std::map<TKey, std::pair<int64_t, int64_t>> range; // first and last series position
    for (const TChipRecord& c : chips) {
        const TKey key{c.Utc.substr(0, 10), c.Station, c.Model};
        TReportRow& row = by[key];
        row.Day = std::get<0>(key);
        row.Station = c.Station;
        row.Model = c.Model;
        ++row.Chips;
        (c.Pass ? row.Passes : row.Fails) += 1;
        // Only a number that went on a chip belongs to the range.
        if (!c.Consumed || c.Serial.empty()) continue;
        auto [at, fresh] = range.try_emplace(key, c.SerialIndex, c.SerialIndex);
        if (fresh || c.SerialIndex <= at->second.first) {
            at->second.first = c.SerialIndex;
            row.FirstSerial = c.Serial;
        }
        if (fresh || c.SerialIndex >= at->second.second) {
            at->second.second = c.SerialIndex;
            row.LastSerial = c.Serial;
        }
    }
    std::vector<TReportRow> rows;
    for (auto& entry : by)
        rows.push_back(std::move(entry.second));
    return rows;
}

std::string VerdictText(const TChipRecord& chip) {
    return chip.Pass ? "PASS" : "FAIL: " + chip.Failure;
}

bool UnknownOutcome(const TChipRecord& chip) {
    return !chip.Pass && chip.Failure == UnknownOutcomeText;
}

std::string ChipCsvHeader() {
    return "id,utc,station,operation,model,data_file,data_sha256,checksum,serial,"
           "serial_index,qtp_sha256,qtp_record,result,failure,verdicts\n";
}

std::string ChipCsvLine(const TChipRecord& c) {
    std::string verdicts = c.Verdicts;
    if (!verdicts.empty() && verdicts.back() == '\n') verdicts.pop_back();
    std::replace(verdicts.begin(), verdicts.end(), '\n', ';');
    const std::vector<std::string> fields{
        std::to_string(c.Id),
        c.Utc,
        Csv(c.Station),
        c.Operation,
        c.Model,
        Csv(c.DataFile),
        c.DataSha256,
        c.Checksum,
        c.Serial,
        c.Consumed || !c.Serial.empty() ? std::to_string(c.SerialIndex) : "",
        c.QtpSha256,
        c.QtpRecord ? std::to_string(c.QtpRecord) : "",
        c.Pass ? "pass" : "fail",
        Csv(c.Failure),
        Csv(verdicts)};
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + fields[i];
    return line + "\n";
}

TReportQuery ChipQuery(const TChipFilter& f) {
    TReportQuery q;
    q.Station = f.Station;
    q.Day = f.Day;
    q.Serial = f.Serial;
    if (f.Verdict == "pass") q.Pass = 1;
    if (f.Verdict == "fail" || f.Verdict == "unknown") q.Pass = 0;
    if (f.Verdict == "unknown") q.Failure = UnknownOutcomeText;
    return q;
}

} // namespace orvan
