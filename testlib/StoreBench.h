// A real database for the store's tests: a SQLite file in a temporary
// folder, or, in a program whose main chose PostgreSQL (StoreTestMain.cpp), a
// database of its own on the server the PG* variables name, dropped
// afterwards.
#pragma once

#include "testlib/TempDir.h"

#include <string>

namespace orvan::test {

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
    TTempDir Temp;
    std::string DbUrl, Name, Reason;
};

// This program's stores are PostgreSQL databases (called by its main,
// before the tests run).
void UsePostgresStore();
// A main's --pg as its first argument: taken out of the arguments, and the
// stores made PostgreSQL ones. True when it was there.
bool TakeStoreArgument(int& argc, char** argv);
// True when this test program runs against PostgreSQL.
bool StoreIsPostgres();
// A store test of this process found no database to run on (no server
// named, or none reachable): the PostgreSQL programs then exit with
// SkippedExitCode, which CTest reports as skipped rather than passed.
bool StoreServerMissing();
inline constexpr int SkippedExitCode = 77;

} // namespace orvan::test
