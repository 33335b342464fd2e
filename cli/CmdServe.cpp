// serve: the line view (web/) over the records named by --db or
// production.conf, until SIGINT, SIGTERM or SIGHUP.
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Signals.h"
#include "production/StoreConfig.h"
#include "web/LineServer.h"

#include <cstdio>
#include <stop_token>

namespace orvan::cli {

int CmdServe(const TArgs& args) {
    const TProductionArgs& p = args.Production;
    if (!args.Files.empty()) return UsageError("serve takes no file");
    if (JsonOutput()) return UsageError("serve takes no --json: its API answers in JSON");
    if (!p.Station.empty()) return UsageError("serve shows every station: it takes no --station");
    if (const int rc = CheckStoreArgs(p)) return rc;
    TStoreConfig config;
    std::string error;
    StoreConfigFor(p, config, error);
    web::TServeOptions options;
    options.Database = config.Database;
    options.Token = p.Token;
    if (!web::ParseListen(p.Listen.empty() ? web::DefaultListen : p.Listen, options.Listen,
                          error) ||
        !web::CheckServeOptions(options, error))
        return UsageError(error);
    // A misnamed database is said now, not on the first page load; the view
    // creates nothing.
    std::string describe;
    if (const auto store = OpenStoreSnapshot(options.Database, error))
        describe = store->Describe();
    else
        return Fail(ExitStore, "Production records cannot be opened: " + error);
    web::TLineServer server(options);
    if (!server.Bind(error)) return UsageError(error);
    const std::string& host = options.Listen.Host;
    std::printf("Line view of %s on http://%s:%d/%s\n", describe.c_str(),
                host.find(':') == std::string::npos ? host.c_str() : ("[" + host + "]").c_str(),
                server.Port(), options.Token.empty() ? "" : " (with its token)");
    std::fflush(stdout);
    const std::stop_callback stop(StopToken(), [&server] { server.Stop(); });
    if (!server.Run()) return Fail(ExitUsage, "the line view stopped: cannot accept connections");
    return ExitOk;
}

} // namespace orvan::cli
