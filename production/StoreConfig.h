// Where the production records are kept and who this station is: the
// database named on the command line or in production.conf, and the store
// opened from it. The records' own library (orvan_records, the one that
// links SQLite and libpq) starts here.
#pragma once

#include "production/Store.h"

#include <memory>
#include <string>
#include <vector>

namespace orvan {

struct TProductionRecords;

// Where the records are and who this station is: production.conf
// ("database NAME", "station NAME", "#" comments), overridden by the
// command line; the station defaults to the host name and the port
// ("bench3:Com2": two writers on one PC are two stations), the database to
// production.db in the working directory.
struct TStoreConfig {
    std::string Database; // as ParseDatabaseName takes it
    std::string Station;
};
// Reads `path` into `config` (fields already set win). False with `error`
// ("PATH:LINE: why") for a malformed line, a database name refused or a
// station name refused; a missing file is no error. `warning` is set when
// the file holds a password that others may read.
bool ReadStoreConfig(const std::string& path, TStoreConfig& config, std::string& error,
                     std::string* warning = nullptr);
// Fills what is still empty; `port` is the writer's port ("Com2"), empty
// where there is none.
void CompleteStoreConfig(TStoreConfig& config, const std::string& port = {});

enum class TStoreKind { Sqlite, Postgres };

// A database name as the store takes it.
struct TDatabaseName {
    TStoreKind Kind = TStoreKind::Sqlite;
    // The SQLite file, or what libpq connects with (a URL's password typed
    // with '/' or '@' percent-encoded).
    std::string Target;
    // Every password the name carries, as written, decoded and encoded.
    std::vector<std::string> Secrets;
};
// Takes a postgresql:// or postgres:// URL (scheme in any case), libpq
// key=value settings, sqlite:PATH, or a path ending in ".db". False with
// `error` for anything else, or for a file name holding a password; the
// error never shows a password.
bool ParseDatabaseName(const std::string& text, TDatabaseName& name, std::string& error);

// A database name (or any text naming one) as it may be shown: every
// password removed, from a URL's user info, a "password=" query parameter
// or key=value setting (and their kin: passwd, pwd).
std::string RedactedUrl(const std::string& text);
// `message` with every password that `database` carries replaced by "***".
std::string WithoutPasswords(std::string message, const std::string& database);

// A station name is 1 to 64 printable characters (UTF-8) without control
// characters and without a space at either end. False with `error`.
bool CheckStationName(const std::string& name, std::string& error);
// "YYYY-MM-DD" naming a real calendar day.
bool ValidCalendarDate(const std::string& date);

// Opens (and with `create` creates or upgrades) the store named by
// `database`; without `create` a store that does not exist is "no such
// database" and nothing is created. The error never shows a password.
std::unique_ptr<IProductionStore> OpenProductionStore(const std::string& database,
                                                      std::string& error, bool create = true);

// The records as they stand now, for a reader beside the stations: opened
// read-only, every read from one snapshot, nothing created or upgraded.
// Short-lived by design (open, read, drop): while it lives it holds a read
// transaction, which never makes a station wait. Null with `error` (no
// password shown) when it cannot be opened.
std::unique_ptr<IProductionStore> OpenStoreSnapshot(const std::string& database,
                                                    std::string& error);

// True while this process is inside a write to the records: a stopping
// signal lets it end (commit or fail) before the process exits.
bool StoreWriteInProgress();

// Opens the store named by `config` and takes this station's name in it
// (refused while another live process holds it), for the data file loaded
// (its SHA-256 read from disk). Null with `error` when either fails.
std::shared_ptr<TProductionRecords> OpenRecords(const TStoreConfig& config,
                                                const std::string& dataFile, std::string& error);

// The desktop's records: opened into `records` on first use from
// production.conf in the working directory (else production.db, and the
// host name and `port` as the station), the data file and its SHA-256
// brought up to date. False with `error` when the store cannot be opened:
// production does not start then.
bool PrepareRecords(std::shared_ptr<TProductionRecords>& records, const std::string& port,
                    const std::string& dataFile, std::string& error);

} // namespace orvan
