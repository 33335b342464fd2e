// PostgreSQL backend: one database for a line of stations on several
// machines. Credentials come the libpq way (~/.pgpass, service files,
// PG* variables) and are never shown: only database, host and port are.
// Every write transaction first takes one advisory lock, so claims are
// handed out strictly one after the other.
#include "production/SqlStore.h"
#include "production/StoreConfig.h"

#include <libpq-fe.h>

namespace orvan {
namespace {

// The lock every write transaction of the store holds ("ORVN").
constexpr const char* WriteLockKey = "1330795086";

class TPostgresLink final : public ISqlLink {
  public:
    explicit TPostgresLink(const std::string& url) {
        // Settings in the URL win over these defaults.
        const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
        const char* values[] = {"5", "orvan-writer", url.c_str(), nullptr};
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
    }
    ~TPostgresLink() override { PQfinish(Conn); }

    std::vector<TSqlRow> Run(const std::string& sql,
                             const std::vector<TSqlValue>& params) override {
        // A line that went away is tried once more before a transaction.
        if (PQstatus(Conn) != CONNECTION_OK && PQtransactionStatus(Conn) != PQTRANS_INTRANS)
            PQreset(Conn);
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
        if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
            throw EStoreError("PostgreSQL " + Place + ": " +
                              Trimmed(res ? PQresultErrorMessage(res) : PQerrorMessage(Conn)));
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
    void Commit() override { Exec("COMMIT"); }
    void Rollback() override {
        if (PQtransactionStatus(Conn) != PQTRANS_IDLE) Exec("ROLLBACK");
    }
    std::string IdColumn() const override { return "BIGSERIAL"; }
    std::string Describe() const override { return "PostgreSQL " + Place; }

  private:
    static std::string Trimmed(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
            s.pop_back();
        for (char& c : s)
            if (c == '\n') c = ' ';
        return s;
    }
    PGconn* Conn = nullptr;
    std::string Place;
};

} // namespace

std::unique_ptr<ISqlLink> OpenPostgresLink(const std::string& url) {
    return std::make_unique<TPostgresLink>(url);
}

} // namespace orvan
