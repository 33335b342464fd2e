// The production line as it stands, read from the records shared by its
// stations: today's figures per station, yield per hour, failures by their
// failing line, the serial-number series with the numbers held and armed,
// and the unknown outcomes to reconcile. Counted with ReportFigures, so a
// figure here is the one `orvan-cli report` gives.
#pragma once

#include "production/ReportFigures.h"
#include "production/Store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvan {

// A station that programmed no chip for this long is idle.
inline constexpr int64_t StationIdleSeconds = 10 * 60;

// One station of the line today.
struct TStationCard {
    std::string Station;
    std::string LastUtc;     // its last chip (any day), "" without one
    std::string LastVerdict; // VerdictText of that chip
    bool LastPass = false;
    int64_t Chips = 0, Passes = 0, Fails = 0; // today
    std::string Series, LastSerial;           // of its last chip that carried a number
    bool Idle = true;                         // no chip for StationIdleSeconds
};

// Chips and passes of one station in one hour of today (UTC).
struct THourYield {
    std::string Station;
    int Hour = 0;
    int64_t Chips = 0, Passes = 0;
};

// Today's failed chips with one failing line.
struct TFailureCount {
    std::string Failure;
    int64_t Chips = 0;
};

// How far a series went.
struct TSeriesUse {
    std::string Series;
    std::string FirstSerial, LastSerial; // the lowest and highest position on a chip
    int64_t OnChips = 0;                 // numbers used up by chips
    int64_t HandedOut = 0;               // numbers (QTP: records) claimed so far
    std::string Next;                    // the next computed number
};

struct TLineView {
    std::string Records;           // the store, without credentials
    std::string Now;               // "YYYY-MM-DDTHH:MM:SSZ"
    std::string Day;               // today, UTC
    std::vector<TReportRow> Today; // ReportRows of today's chips
    std::vector<TStationCard> Stations;
    std::vector<THourYield> Hours;
    std::vector<TFailureCount> Failures; // most chips first
    std::vector<TSeriesUse> Series;
    std::vector<THeldClaim> Held;
    std::vector<TChipRecord> Unknown; // every unknown outcome, oldest first
};

// Reads the view from `store` as of `now` ("YYYY-MM-DDTHH:MM:SSZ").
bool ReadLineView(IProductionStore& store, const std::string& now, TLineView& view,
                  std::string& error);

// The newest `limit` chip records that `filter` keeps, newest first.
bool ReadChips(IProductionStore& store, const TChipFilter& filter, int limit,
               std::vector<TChipRecord>& chips, std::string& error);

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SSZ"; -1 when it is not one.
int64_t UtcSeconds(const std::string& utc);

} // namespace orvan
