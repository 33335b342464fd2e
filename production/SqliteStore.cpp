// SQLite backend: one file in the working directory, shared by the
// processes of one machine. WAL with synchronous FULL: a record is on disk
// when Record returns; BEGIN IMMEDIATE takes the write lock before a claim
// reads the next number. Station names are held by locks on one byte each
// of PATH-stations, which the kernel drops with the process.
#include "production/SqlStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace orvan {
namespace {

// Several stations on one machine wait for each other this long, once: a
// write that waited longer gives up (the wait is the whole bound).
constexpr int BusyTimeoutMs = 15000;

// The byte of the lock file that stands for a station name (FNV-1a).
off_t StationByte(const std::string& station) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : station)
        h = (h ^ c) * 1099511628211ull;
    return off_t(h & 0x3FFFFFFFFFFFFFFFull);
}

class TSqliteLink final : public ISqlLink {
  public:
    TSqliteLink(const std::string& path, bool create, TStoreAccess access) : Path(path) {
        const bool reader = access == TStoreAccess::Snapshot;
        const int flags = reader ? SQLITE_OPEN_READONLY
                                 : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(path.c_str(), &Db, flags, nullptr) != SQLITE_OK) {
            const std::string why = Db ? sqlite3_errmsg(Db) : "out of memory";
            sqlite3_close(Db);
            Db = nullptr;
            throw EStoreError(path + ": " + why);
        }
        sqlite3_busy_timeout(Db, BusyTimeoutMs);
        // A reader leaves the file as the stations set it up (WAL: readers
        // and the writer never wait for each other).
        if (reader) return;
        if (sqlite3_db_readonly(Db, "main") == 1) throw EStoreError(path + ": not writable");
        const auto mode = Query("PRAGMA journal_mode=WAL");
        if (mode.empty() || mode[0][0] != "wal")
            throw EStoreError(path + ": cannot switch to write-ahead logging");
        Exec("PRAGMA synchronous=FULL");
        Exec("PRAGMA foreign_keys=ON");
    }
    ~TSqliteLink() override {
        sqlite3_close(Db);
        if (StationLock >= 0) ::close(StationLock);
    }

    bool TryHoldStation(const std::string& station) override {
        const std::string file = Path + "-stations";
        if (StationLock < 0) {
            StationLock = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (StationLock < 0) throw EStoreError(file + ": " + std::strerror(errno));
        }
        // An open-file-description lock: held by this open file, so two
        // stores of one process exclude each other too.
        struct flock l {};
        l.l_type = F_WRLCK;
        l.l_whence = SEEK_SET;
        l.l_start = StationByte(station);
        l.l_len = 1;
        if (::fcntl(StationLock, F_OFD_SETLK, &l) == 0) return true;
        if (errno == EAGAIN || errno == EACCES) return false;
        throw EStoreError(file + ": " + std::strerror(errno));
    }

    std::vector<TSqlRow> Run(const std::string& sql,
                             const std::vector<TSqlValue>& params) override {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(Db, sql.c_str(), int(sql.size()), &st, nullptr) != SQLITE_OK) Fail();
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> hold(st, sqlite3_finalize);
        for (size_t i = 0; i < params.size(); ++i) {
            const int rc = params[i] ? sqlite3_bind_text(st, int(i + 1), params[i]->c_str(),
                                                         int(params[i]->size()), SQLITE_TRANSIENT)
                                     : sqlite3_bind_null(st, int(i + 1));
            if (rc != SQLITE_OK) Fail();
        }
        std::vector<TSqlRow> rows;
        for (;;) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) Fail();
            TSqlRow row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto* t = sqlite3_column_text(st, c);
                row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }
    void BeginWrite() override { Exec("BEGIN IMMEDIATE"); }
    void BeginRead() override { Exec("BEGIN DEFERRED"); }
    void Commit() override { Exec("COMMIT"); }
    void Rollback() override {
        if (!sqlite3_get_autocommit(Db)) Exec("ROLLBACK");
    }
    std::string IdColumn() const override { return "INTEGER"; }
    std::string Describe() const override { return "SQLite " + Path; }

  private:
    [[noreturn]] void Fail() {
        if (sqlite3_errcode(Db) == SQLITE_BUSY)
            throw EStoreError(Path + ": gave up after " + std::to_string(BusyTimeoutMs / 1000) +
                              " s waiting for the records' write lock, which another process "
                              "holds");
        throw EStoreError(Path + ": " + sqlite3_errmsg(Db));
    }
    std::string Path;
    sqlite3* Db = nullptr;
    int StationLock = -1;
};

} // namespace

std::unique_ptr<ISqlLink> OpenSqliteLink(const std::string& path, bool create,
                                         TStoreAccess access) {
    return std::make_unique<TSqliteLink>(path, create, access);
}

} // namespace orvan
