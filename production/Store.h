// Production records: every chip programmed, and the serial numbers and
// QTP records handed out, kept in a database shared by the stations of a
// line. One interface, two backends: SQLite in the working directory
// (production.db) and PostgreSQL for several machines.
//
// Numbers are claimed, not computed locally: a station claims the next
// number of a series in one transaction and keeps the claim until a chip
// carries it. No other station ever receives a claimed number.
//
// A number never reaches two chips: a station name is held by one live
// process (a lock the system drops when the process dies), and a claim is
// armed, durably, before the first byte that carries it goes to the chip.
// From then on the number is used up whatever happens: a station that
// stopped with an armed claim finds it on its next start and records the
// chip as an unknown outcome. A number can be skipped, never repeated.
#pragma once

#include "production/SerialSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvan {

inline constexpr int StoreSchemaVersion = 2;
inline constexpr const char* DefaultStoreFile = "production.db";
inline constexpr const char* StoreConfigFile = "production.conf";

// The outcome of a chip whose station stopped while its number was armed.
inline constexpr const char* UnknownOutcomeText =
    "unknown: the station stopped with this number on a chip";

// One chip record (auto program or force write).
struct TChipRecord {
    int64_t Id = 0;  // given by the store
    std::string Utc; // "YYYY-MM-DDTHH:MM:SSZ"; the store fills an empty one
    std::string Station;
    std::string Operation; // "auto" or "force-write"
    std::string Model;
    std::string DataFile, DataSha256;
    std::string Checksum; // the program checksum, four hex digits
    std::string Series;   // empty without serial numbers
    std::string Serial;   // the number the chip carries
    int64_t SerialIndex = -1;
    bool Consumed = false; // the chip carries the number: it is used up
    std::string QtpSha256;
    int64_t QtpRecord = 0; // 1-based, 0 without a QTP file
    std::string Verdicts;  // each step's verdict, one a line
    bool Pass = false;
    std::string Failure; // the first failing line
};

// What a claim is asked for.
struct TClaimRequest {
    std::string Station;
    // SeriesKeyOf or QtpSeriesKey.
    std::string Series;
    // Computed series: the settings (their number is the start value of a
    // new series, and they step it with SerialNoNext). Unused for QTP.
    TSerialSettings Settings;
    // QTP files: the number of data records (the claim ends there).
    bool Qtp = false;
    int64_t QtpRecords = 0;
    // The operator's choice: start the series again at the settings' number
    // (QTP: at record 1) although numbers from it were used.
    bool Restart = false;
};

struct TClaim {
    int64_t Index = 0;      // 0-based position in the series (QTP: record number - 1)
    std::string Number;     // hex text, element n-1 first; the QTP record's for files
    bool Resumed = false;   // this station held it already (failed run or restart)
    bool Continued = false; // the series had been used before this claim
    bool Exhausted = false; // the QTP file has no record left: nothing claimed
    // Armed claims of this station found without their record, now
    // recorded as unknown outcomes before the next number was claimed.
    std::vector<TChipRecord> Unknown;
};

struct TReportQuery {
    std::string Since;   // "YYYY-MM-DD" (UTC), empty: all
    std::string Station; // empty: all
    int Limit = 0;       // chips only; 0: all (newest first when limited)
    // Narrower still (empty, -1: all): one UTC day, passes (1) or
    // failures (0), one failing line, one number (any case).
    std::string Day;
    int Pass = -1;
    std::string Failure;
    std::string Serial;
};

// The numbers of a series that chips carry: the lowest and highest
// position on a chip, and how many.
struct TSeriesRange {
    std::string Series, FirstSerial, LastSerial;
    int64_t OnChips = 0;
};

// One line of the report: a day, a station, a model.
struct TReportRow {
    std::string Day, Station, Model;
    int64_t Chips = 0, Passes = 0, Fails = 0;
    std::string FirstSerial, LastSerial; // by series position; empty without numbers
};

// A claim held by a station and not yet used up.
struct THeldClaim {
    std::string Series, Station, Number;
    int64_t Index = 0;
    bool Armed = false; // on a chip now
};

class IProductionStore {
  public:
    virtual ~IProductionStore() = default;
    // Backend and place, without credentials.
    virtual std::string Describe() const = 0;
    // Takes `station` for this process until the store is closed; a name
    // another live process holds is refused with a message naming it.
    // Armed claims the station left behind become unknown outcomes
    // (`unknown`). Claims and arming need the station held.
    virtual bool HoldStation(const std::string& station, std::vector<TChipRecord>& unknown,
                             std::string& error) = 0;
    // The station's held claim on the series, or the next number. A held
    // claim that was armed is not handed out again: it becomes an unknown
    // outcome and the next number is claimed.
    virtual bool Claim(const TClaimRequest& request, TClaim& claim, std::string& error) = 0;
    // Marks the station's claim (the record's Series and SerialIndex)
    // durably as on a chip, with what is known of the chip so far (model,
    // data file, checksum, the number). Call before the first byte that
    // carries the number.
    virtual bool Arm(const TChipRecord& pending, std::string& error) = 0;
    // Writes the record; with `consume` (or an armed claim) it also uses up
    // the station's claim on the record's series, in the same transaction.
    // Durable on return.
    virtual bool Record(TChipRecord& record, bool consume, std::string& error) = 0;
    virtual bool Report(const TReportQuery& query, std::vector<TReportRow>& rows,
                        std::string& error) = 0;
    // Chip records, oldest first (with a limit: the newest `Limit`, newest first).
    virtual bool Chips(const TReportQuery& query, std::vector<TChipRecord>& chips,
                       std::string& error) = 0;
    virtual bool HeldClaims(std::vector<THeldClaim>& claims, std::string& error) = 0;
    // Every series some chip used a number of, by key.
    virtual bool SeriesRanges(std::vector<TSeriesRange>& ranges, std::string& error) = 0;
    // How far a series went: `used` numbers (QTP: records) handed out so
    // far, `next` the next computed number; 0 and "" for a new series.
    virtual bool SeriesState(const std::string& series, int64_t& used, std::string& next,
                             std::string& error) = 0;
};

// The series a computed number belongs to: the model and the settings that
// define the numbering (address, byte count, increment, mode, byte order).
std::string SeriesKeyOf(const std::string& model, const TSerialSettings& s);
std::string QtpSeriesKey(const std::string& sha256);

// Passes over chips as the reports and dialogs show it: "96.2%", or "-"
// without chips.
std::string YieldText(int64_t passes, int64_t chips);

// "YYYY-MM-DDTHH:MM:SSZ" now.
std::string UtcNow();

} // namespace orvan
