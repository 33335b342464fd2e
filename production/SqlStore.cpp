#include "production/SqlStore.h"

#include "production/ReportFigures.h"
#include "production/SerialNo.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace orvan {
namespace {

// Each version's statements, applied in order; "{ID}" is the backend's
// auto-numbered key type. Never change a version once shipped: add one.
const std::vector<std::vector<std::string>>& Migrations() {
    static const std::vector<std::vector<std::string>> steps = {
        {
            // 1: series with their next number, claims held by stations,
            // chip records and the operator's restarts.
            "CREATE TABLE series (id {ID} PRIMARY KEY, key TEXT NOT NULL UNIQUE,"
            " next_number TEXT NOT NULL, next_index BIGINT NOT NULL, created_utc TEXT NOT NULL)",
            "CREATE TABLE claims (series_id BIGINT NOT NULL REFERENCES series(id),"
            " station TEXT NOT NULL, number_index BIGINT NOT NULL, number TEXT NOT NULL,"
            " claimed_utc TEXT NOT NULL, PRIMARY KEY (series_id, station))",
            "CREATE TABLE chips (id {ID} PRIMARY KEY, utc TEXT NOT NULL, station TEXT NOT NULL,"
            " operation TEXT NOT NULL, model TEXT NOT NULL, data_file TEXT NOT NULL,"
            " data_sha256 TEXT NOT NULL, checksum TEXT NOT NULL, series TEXT NOT NULL,"
            " serial TEXT NOT NULL, serial_index BIGINT NOT NULL, consumed INTEGER NOT NULL,"
            " qtp_sha256 TEXT NOT NULL, qtp_record BIGINT NOT NULL, verdicts TEXT NOT NULL,"
            " pass INTEGER NOT NULL, failure TEXT NOT NULL)",
            "CREATE INDEX chips_utc ON chips (utc)",
            "CREATE TABLE restarts (id {ID} PRIMARY KEY, utc TEXT NOT NULL, station TEXT NOT NULL,"
            " series TEXT NOT NULL, detail TEXT NOT NULL)",
        },
        {
            // 2: a claim armed before its number reaches a chip, with what
            // an unknown outcome records of it; the process holding each
            // station name.
            "ALTER TABLE claims ADD COLUMN armed_utc TEXT",
            "ALTER TABLE claims ADD COLUMN armed_serial TEXT",
            "ALTER TABLE claims ADD COLUMN model TEXT",
            "ALTER TABLE claims ADD COLUMN data_file TEXT",
            "ALTER TABLE claims ADD COLUMN data_sha256 TEXT",
            "ALTER TABLE claims ADD COLUMN checksum TEXT",
            "ALTER TABLE claims ADD COLUMN qtp_record BIGINT",
            "CREATE TABLE stations (name TEXT PRIMARY KEY, host TEXT NOT NULL, pid BIGINT NOT NULL,"
            " since_utc TEXT NOT NULL)",
        },
    };
    return steps;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::atomic<int> WritesInProgress{0};

// Rolls back unless committed. While one is open, a stopping signal waits
// for it (StoreWriteInProgress).
class TWriteTransaction {
  public:
    explicit TWriteTransaction(ISqlLink& link) : Link(link) {
        ++WritesInProgress;
        try {
            Link.BeginWrite();
        } catch (...) {
            --WritesInProgress;
            throw;
        }
    }
    ~TWriteTransaction() {
        if (!Done) try {
                Link.Rollback();
            } catch (const EStoreError&) {
            }
        --WritesInProgress;
    }
    void Commit() {
        Link.Commit();
        Done = true;
    }

  private:
    ISqlLink& Link;
    bool Done = false;
};

int64_t ToInt(const std::string& t) {
    return t.empty() ? 0 : std::stoll(t);
}

// Hex text, element n-1 first, into the settings' bytes.
void SetNumber(TSerialSettings& s, const std::string& hex) {
    const int n = std::clamp(int(hex.size() / 2), 1, MaxSerialBytes);
    s.SerialByteCount = n;
    for (int j = 0; j < n; ++j)
        s.SerialBytes[size_t(j)] =
            int32_t(std::stoul(hex.substr(hex.size() - size_t(2 * j + 2), 2), nullptr, 16));
}

TChipRecord ChipFrom(const TSqlRow& r) {
    TChipRecord c;
    c.Id = ToInt(r[0]);
    c.Utc = r[1];
    c.Station = r[2];
    c.Operation = r[3];
    c.Model = r[4];
    c.DataFile = r[5];
    c.DataSha256 = r[6];
    c.Checksum = r[7];
    c.Series = r[8];
    c.Serial = r[9];
    c.SerialIndex = ToInt(r[10]);
    c.Consumed = r[11] == "1";
    c.QtpSha256 = r[12];
    c.QtpRecord = ToInt(r[13]);
    c.Verdicts = r[14];
    c.Pass = r[15] == "1";
    c.Failure = r[16];
    return c;
}

constexpr const char* ChipColumns =
    "id, utc, station, operation, model, data_file, data_sha256, checksum, series, serial,"
    " serial_index, consumed, qtp_sha256, qtp_record, verdicts, pass, failure";

std::string Where(const TReportQuery& q, std::vector<TSqlValue>& params) {
    std::string w = " WHERE 1=1";
    if (!q.Since.empty()) {
        w += " AND utc >= ?";
        params.emplace_back(q.Since);
    }
    if (!q.Station.empty()) {
        w += " AND station = ?";
        params.emplace_back(q.Station);
    }
    if (!q.Day.empty()) {
        // Times are "YYYY-MM-DDTHH:MM:SSZ": a day's all sort below "DAYU".
        w += " AND utc >= ? AND utc < ?";
        params.emplace_back(q.Day);
        params.emplace_back(q.Day + "U");
    }
    if (q.Pass >= 0) {
        w += " AND pass = ?";
        params.emplace_back(std::to_string(q.Pass ? 1 : 0));
    }
    if (!q.Failure.empty()) {
        w += " AND failure = ?";
        params.emplace_back(q.Failure);
    }
    if (!q.Serial.empty()) {
        w += " AND upper(serial) = upper(?)";
        params.emplace_back(q.Serial);
    }
    return w;
}

template <class F> bool Guarded(std::mutex& lock, std::string& error, F&& f) {
    std::lock_guard<std::mutex> hold(lock);
    try {
        f();
        return true;
    } catch (const EStoreError& e) {
        error = e.what();
    } catch (const std::exception& e) {
        error = std::string("production records: ") + e.what();
    }
    return false;
}

// Inserts a chip record; its id.
int64_t InsertChip(ISqlLink& link, const TChipRecord& rec) {
    const auto id = link.Query(
        "INSERT INTO chips (utc, station, operation, model, data_file, data_sha256, checksum,"
        " series, serial, serial_index, consumed, qtp_sha256, qtp_record, verdicts, pass,"
        " failure) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
        {rec.Utc, rec.Station, rec.Operation, rec.Model, rec.DataFile, rec.DataSha256, rec.Checksum,
         rec.Series, rec.Serial, std::to_string(rec.SerialIndex), rec.Consumed ? "1" : "0",
         rec.QtpSha256, std::to_string(rec.QtpRecord), rec.Verdicts, rec.Pass ? "1" : "0",
         rec.Failure});
    return id.empty() ? 0 : ToInt(id[0][0]);
}

std::string HostName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0 || !host[0]) return "?";
    return host;
}

} // namespace

TSqlStore::TSqlStore(std::unique_ptr<ISqlLink> link, TStoreAccess access)
    : Link(std::move(link)), Snapshot(access == TStoreAccess::Snapshot) {
    if (!Snapshot) {
        Upgrade();
        return;
    }
    // A reader changes nothing: the schema must be the one this program
    // reads, made by a station.
    Link->BeginRead();
    int version = 0;
    try {
        const auto rows = Link->Query("SELECT version FROM schema_version");
        version = rows.empty() ? 0 : int(ToInt(rows[0][0]));
    } catch (const EStoreError&) {
        throw EStoreError(Link->Describe() + ": no production records yet (no station has "
                                             "written to this database)");
    }
    if (version != int(Migrations().size()))
        throw EStoreError(Link->Describe() + ": schema version " + std::to_string(version) +
                          ", this program reads version " + std::to_string(Migrations().size()) +
                          " (a station of this version upgrades an older one when it starts)");
}

TSqlStore::~TSqlStore() {
    if (Snapshot) try {
            Link->Rollback();
        } catch (const EStoreError&) {
        }
}

void TSqlStore::Upgrade() {
    TWriteTransaction t(*Link);
    Link->Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const auto rows = Link->Query("SELECT version FROM schema_version");
    int version = rows.empty() ? 0 : int(ToInt(rows[0][0]));
    const int known = int(Migrations().size());
    if (version > known)
        throw EStoreError("production records: schema version " + std::to_string(version) +
                          " is newer than this program's " + std::to_string(known));
    if (rows.empty()) Link->Exec("INSERT INTO schema_version (version) VALUES (0)");
    for (; version < known; ++version) {
        for (const std::string& sql : Migrations()[size_t(version)])
            Link->Exec(Replace(sql, "{ID}", Link->IdColumn()));
        Link->Exec("UPDATE schema_version SET version = ?", {std::to_string(version + 1)});
    }
    t.Commit();
}

void TSqlStore::RequireStation(const std::string& station) const {
    if (station.empty() || station != Station)
        throw EStoreError("production records: station \"" + station +
                          "\" is not held by this process");
}

bool TSqlStore::HoldStation(const std::string& station, std::vector<TChipRecord>& unknown,
                            std::string& error) {
    return Guarded(Lock, error, [&] {
        unknown.clear();
        if (!Station.empty() && Station != station)
            throw EStoreError("production records: this process is station \"" + Station + "\"");
        if (Station.empty() && !Link->TryHoldStation(station)) {
            const auto holder =
                Link->Query("SELECT host, pid, since_utc FROM stations WHERE name = ?", {station});
            std::string who = "another process";
            if (!holder.empty())
                who += " (pid " + holder[0][1] + " on " + holder[0][0] + ", since " + holder[0][2] +
                       ")";
            throw EStoreError("station \"" + station + "\" is in use by " + who +
                              ": one process per station (--station names another)");
        }
        Station = station;
        TWriteTransaction t(*Link);
        Link->Exec("INSERT INTO stations (name, host, pid, since_utc) VALUES (?, ?, ?, ?)"
                   " ON CONFLICT (name) DO UPDATE SET host = excluded.host, pid = excluded.pid,"
                   " since_utc = excluded.since_utc",
                   {station, HostName(), std::to_string(getpid()), UtcNow()});
        unknown = SettleArmed({});
        t.Commit();
    });
}

std::vector<TChipRecord> TSqlStore::SettleArmed(const std::string& seriesId) {
    std::vector<TSqlValue> params{Station};
    std::string sql = "SELECT c.series_id, s.key, c.number_index, c.armed_serial, c.model,"
                      " c.data_file, c.data_sha256, c.checksum, c.qtp_record FROM claims c"
                      " JOIN series s ON s.id = c.series_id"
                      " WHERE c.station = ? AND c.armed_utc IS NOT NULL";
    if (!seriesId.empty()) {
        sql += " AND c.series_id = ?";
        params.emplace_back(seriesId);
    }
    std::vector<TChipRecord> settled;
    for (const TSqlRow& r : Link->Query(sql + " ORDER BY c.series_id", params)) {
        TChipRecord c;
        c.Utc = UtcNow();
        c.Station = Station;
        c.Operation = "auto";
        c.Series = r[1];
        c.SerialIndex = ToInt(r[2]);
        c.Serial = r[3];
        c.Model = r[4];
        c.DataFile = r[5];
        c.DataSha256 = r[6];
        c.Checksum = r[7];
        c.QtpRecord = ToInt(r[8]);
        if (c.Series.rfind("qtp ", 0) == 0) c.QtpSha256 = c.Series.substr(4);
        c.Consumed = true;
        c.Failure = UnknownOutcomeText;
        c.Id = InsertChip(*Link, c);
        Link->Exec("DELETE FROM claims WHERE series_id = ? AND station = ?", {r[0], Station});
        settled.push_back(std::move(c));
    }
    return settled;
}

TClaim TSqlStore::ClaimLocked(const TClaimRequest& r) {
    RequireStation(r.Station);
    TClaim c;
    TWriteTransaction t(*Link);
    const std::string now = UtcNow();
    auto series =
        Link->Query("SELECT id, next_number, next_index FROM series WHERE key = ?", {r.Series});
    if (series.empty()) {
        Link->Exec("INSERT INTO series (key, next_number, next_index, created_utc)"
                   " VALUES (?, ?, 0, ?)",
                   {r.Series, r.Qtp ? std::string() : r.Settings.HexText(), now});
        series =
            Link->Query("SELECT id, next_number, next_index FROM series WHERE key = ?", {r.Series});
    }
    const std::string id = series.at(0)[0];
    std::string next = series[0][1];
    int64_t nextIndex = ToInt(series[0][2]);
    // A claim that was on a chip is never handed out again.
    c.Unknown = SettleArmed(id);
    if (r.Restart) {
        // The held claim goes back; the series starts again where the
        // operator said, and the choice is kept.
        Link->Exec("DELETE FROM claims WHERE series_id = ? AND station = ?", {id, r.Station});
        const std::string start = r.Qtp ? "record 1" : r.Settings.HexText();
        Link->Exec("INSERT INTO restarts (utc, station, series, detail) VALUES (?, ?, ?, ?)",
                   {now, r.Station, r.Series,
                    "started again at " + start + " after " + std::to_string(nextIndex) +
                        (r.Qtp ? " records" : " numbers")});
        if (r.Qtp)
            nextIndex = 0;
        else
            next = r.Settings.HexText();
    }
    const auto held =
        Link->Query("SELECT number_index, number FROM claims WHERE series_id = ? AND station = ?",
                    {id, r.Station});
    c.Continued = nextIndex > 0 && !r.Restart;
    if (!held.empty()) {
        c.Index = ToInt(held[0][0]);
        c.Number = held[0][1];
        c.Resumed = true;
        t.Commit();
        return c;
    }
    if (r.Qtp && nextIndex >= r.QtpRecords) {
        c.Exhausted = true;
        t.Commit();
        return c;
    }
    // After a restart the series may run into numbers other stations
    // hold: those stay theirs.
    auto heldByOther = [&](int64_t index, const std::string& number) {
        return !Link->Query(r.Qtp ? "SELECT 1 FROM claims WHERE series_id = ? AND number_index = ?"
                                  : "SELECT 1 FROM claims WHERE series_id = ? AND number = ?",
                            {id, r.Qtp ? std::to_string(index) : number})
                    .empty();
    };
    std::string after;
    for (int64_t tries = 0;; ++tries) {
        if (r.Qtp && nextIndex >= r.QtpRecords) {
            c.Exhausted = true;
            t.Commit();
            return c;
        }
        c.Index = nextIndex;
        c.Number = r.Qtp ? std::string() : next;
        if (!r.Qtp) {
            TSerialSettings s = r.Settings;
            SetNumber(s, next);
            SerialNoNext(s);
            after = s.HexText();
        }
        if (tries > 100000 || !heldByOther(c.Index, c.Number)) break;
        ++nextIndex;
        next = after;
    }
    Link->Exec("UPDATE series SET next_number = ?, next_index = ? WHERE id = ?",
               {r.Qtp ? next : after, std::to_string(nextIndex + 1), id});
    Link->Exec("INSERT INTO claims (series_id, station, number_index, number, claimed_utc)"
               " VALUES (?, ?, ?, ?, ?)",
               {id, r.Station, std::to_string(c.Index), c.Number, now});
    t.Commit();
    return c;
}

bool TSqlStore::Claim(const TClaimRequest& request, TClaim& claim, std::string& error) {
    return Guarded(Lock, error, [&] { claim = ClaimLocked(request); });
}

bool TSqlStore::Arm(const TChipRecord& p, std::string& error) {
    return Guarded(Lock, error, [&] {
        RequireStation(p.Station);
        TWriteTransaction t(*Link);
        const auto armed = Link->Query(
            "UPDATE claims SET armed_utc = ?, armed_serial = ?, model = ?, data_file = ?,"
            " data_sha256 = ?, checksum = ?, qtp_record = ? WHERE station = ? AND number_index = ?"
            " AND series_id = (SELECT id FROM series WHERE key = ?) RETURNING number_index",
            {UtcNow(), p.Serial, p.Model, p.DataFile, p.DataSha256, p.Checksum,
             std::to_string(p.QtpRecord), p.Station, std::to_string(p.SerialIndex), p.Series});
        if (armed.empty())
            throw EStoreError("production records: station \"" + p.Station +
                              "\" holds no claim on " + p.Serial + " to put on a chip");
        t.Commit();
    });
}

bool TSqlStore::Record(TChipRecord& rec, bool consume, std::string& error) {
    return Guarded(Lock, error, [&] {
        if (rec.Utc.empty()) rec.Utc = UtcNow();
        TWriteTransaction t(*Link);
        const std::vector<TSqlValue> claim{rec.Station, std::to_string(rec.SerialIndex),
                                           rec.Series};
        const char* where = " FROM claims WHERE station = ? AND number_index = ? AND series_id ="
                            " (SELECT id FROM series WHERE key = ?)";
        // An armed claim was on the chip: it is used up whatever the run says.
        if (!rec.Series.empty()) {
            const auto armed = Link->Query(std::string("SELECT armed_utc") + where, claim);
            if (!armed.empty() && !armed[0][0].empty()) consume = true;
        }
        rec.Consumed = consume && !rec.Series.empty();
        const int64_t id = InsertChip(*Link, rec);
        if (rec.Consumed) Link->Exec(std::string("DELETE") + where, claim);
        t.Commit();
        rec.Id = id;
    });
}

bool TSqlStore::Report(const TReportQuery& q, std::vector<TReportRow>& rows, std::string& error) {
    return Guarded(Lock, error, [&] {
        std::vector<TSqlValue> params;
        std::vector<TChipRecord> chips;
        for (const TSqlRow& r : Link->Query(std::string("SELECT ") + ChipColumns + " FROM chips" +
                                                Where(q, params) + " ORDER BY id",
                                            params))
            chips.push_back(ChipFrom(r));
        rows = ReportRows(chips);
    });
}

bool TSqlStore::Chips(const TReportQuery& q, std::vector<TChipRecord>& chips, std::string& error) {
    return Guarded(Lock, error, [&] {
        chips.clear();
        std::vector<TSqlValue> params;
        std::string sql = std::string("SELECT ") + ChipColumns + " FROM chips" + Where(q, params);
        if (q.Limit > 0)
            sql += " ORDER BY id DESC LIMIT " + std::to_string(q.Limit);
        else
            sql += " ORDER BY id";
        for (const TSqlRow& r : Link->Query(sql, params))
            chips.push_back(ChipFrom(r));
    });
}

bool TSqlStore::HeldClaims(std::vector<THeldClaim>& claims, std::string& error) {
    return Guarded(Lock, error, [&] {
        claims.clear();
        for (const TSqlRow& r :
             Link->Query("SELECT s.key, c.station, c.number, c.number_index, c.armed_utc,"
                         " c.armed_serial FROM claims c JOIN series s ON s.id = c.series_id"
                         " ORDER BY s.key, c.number_index"))
            claims.push_back({r[0], r[1], r[4].empty() || r[5].empty() ? r[2] : r[5], ToInt(r[3]),
                              !r[4].empty()});
    });
}

bool TSqlStore::SeriesRanges(std::vector<TSeriesRange>& ranges, std::string& error) {
    return Guarded(Lock, error, [&] {
        ranges.clear();
        const char* on = " FROM chips WHERE consumed = 1 AND series <> '' AND serial <> ''";
        // The number at a position: the latest chip's, as the report takes it.
        auto at = [&](const std::string& series, const std::string& index) {
            const auto r = Link->Query(std::string("SELECT serial") + on +
                                           " AND series = ? AND serial_index = ?"
                                           " ORDER BY id DESC LIMIT 1",
                                       {series, index});
            return r.empty() ? std::string() : r[0][0];
        };
        for (const TSqlRow& r :
             Link->Query(std::string("SELECT series, COUNT(*), MIN(serial_index),"
                                     " MAX(serial_index)") +
                         on + " GROUP BY series ORDER BY series"))
            ranges.push_back({r[0], at(r[0], r[2]), at(r[0], r[3]), ToInt(r[1])});
    });
}

bool TSqlStore::SeriesState(const std::string& series, int64_t& used, std::string& next,
                            std::string& error) {
    return Guarded(Lock, error, [&] {
        const auto rows =
            Link->Query("SELECT next_index, next_number FROM series WHERE key = ?", {series});
        used = rows.empty() ? 0 : ToInt(rows[0][0]);
        next = rows.empty() ? std::string() : rows[0][1];
    });
}

bool StoreWriteInProgress() {
    return WritesInProgress.load() > 0;
}

} // namespace orvan
