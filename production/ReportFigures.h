// The figures of the production records as every front end shows them:
// the report's rows per day, station and model, a chip's verdict, the chip
// records as CSV and the query for the chips a filter keeps. `orvan-cli report` and the
// line view both count through here, so their figures cannot differ.
#pragma once

#include "production/Store.h"

#include <string>
#include <vector>

namespace orvan {

// Chips, passes, fails and the serial range (by series position) per UTC
// day, station and model, ordered by them; `chips` oldest first.
std::vector<TReportRow> ReportRows(const std::vector<TChipRecord>& chips);

// "PASS", or "FAIL: " + the first failing line.
std::string VerdictText(const TChipRecord& chip);
// The chip's station stopped with its number armed: the outcome is unknown.
bool UnknownOutcome(const TChipRecord& chip);

// The chip records as CSV: the header line and one line a chip (each with
// its newline); verdicts separated by ';'.
std::string ChipCsvHeader();
std::string ChipCsvLine(const TChipRecord& chip);

// Which chip records a reader asks for; an empty field keeps every chip.
struct TChipFilter {
    std::string Station;
    std::string Day;     // "YYYY-MM-DD" (UTC)
    std::string Verdict; // "pass", "fail" (unknown outcomes too) or "unknown"
    std::string Serial;  // the number as recorded, any case
};
// The store's query for the chips `filter` keeps.
TReportQuery ChipQuery(const TChipFilter& filter);

} // namespace orvan
