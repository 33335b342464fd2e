// Where the production records are kept and who this station is: the
// database named on the command line or in production.conf, and the store
// opened from it.
#pragma once

#include "production/Store.h"

#include <memory>
#include <string>
#include <vector>

namespace orvan {

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

} // namespace orvan
