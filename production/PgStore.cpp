// PostgreSQL backend: one database for a line of stations on several
// machines. Credentials come the libpq way (~/.pgpass, service files,
// PG* variables) and are never shown: only database, host and port are.
// Every write transaction first takes one advisory lock, so claims are
// handed out strictly one after the other. A station name is held by a
// session-level advisory lock, which the server drops with the session.
// No wait is without end: a lock is given up after LockTimeout, a
// statement after StatementTimeout, a dead server after the keepalives.
#include "production/SqlStore.h"
#include "production/StoreConfig.h"

#include <libpq-fe.h>

namespace orvan {
namespace {

// The lock every write transaction of the store holds ("ORVN").
constexpr const char* WriteLockKey = "1330795086";
// The first key of a station name's lock; the second is the name's hash.
constexpr const char* StationLockKey = "1330795087";
constexpr int LockTimeoutS = 10;
constexpr int StatementTimeoutS = 15;

// A station name as the second key of its lock (FNV-1a, 32 bits).
std::string StationKey(const std::string& station) {
    uint32_t h = 2166136261u;
    for (unsigned char c : station)
        h = (h ^ c) * 16777619u;
    return std::to_string(int32_t(h));
}

class TPostgresLink final : public ISqlLink {
  public:
    TPostgresLink(const std::string& url, TStoreAccess access)
        : Reader(access == TStoreAccess::Snapshot) {
        // Settings in the URL win over these defaults.
        const char* keys[] = {
            "connect_timeout",  "application_name", "keepalives_idle", "keepalives_interval",
            "keepalives_count", "tcp_user_timeout", "dbname",          nullptr};
        const char* values[] = {"5", "orvan-writer", "5", "2", "3", "15000", url.c_str(), nullptr};
        Conn = PQconnectdbParams(keys, values, 1);
        if (!Conn || PQstatus(Conn) != CONNECTION_OK) {
            const std::string why = Conn ? Trimmed(PQerrorMessage(Conn)) : "out of memory";
            PQfinish(Conn);
            Conn = nullptr;
            throw EStoreError("PostgreSQL " + RedactedUrl(url) + ": " + why);
        }
        PQsetNoticeProcessor(
            Conn, [](void*, const char*) {}, nullptr);
        Place = std::string(PQdb(Conn)) + " on " + (PQhost(Conn) ? PQhost(Conn) : "?") + ":" +
                (PQport(Conn) ? PQport(Conn) : "?");
        SetTimeouts();
    }

    bool TryHoldStation(const std::string& station) override {
        const auto r = Query(std::string("SELECT pg_try_advisory_lock(") + StationLockKey + ", " +
                             StationKey(station) + ")");
        if (r.empty() || r[0][0] != "t") return false;
        Station = station;
        return true;
    }
    ~TPostgresLink() override { PQfinish(Conn); }

    std::vector<TSqlRow> Run(const std::string& sql,
                             const std::vector<TSqlValue>& params) override {
        // A line that went away is tried once more before a transaction;
        // the new session takes the station's name again, or gives up.
        if (PQstatus(Conn) != CONNECTION_OK && PQtransactionStatus(Conn) != PQTRANS_INTRANS) {
            PQreset(Conn);
            if (PQstatus(Conn) == CONNECTION_OK) Reconnected();
        }
        std::string text;
        int n = 0;
        for (char c : sql)
            if (c == '?')
                text += "$" + std::to_string(++n);
            else
                text += c;
        std::vector<const char*> values;
        for (const TSqlValue& p : params)
            values.push_back(p ? p->c_str() : nullptr);
        PGresult* res = PQexecParams(Conn, text.c_str(), int(values.size()), nullptr, values.data(),
                                     nullptr, nullptr, 0);
        std::unique_ptr<PGresult, void (*)(PGresult*)> hold(res, PQclear);
        const ExecStatusType st = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
        if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
            const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
            const std::string code = state ? state : "";
            if (code == "55P03")
                throw EStoreError("PostgreSQL " + Place + ": gave up after " +
                                  std::to_string(LockTimeoutS) +
                                  " s waiting for the records' write lock, which another "
                                  "session holds");
            if (code == "57014")
                throw EStoreError("PostgreSQL " + Place + ": gave up after " +
                                  std::to_string(StatementTimeoutS) +
                                  " s waiting for the server to finish a statement");
            throw EStoreError("PostgreSQL " + Place + ": " +
                              Trimmed(res ? PQresultErrorMessage(res) : PQerrorMessage(Conn)));
        }
        std::vector<TSqlRow> rows;
        for (int r = 0; r < PQntuples(res); ++r) {
            TSqlRow row;
            for (int c = 0; c < PQnfields(res); ++c)
                row.emplace_back(PQgetisnull(res, r, c) ? "" : PQgetvalue(res, r, c));
            rows.push_back(std::move(row));
        }
        return rows;
    }
    void BeginWrite() override {
        Exec("BEGIN");
        Exec(std::string("SELECT pg_advisory_xact_lock(") + WriteLockKey + ")");
    }
    void BeginRead() override { Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
    void Commit() override { Exec("COMMIT"); }
    void Rollback() override {
        if (PQtransactionStatus(Conn) != PQTRANS_IDLE) Exec("ROLLBACK");
    }
    std::string IdColumn() const override { return "BIGSERIAL"; }
    std::string Describe() const override { return "PostgreSQL " + Place; }

  private:
    // Every transaction of the session gives up a lock wait and a
    // statement in bounded time; a client that stalls inside one does not
    // hold the write lock for long either.
    void SetTimeouts() {
        Exec("SET lock_timeout = '" + std::to_string(LockTimeoutS) + "s'");
        Exec("SET statement_timeout = '" + std::to_string(StatementTimeoutS) + "s'");
        Exec("SET idle_in_transaction_session_timeout = '30s'");
        // A reader's session cannot write, whatever it is asked.
        if (Reader) Exec("SET default_transaction_read_only = on");
    }
    void Reconnected() {
        SetTimeouts();
        if (!Station.empty() && !TryHoldStation(Station))
            throw EStoreError("PostgreSQL " + Place + ": the connection was lost, and station \"" +
                              Station + "\" was taken by another process meanwhile");
    }
    static std::string Trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
            s.pop_back();
        for (char& c : s)
            if (c == '\n') c = ' ';
        return s;
    }
    bool Reader = false;
    PGconn* Conn = nullptr;
    std::string Place;
    std::string Station; // held by this session
};

} // namespace

std::unique_ptr<ISqlLink> OpenPostgresLink(const std::string& url, TStoreAccess access) {
    return std::make_unique<TPostgresLink>(url, access);
}

} // namespace orvan
