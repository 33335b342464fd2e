// A real database for the store's tests: a SQLite file in a temporary
// folder, or, built with ORVAN_STORE_PG, a database of its own on the
// PostgreSQL server the PG* variables name, dropped afterwards.
#pragma once

#include <string>

namespace orvan::test {

class TStoreTemp {
  public:
    TStoreTemp();
    ~TStoreTemp();
    TStoreTemp(const TStoreTemp&) = delete;
    TStoreTemp& operator=(const TStoreTemp&) = delete;
    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }

  private:
    std::string Dir;
};

void WriteText(const std::string& path, const std::string& text);

class TStoreDatabase {
  public:
    TStoreDatabase();
    ~TStoreDatabase();
    TStoreDatabase(const TStoreDatabase&) = delete;
    TStoreDatabase& operator=(const TStoreDatabase&) = delete;

    bool Ready() const { return !DbUrl.empty(); }
    const std::string& Why() const { return Reason; }
    // What --db takes.
    const std::string& Url() const { return DbUrl; }
    // One statement on the database, outside the store.
    void Execute(const std::string& sql);
    // One statement on a SQLite file.
    static void ExecuteOn(const std::string& path, const std::string& sql);
    // Takes the store's write lock on a connection of its own, as a station
    // stalled inside a write would hold it, until released.
    void HoldWriteLock();
    void ReleaseWriteLock();

  private:
    void* Holder = nullptr; // the connection that holds the write lock
    TStoreTemp Temp;
    std::string DbUrl, Name, Reason;
};

// True when this test binary runs against PostgreSQL.
bool StoreIsPostgres();
// A store test of this process found no database to run on (no server
// named, or none reachable): the PostgreSQL programs then exit with
// SkippedExitCode, which CTest reports as skipped rather than passed.
bool StoreServerMissing();
inline constexpr int SkippedExitCode = 77;

} // namespace orvan::test
