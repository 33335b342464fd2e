// Where the production records are kept and who this station is: the
// database named on the command line or in production.conf, and the store
// opened from it.
#pragma once

#include "production/Store.h"

#include <memory>
#include <string>

namespace orvan {

// Where the records are and who this station is: production.conf
// ("database URL", "station NAME", "#" comments), overridden by the
// command line; the station defaults to the host name and the port
// ("bench3:Com2": two writers on one PC are two stations), the database to
// production.db in the working directory.
struct TStoreConfig {
    std::string Database; // a file path, "sqlite:PATH" or "postgresql://..."
    std::string Station;
};
// Reads `path` into `config` (fields already set win). False with `error`
// for a malformed line; a missing file is no error.
bool ReadStoreConfig(const std::string& path, TStoreConfig& config, std::string& error);
// Fills what is still empty; `port` is the writer's port ("Com2"), empty
// where there is none.
void CompleteStoreConfig(TStoreConfig& config, const std::string& port = {});

// A URL as it may be shown: any password removed.
std::string RedactedUrl(const std::string& url);

// Opens (and creates or upgrades) the store named by `database`.
std::unique_ptr<IProductionStore> OpenProductionStore(const std::string& database,
                                                      std::string& error);

} // namespace orvan
