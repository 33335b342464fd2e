#include "testlib/StoreBench.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace orvan::test {

namespace {
bool Postgres = false;
std::atomic<bool> ServerMissing{false};

// A statement on a connection to `db` ("" for the server's default).
std::string Run(const std::string& db, const std::string& sql) {
    const std::string conninfo = db.empty() ? std::string() : "dbname=" + db;
    PGconn* c = PQconnectdb(conninfo.c_str());
    std::string error;
    if (PQstatus(c) != CONNECTION_OK) {
        error = PQerrorMessage(c);
    } else {
        PGresult* r = PQexec(c, sql.c_str());
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(r);
        PQclear(r);
    }
    PQfinish(c);
    return error;
}
} // namespace

void UsePostgresStore() {
    Postgres = true;
}

bool TakeStoreArgument(int& argc, char** argv) {
    if (argc < 2 || std::string_view(argv[1]) != "--pg") return false;
    for (int i = 1; i < argc; ++i) // argv[argc] stays the null pointer
        argv[i] = argv[i + 1];
    --argc;
    UsePostgresStore();
    return true;
}

bool StoreIsPostgres() {
    return Postgres;
}

bool StoreServerMissing() {
    return ServerMissing.load();
}

TStoreDatabase::TStoreDatabase() {
    if (!Postgres) {
        DbUrl = Temp.File("production.db");
        return;
    }
    if (!std::getenv("PGHOST") && !std::getenv("PGPORT")) {
        Reason = "no PostgreSQL server named (PGHOST/PGPORT unset): ./test runs these under "
                 "pg_virtualenv";
        ServerMissing.store(true);
        return;
    }
    static std::atomic<int> counter{0};
    Name = "orvan_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
    if (const std::string e = Run("", "CREATE DATABASE " + Name); !e.empty()) {
        Reason = "cannot create a test database: " + e;
        Name.clear();
        ServerMissing.store(true);
        return;
    }
    DbUrl = "postgresql:///" + Name;
}

TStoreDatabase::~TStoreDatabase() {
    ReleaseWriteLock();
    if (!Name.empty()) Run("", "DROP DATABASE IF EXISTS " + Name + " WITH (FORCE)");
}

void TStoreDatabase::HoldWriteLock() {
    if (Postgres) {
        PGconn* c = PQconnectdb(("dbname=" + Name).c_str());
        // The key every write transaction of the store takes first.
        PQclear(PQexec(c, "SELECT pg_advisory_lock(1330795086)"));
        Holder = c;
        return;
    }
    sqlite3* db = nullptr;
    sqlite3_open(DbUrl.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    Holder = db;
}

void TStoreDatabase::ReleaseWriteLock() {
    if (Holder && Postgres) PQfinish(static_cast<PGconn*>(Holder));
    if (Holder && !Postgres) sqlite3_close_v2(static_cast<sqlite3*>(Holder)); // rolls back
    Holder = nullptr;
}

void TStoreDatabase::Execute(const std::string& sql) {
    if (!Postgres) return ExecuteOn(DbUrl, sql);
    if (const std::string e = Run(Name, sql); !e.empty()) throw std::runtime_error(e);
}

void TStoreDatabase::ExecuteOn(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    const std::string error = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error(error);
}

} // namespace orvan::test
