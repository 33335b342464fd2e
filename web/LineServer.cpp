#include "web/LineServer.h"

#include "production/LineView.h"
#include "production/StoreConfig.h"
#include "web/PageAssets.h"

#include <arpa/inet.h>
#include <fstream>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace orvan::web {
namespace {

using TJson = nlohmann::json;

// The table shows this many chip records at most; the CSV has them all.
constexpr int TableRows = 500;

bool IsLoopback(const std::string& host) {
    if (host == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

// Equal texts, in a time that does not tell how much of a guess was right.
bool SameSecret(const std::string& given, const std::string& secret) {
    if (given.size() != secret.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < secret.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ secret[i]);
    return diff == 0;
}

std::string CookieToken(const httplib::Request& req) {
    const std::string cookies = req.get_header_value("Cookie");
    const std::string name = "orvan_token=";
    for (size_t at = cookies.find(name); at != std::string::npos; at = cookies.find(name, at + 1))
        if (at == 0 || cookies[at - 1] == ' ' || cookies[at - 1] == ';') {
            const size_t from = at + name.size();
            return cookies.substr(from, cookies.find(';', from) - from);
        }
    return {};
}

// The host part of a Host header: "127.0.0.1:8080", "[::1]:8080", "localhost".
std::string HostOf(const std::string& header) {
    if (!header.empty() && header[0] == '[') return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

bool Authorised(const httplib::Request& req, const std::string& token) {
    if (token.empty()) return true;
    const std::string bearer = req.get_header_value("Authorization");
    if (bearer.rfind("Bearer ", 0) == 0 && SameSecret(bearer.substr(7), token)) return true;
    if (req.has_header("X-Orvan-Token") && SameSecret(req.get_header_value("X-Orvan-Token"), token))
        return true;
    if (req.has_param("token") && SameSecret(req.get_param_value("token"), token)) return true;
    return SameSecret(CookieToken(req), token);
}

// Station names and failing lines are whatever was recorded: invalid UTF-8
// is replaced rather than refused.
std::string Text(const TJson& j) {
    return j.dump(-1, ' ', false, TJson::error_handler_t::replace);
}

TJson ChipJson(const TChipRecord& c) {
    TJson verdicts = TJson::array();
    std::istringstream lines(c.Verdicts);
    for (std::string line; std::getline(lines, line);)
        verdicts.push_back(line);
    return {{"id", c.Id},
            {"utc", c.Utc},
            {"station", c.Station},
            {"operation", c.Operation},
            {"model", c.Model},
            {"dataFile", c.DataFile},
            {"dataSha256", c.DataSha256},
            {"checksum", c.Checksum},
            {"series", c.Series},
            {"serial", c.Serial},
            {"serialIndex", c.SerialIndex},
            {"consumed", c.Consumed},
            {"qtpSha256", c.QtpSha256},
            {"qtpRecord", c.QtpRecord},
            {"pass", c.Pass},
            {"unknown", UnknownOutcome(c)},
            {"verdict", VerdictText(c)},
            {"failure", c.Failure},
            {"verdicts", verdicts}};
}

// The report's rows, with the fields and names of `orvan-cli report --json`.
TJson ReportJson(const std::vector<TReportRow>& rows) {
    TJson list = TJson::array();
    for (const TReportRow& r : rows)
        list.push_back({{"day", r.Day},
                        {"station", r.Station},
                        {"model", r.Model},
                        {"chips", r.Chips},
                        {"passes", r.Passes},
                        {"fails", r.Fails},
                        {"yield", YieldText(r.Passes, r.Chips)},
                        {"firstSerial", r.FirstSerial},
                        {"lastSerial", r.LastSerial}});
    return list;
}

TJson LineJson(const TLineView& v) {
    TJson j = {{"records", v.Records},
               {"now", v.Now},
               {"day", v.Day},
               {"idleSeconds", StationIdleSeconds},
               {"today", ReportJson(v.Today)}};
    j["stations"] = TJson::array();
    for (const TStationCard& s : v.Stations)
        j["stations"].push_back({{"station", s.Station},
                                 {"lastUtc", s.LastUtc},
                                 {"lastVerdict", s.LastVerdict},
                                 {"lastPass", s.LastPass},
                                 {"chips", s.Chips},
                                 {"passes", s.Passes},
                                 {"fails", s.Fails},
                                 {"yield", YieldText(s.Passes, s.Chips)},
                                 {"series", s.Series},
                                 {"lastSerial", s.LastSerial},
                                 {"idle", s.Idle}});
    j["hours"] = TJson::array();
    for (const THourYield& h : v.Hours)
        j["hours"].push_back(
            {{"station", h.Station}, {"hour", h.Hour}, {"chips", h.Chips}, {"passes", h.Passes}});
    j["failures"] = TJson::array();
    for (const TFailureCount& f : v.Failures)
        j["failures"].push_back({{"failure", f.Failure}, {"chips", f.Chips}});
    j["series"] = TJson::array();
    for (const TSeriesUse& s : v.Series)
        j["series"].push_back({{"series", s.Series},
                               {"firstSerial", s.FirstSerial},
                               {"lastSerial", s.LastSerial},
                               {"onChips", s.OnChips},
                               {"handedOut", s.HandedOut},
                               {"next", s.Next}});
    j["held"] = TJson::array();
    for (const THeldClaim& h : v.Held)
        j["held"].push_back({{"series", h.Series},
                             {"station", h.Station},
                             {"number", h.Number},
                             {"index", h.Index},
                             {"armed", h.Armed}});
    j["unknown"] = TJson::array();
    for (const TChipRecord& c : v.Unknown)
        j["unknown"].push_back(ChipJson(c));
    return j;
}

void SendJson(httplib::Response& res, int status, const TJson& j) {
    res.status = status;
    res.set_content(Text(j), "application/json");
}

// A request's filter; false with `error` for a day or verdict that is none.
bool FilterOf(const httplib::Request& req, TChipFilter& f, std::string& error) {
    f.Station = req.get_param_value("station");
    f.Day = req.get_param_value("day");
    f.Verdict = req.get_param_value("verdict");
    f.Serial = req.get_param_value("serial");
    if (!f.Day.empty() && !ValidCalendarDate(f.Day)) {
        error = "day: YYYY-MM-DD";
        return false;
    }
    if (!f.Verdict.empty() && f.Verdict != "pass" && f.Verdict != "fail" &&
        f.Verdict != "unknown") {
        error = "verdict: pass, fail or unknown";
        return false;
    }
    return true;
}

} // namespace

bool ParseListen(const std::string& text, TListenAddress& a, std::string& error) {
    a = {};
    std::string port;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) {
            error = "--listen " + text + ": no closing ']'";
            return false;
        }
        a.Host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') {
                error = "--listen " + text + ": HOST:PORT or [ADDRESS]:PORT";
                return false;
            }
            port = text.substr(close + 2);
        }
    } else if (const size_t colon = text.find(':');
               colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        a.Host = text.substr(0, colon);
        port = text.substr(colon + 1);
    } else {
        a.Host = text; // a name, an IPv4 address or a bare IPv6 address
    }
    if (a.Host.empty()) {
        error = "--listen " + text + ": no address (127.0.0.1:8080 for this machine only)";
        return false;
    }
    if (!port.empty() || (text.size() && text.back() == ':')) {
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
            error = "--listen " + text + ": the port is a number from 0 to 65535";
            return false;
        }
        a.Port = std::stoi(port);
    }
    a.Loopback = IsLoopback(a.Host);
    return true;
}

bool CheckServeOptions(const TServeOptions& o, std::string& error) {
    // It travels in URLs and a cookie as it is.
    if (o.Token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                  "0123456789._~-") != std::string::npos) {
        error = "--token: letters, digits and . _ ~ - only (for example the output of "
                "`openssl rand -hex 16`)";
        return false;
    }
    if (!o.Listen.Loopback && o.Token.empty()) {
        error = "--listen " + o.Listen.Host +
                " lets other machines read the production records: give --token SECRET (every "
                "request must then carry it), or listen on 127.0.0.1 and reach it through an "
                "ssh tunnel";
        return false;
    }
    return true;
}

struct TLineServer::TImpl {
    TServeOptions Options;
    httplib::Server Server;
    int BoundPort = 0;

    // The records read afresh for one request; false (the response says
    // why) when the store cannot be read.
    template <class F> void WithStore(httplib::Response& res, F&& read) {
        std::string error;
        const auto store = OpenStoreSnapshot(Options.Database, error);
        if (!store || !read(*store, error)) SendJson(res, 503, {{"error", error}});
    }

    void Routes() {
        Server.set_default_headers(
            {{"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Referrer-Policy", "no-referrer"},
             {"X-Frame-Options", "DENY"},
             {"Content-Security-Policy",
              "default-src 'self'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
              "img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; "
              "form-action 'none'"}});
        Server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            // Without a token only this machine may ask, by a loopback name:
            // a web page elsewhere cannot rename itself to reach the view.
            if (Options.Token.empty() && !IsLoopback(HostOf(req.get_header_value("Host")))) {
                res.status = 403;
                res.set_content("403: this line view answers to 127.0.0.1 or localhost only\n",
                                "text/plain; charset=utf-8");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (Authorised(req, Options.Token)) return httplib::Server::HandlerResponse::Unhandled;
            res.status = 401;
            res.set_header("WWW-Authenticate", "Bearer realm=\"orvan line view\"");
            res.set_content("401: this line view needs its token (?token=..., or the header "
                            "Authorization: Bearer ...)\n",
                            "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        });
        Server.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
            // The page's own requests (its script, style, API) carry the
            // token as a cookie that scripts of other sites cannot read.
            if (!Options.Token.empty() && SameSecret(req.get_param_value("token"), Options.Token))
                res.set_header("Set-Cookie", "orvan_token=" + Options.Token +
                                                 "; Path=/; HttpOnly; SameSite=Strict");
            res.set_content(PageHtml(), "text/html; charset=utf-8");
        });
        Server.Get("/line.js", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(PageScript(), "text/javascript; charset=utf-8");
        });
        Server.Get("/line.css", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(PageStyle(), "text/css; charset=utf-8");
        });
        Server.Get("/chart.js", [this](const httplib::Request&, httplib::Response& res) {
            std::ifstream in(Options.ChartJs, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            if (!in || text.str().empty()) {
                res.status = 404;
                res.set_content("// Chart.js not found at " + Options.ChartJs +
                                    " (Debian package libjs-chart.js): no charts\n",
                                "text/javascript; charset=utf-8");
                return;
            }
            res.set_content(text.str(), "text/javascript; charset=utf-8");
        });
        Server.Get("/api/line", [this](const httplib::Request&, httplib::Response& res) {
            WithStore(res, [&](IProductionStore& store, std::string& error) {
                TLineView view;
                if (!ReadLineView(store, UtcNow(), view, error)) return false;
                SendJson(res, 200, LineJson(view));
                return true;
            });
        });
        Server.Get("/api/report", [this](const httplib::Request& req, httplib::Response& res) {
            TReportQuery q;
            q.Since = req.get_param_value("since");
            q.Station = req.get_param_value("station");
            if (!q.Since.empty() && !ValidCalendarDate(q.Since))
                return SendJson(res, 400, {{"error", "since: YYYY-MM-DD"}});
            WithStore(res, [&](IProductionStore& store, std::string& error) {
                std::vector<TReportRow> rows;
                if (!store.Report(q, rows, error)) return false;
                SendJson(res, 200, {{"records", store.Describe()}, {"rows", ReportJson(rows)}});
                return true;
            });
        });
        Server.Get("/api/chips", [this](const httplib::Request& req, httplib::Response& res) {
            TChipFilter f;
            std::string why;
            if (!FilterOf(req, f, why)) return SendJson(res, 400, {{"error", why}});
            WithStore(res, [&](IProductionStore& store, std::string& error) {
                std::vector<TChipRecord> chips;
                if (!ReadChips(store, f, TableRows + 1, chips, error)) return false;
                const bool more = chips.size() > size_t(TableRows);
                if (more) chips.pop_back();
                TJson list = TJson::array();
                for (const TChipRecord& c : chips)
                    list.push_back(ChipJson(c));
                SendJson(res, 200, {{"chips", list}, {"more", more}});
                return true;
            });
        });
        Server.Get("/api/chips.csv", [this](const httplib::Request& req, httplib::Response& res) {
            TChipFilter f;
            std::string why;
            if (!FilterOf(req, f, why)) return SendJson(res, 400, {{"error", why}});
            WithStore(res, [&](IProductionStore& store, std::string& error) {
                // All of them, oldest first, as `orvan-cli report --csv` writes them.
                std::vector<TChipRecord> chips;
                if (!store.Chips(ChipQuery(f), chips, error)) return false;
                std::string csv = ChipCsvHeader();
                for (const TChipRecord& c : chips)
                    csv += ChipCsvLine(c);
                res.set_header("Content-Disposition", "attachment; filename=\"chips.csv\"");
                res.set_content(csv, "text/csv; charset=utf-8");
                return true;
            });
        });
    }
};

TLineServer::TLineServer(TServeOptions options) : Impl(std::make_unique<TImpl>()) {
    Impl->Options = std::move(options);
    Impl->Routes();
}

TLineServer::~TLineServer() = default;

bool TLineServer::Bind(std::string& error) {
    const TListenAddress& a = Impl->Options.Listen;
    if (a.Port == 0)
        Impl->BoundPort = Impl->Server.bind_to_any_port(a.Host);
    else if (Impl->Server.bind_to_port(a.Host, a.Port))
        Impl->BoundPort = a.Port;
    if (Impl->BoundPort > 0) return true;
    error = "cannot listen on " + a.Host + ":" + std::to_string(a.Port) +
            ": the address is not this machine's, or the port is in use";
    return false;
}

int TLineServer::Port() const {
    return Impl->BoundPort;
}

bool TLineServer::Run() {
    return Impl->Server.listen_after_bind();
}

void TLineServer::Stop() {
    Impl->Server.stop();
}

} // namespace orvan::web
