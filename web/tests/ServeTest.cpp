// The line view end to end: records written by real `orvan-cli auto` runs
// on writer-sim, the real `orvan-cli serve` over them, read with an HTTP
// client and with headless Chromium. Every figure the view shows must be
// the one `orvan-cli report` gives for the same records. Run
// with --pg, the same runs on a PostgreSQL database of its own.
#include "production/Store.h"
#include "production/StoreConfig.h"
#include "testlib/Files.h"
#include "testlib/Process.h"
#include "testlib/StationBench.h"
#include "testlib/StoreBench.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <unistd.h>

namespace orvan::test {
namespace {

using TJson = nlohmann::json;

// The station whose name is markup: the page must show it as text.
constexpr const char* MarkupStation = "<b>x</b>";

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// `orvan-cli serve` on a free loopback port, stopped with SIGTERM.
class TServeProcess {
  public:
    TServeProcess(const std::string& dir, const std::vector<std::string>& args)
        : Child(dir, ORVAN_CLI, args, TChildProcess::TOutput::StdoutPipe) {
        std::string line;
        if (!Child.ReadLine(line, 20000)) return;
        std::smatch m;
        if (std::regex_search(line, m, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/")))
            Port = std::stoi(m[1]);
        Banner = line;
    }
    ~TServeProcess() { Child.Stop(); }
    bool Ready() const { return Port > 0; }
    httplib::Result Get(const std::string& path, const httplib::Headers& headers = {}) const {
        httplib::Client client("127.0.0.1", Port);
        return client.Get(path, headers);
    }
    TJson Json(const std::string& path, const httplib::Headers& headers = {}) const {
        const auto r = Get(path, headers);
        EXPECT_TRUE(r && r->status == 200) << path << ": " << (r ? r->body : "no answer");
        return r && r->status == 200 ? TJson::parse(r->body) : TJson::object();
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(Port) + path;
    }
    int Port = 0;
    std::string Banner;

  private:
    TChildProcess Child;
};

// A line of two stations that share one series, filled by real runs; one
// of them is named with markup. Besides the chips: a number held by a
// third station and an unknown outcome (a station that stopped with its
// number armed), made through the store as a station's process makes them.
struct Line : ::testing::Test {
    TStoreDatabase Db;
    std::unique_ptr<TStationBench> Bench1, Bench2;

    void SetUp() override {
        if (!Db.Ready()) GTEST_SKIP() << Db.Why();
    }

    TTempDir Work;

    // An empty store, as the first station leaves it.
    void Create() {
        std::string error;
        ASSERT_TRUE(OpenProductionStore(Db.Url(), error)) << error;
    }

    void Fill() {
        // A reply the host does not know, in the middle of bench1's first chip.
        Bench1 = std::make_unique<TStationBench>(ORVAN_CLI,
                                                 std::vector<std::string>{"--bad-reply", "100:42"});
        Bench2 = std::make_unique<TStationBench>(ORVAN_CLI);
        ASSERT_TRUE(Bench1->Sim->Started() && Bench2->Sim->Started());
        EXPECT_EQ(Bench1->Cli(Bench1->Auto(Db.Url(), "bench1", 4, Serial0041)).Status, 3);
        const TRunResult r = Bench2->Cli(Bench2->Auto(Db.Url(), MarkupStation, 3, Serial0041));
        ASSERT_EQ(r.Status, 0) << r.Out;

        std::string error;
        TClaimRequest claim;
        claim.Settings.SerialStartAddr = 0x10;
        claim.Settings.SerialByteCount = 2;
        claim.Settings.SerialBytes[0] = 0x41;
        claim.Series = SeriesKeyOf(TStationBench::Model, claim.Settings);
        {
            // bench3 stops with its number armed; its next start records
            // the chip as an unknown outcome and claims a new number.
            auto store = OpenProductionStore(Db.Url(), error);
            ASSERT_TRUE(store) << error;
            std::vector<TChipRecord> unknown;
            ASSERT_TRUE(store->HoldStation("bench3", unknown, error)) << error;
            claim.Station = "bench3";
            TClaim c;
            ASSERT_TRUE(store->Claim(claim, c, error)) << error;
            TChipRecord pending;
            pending.Station = "bench3";
            pending.Model = TStationBench::Model;
            pending.Series = claim.Series;
            pending.Serial = c.Number;
            pending.SerialIndex = c.Index;
            ASSERT_TRUE(store->Arm(pending, error)) << error;
        }
        auto store = OpenProductionStore(Db.Url(), error);
        ASSERT_TRUE(store) << error;
        std::vector<TChipRecord> unknown;
        ASSERT_TRUE(store->HoldStation("bench3", unknown, error)) << error;
        ASSERT_EQ(unknown.size(), 1u);
        TClaim held;
        ASSERT_TRUE(store->Claim(claim, held, error)) << error;
    }

    std::vector<std::string> Serve(std::vector<std::string> more = {}) const {
        std::vector<std::string> a{"--db", Db.Url(), "serve", "--listen", "127.0.0.1:0"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    TJson Report(std::vector<std::string> more = {}) const {
        std::vector<std::string> a{"--db", Db.Url(), "--json", "report"};
        a.insert(a.end(), more.begin(), more.end());
        const TRunResult r = Bench1->Cli(a);
        EXPECT_EQ(r.Status, 0) << r.Out;
        return TJson::parse(r.Out.substr(0, r.Out.find('\n')));
    }
};

// The report's rows without the view's own extra field.
TJson RowsAsReport(TJson rows) {
    for (TJson& row : rows)
        row.erase("yield");
    return rows;
}

TEST_F(Line, EveryFigureOfTheApiIsTheReports) {
    ASSERT_NO_FATAL_FAILURE(Fill());
    const TServeProcess serve(Bench1->Dir.Path(), Serve());
    ASSERT_TRUE(serve.Ready()) << serve.Banner;
    const TJson line = serve.Json("/api/line");
    const TJson report = Report();
    const TJson today = Report({"--since", line["day"]});

    EXPECT_EQ(RowsAsReport(serve.Json("/api/report")["rows"]), report["rows"]);
    EXPECT_EQ(serve.Json("/api/report")["records"], report["records"]);
    EXPECT_EQ(RowsAsReport(line["today"]), today["rows"]);
    EXPECT_EQ(line["records"], report["records"]);

    // A card per station: its chips, passes and fails are the report's.
    std::map<std::string, std::array<int64_t, 3>> byStation;
    for (const TJson& row : today["rows"]) {
        auto& sum = byStation[row["station"]];
        sum[0] += row["chips"].get<int64_t>();
        sum[1] += row["passes"].get<int64_t>();
        sum[2] += row["fails"].get<int64_t>();
    }
    ASSERT_EQ(line["stations"].size(), 3u) << line["stations"].dump();
    std::map<std::string, int64_t> hourChips;
    for (const TJson& h : line["hours"])
        hourChips[h["station"]] += h["chips"].get<int64_t>();
    int64_t fails = 0;
    for (const TJson& card : line["stations"]) {
        const auto& sum = byStation[card["station"]];
        EXPECT_EQ(card["chips"], sum[0]) << card.dump();
        EXPECT_EQ(card["passes"], sum[1]) << card.dump();
        EXPECT_EQ(card["fails"], sum[2]) << card.dump();
        EXPECT_EQ(card["yield"], YieldText(sum[1], sum[0])) << card.dump();
        EXPECT_EQ(hourChips[card["station"]], sum[0]) << card.dump();
        EXPECT_FALSE(card["idle"]) << card.dump();
        fails += sum[2];
    }
    EXPECT_EQ(byStation["bench1"], (std::array<int64_t, 3>{4, 3, 1}));
    EXPECT_EQ(byStation[MarkupStation], (std::array<int64_t, 3>{3, 3, 0}));
    EXPECT_EQ(byStation["bench3"], (std::array<int64_t, 3>{1, 0, 1}));

    // Failures by failing line: the writer's fault and the unknown outcome.
    int64_t paretoFails = 0;
    for (const TJson& f : line["failures"])
        paretoFails += f["chips"].get<int64_t>();
    EXPECT_EQ(paretoFails, fails);
    EXPECT_EQ(line["failures"].size(), 2u) << line["failures"].dump();

    // One series: 0041..0048 on chips (0048 armed by bench3, now an
    // unknown outcome), 0049 held by bench3, 0050 next.
    ASSERT_EQ(line["series"].size(), 1u) << line["series"].dump();
    const TJson& series = line["series"][0];
    EXPECT_EQ(series["firstSerial"], "0041");
    EXPECT_EQ(series["lastSerial"], "0048");
    EXPECT_EQ(series["onChips"], 8);
    EXPECT_EQ(series["handedOut"], 9);
    EXPECT_EQ(series["next"], "004A");
    std::string reportFirst = "~", reportLast;
    for (const TJson& row : report["rows"]) {
        if (row["firstSerial"] == "") continue;
        reportFirst = std::min(reportFirst, row["firstSerial"].get<std::string>());
        reportLast = std::max(reportLast, row["lastSerial"].get<std::string>());
    }
    EXPECT_EQ(series["firstSerial"], reportFirst);
    EXPECT_EQ(series["lastSerial"], reportLast);
    ASSERT_EQ(line["held"].size(), 1u);
    EXPECT_EQ(line["held"][0]["station"], "bench3");
    EXPECT_EQ(line["held"][0]["number"], "0049");
    EXPECT_EQ(line["held"][0]["armed"], false);
    ASSERT_EQ(line["unknown"].size(), 1u);
    EXPECT_EQ(line["unknown"][0]["serial"], "0048");
    EXPECT_EQ(line["unknown"][0]["failure"], UnknownOutcomeText);

    // The chip records: the CSV is the report's, and each filter keeps its chips.
    const TRunResult csv = Bench1->Cli({"--db", Db.Url(), "report", "--csv"});
    const auto served = serve.Get("/api/chips.csv");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->body, csv.Out);
    const struct {
        std::string Query;
        std::vector<std::string> Serials; // newest first
    } filters[] = {
        {"", {"0048", "0047", "0046", "0045", "0044", "0043", "0042", "0041"}},
        {"?verdict=fail", {"0048", "0041"}},
        {"?verdict=unknown", {"0048"}},
        {"?verdict=pass&station=bench1", {"0044", "0043", "0042"}},
        {"?station=%3Cb%3Ex%3C%2Fb%3E", {"0047", "0046", "0045"}},
        {"?serial=0043", {"0043"}},
        {"?day=" + line["day"].get<std::string>() + "&verdict=pass",
         {"0047", "0046", "0045", "0044", "0043", "0042"}},
        {"?day=2001-01-01", {}},
    };
    for (const auto& f : filters) {
        std::vector<std::string> serials;
        const TJson chips = serve.Json("/api/chips" + f.Query);
        for (const TJson& c : chips["chips"])
            serials.push_back(c["serial"]);
        EXPECT_EQ(serials, f.Serials) << f.Query;
    }
    // Without a token only a loopback name reaches it: a page under
    // another name (DNS rebinding) does not.
    const auto renamed = serve.Get("/api/line", {{"Host", "line.example:8080"}});
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->status, 403);
    const auto bad = serve.Get("/api/chips?day=2026-02-30");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);

    // A station inside a write holds the store's write lock: the view
    // reads on, and takes no lock a station would wait for.
    Db.HoldWriteLock();
    const auto during = serve.Get("/api/line");
    Db.ReleaseWriteLock();
    ASSERT_TRUE(during);
    EXPECT_EQ(during->status, 200) << during->body;
}

// What serve refuses to start with; off the loopback a token is required,
// and with one every request carries it, or gets 401.
TEST_F(Line, TheTokenGuardsEveryRequest) {
    if (StoreIsPostgres()) GTEST_SKIP() << "the SQLite build covers this";
    ASSERT_NO_FATAL_FAILURE(Create());
    const TRunResult open = orvan::test::Run(Work.Path(), ORVAN_CLI,
                                             {"--db", Db.Url(), "serve", "--listen", "0.0.0.0"});
    EXPECT_EQ(open.Status, 2) << open.Out;
    EXPECT_TRUE(Has(open.Out, "--token")) << open.Out;
    const TRunResult bad =
        orvan::test::Run(Work.Path(), ORVAN_CLI, {"--db", Db.Url(), "serve", "--token", "a b;c"});
    EXPECT_EQ(bad.Status, 2) << bad.Out;
    // A misnamed database is said at once, and not created.
    const TRunResult typo = orvan::test::Run(Work.Path(), ORVAN_CLI, {"--db", "typo.db", "serve"});
    EXPECT_EQ(typo.Status, 5) << typo.Out;
    EXPECT_TRUE(Has(typo.Out, "no such database: typo.db")) << typo.Out;
    EXPECT_FALSE(std::filesystem::exists(Work.File("typo.db")));

    const TServeProcess serve(Work.Path(), Serve({"--token", "s3cr3t-line2"}));
    ASSERT_TRUE(serve.Ready()) << serve.Banner;
    EXPECT_FALSE(Has(serve.Banner, "s3cr3t")) << serve.Banner;
    const struct {
        std::string Path;
        httplib::Headers Headers;
        int Status;
    } cases[] = {
        {"/api/line", {}, 401},
        {"/", {}, 401},
        {"/line.js", {}, 401},
        {"/api/line", {{"Authorization", "Bearer wrong"}}, 401},
        {"/api/line?token=s3cr3t-line", {}, 401},
        {"/api/line", {{"Authorization", "Bearer s3cr3t-line2"}}, 200},
        {"/api/line", {{"X-Orvan-Token", "s3cr3t-line2"}}, 200},
        {"/api/chips.csv?token=s3cr3t-line2", {}, 200},
        {"/line.css", {{"Cookie", "orvan_token=s3cr3t-line2"}}, 200},
    };
    for (const auto& c : cases) {
        const auto r = serve.Get(c.Path, c.Headers);
        ASSERT_TRUE(r) << c.Path;
        EXPECT_EQ(r->status, c.Status) << c.Path;
    }
    // The page given the token hands it on to its own requests as a cookie.
    const auto page = serve.Get("/?token=s3cr3t-line2");
    ASSERT_TRUE(page && page->status == 200);
    EXPECT_TRUE(Has(page->get_header_value("Set-Cookie"), "orvan_token=s3cr3t-line2;"));
    EXPECT_TRUE(Has(page->get_header_value("Set-Cookie"), "HttpOnly"));
}

// A password in the database's name shows nowhere the view answers.
TEST_F(Line, NoPasswordInAnyAnswer) {
    if (!StoreIsPostgres()) GTEST_SKIP() << "a SQLite file has no password";
    // The server's real password (pg_virtualenv's), given in the name.
    const char* password = std::getenv("PGPASSWORD");
    if (!password || !*password) GTEST_SKIP() << "the server takes no password (PGPASSWORD unset)";
    ASSERT_NO_FATAL_FAILURE(Create());
    const TServeProcess serve(Work.Path(), {"--db", Db.Url() + "?password=" + password, "serve",
                                            "--listen", "127.0.0.1:0"});
    ASSERT_TRUE(serve.Ready()) << serve.Banner;
    EXPECT_FALSE(Has(serve.Banner, password)) << serve.Banner;
    for (const char* path : {"/", "/api/line", "/api/report", "/api/chips", "/api/chips.csv"}) {
        const auto r = serve.Get(path);
        ASSERT_TRUE(r && r->status == 200) << path;
        EXPECT_FALSE(Has(r->body, password)) << path;
    }
}

// Debian's Chromium, or the one ORVAN_CHROMIUM names ("" for none).
std::string ChromiumPath() {
    if (const char* chosen = std::getenv("ORVAN_CHROMIUM"))
        return *chosen && access(chosen, X_OK) == 0 ? chosen : "";
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

// Chromium's rendering of `url` after its scripts ran; `screenshot` also
// saves the picture there.
std::string Rendered(const std::string& url, const std::string& screenshot = {}) {
    TTempDir profile;
    std::vector<std::string> args{"--headless",
                                  "--no-sandbox",
                                  "--disable-gpu",
                                  "--disable-quic",
                                  "--no-first-run",
                                  "--disable-background-networking",
                                  "--disable-component-update",
                                  "--disable-sync",
                                  "--disable-dev-shm-usage",
                                  "--user-data-dir=" + profile.Path(),
                                  "--virtual-time-budget=5000",
                                  "--window-size=1280,900"};
    args.push_back(screenshot.empty() ? "--dump-dom" : "--screenshot=" + screenshot);
    args.push_back(url);
    TChildProcess browser(profile.Path(), ChromiumPath(), args, TChildProcess::TOutput::StdoutPipe);
    std::string dom = browser.ReadAll();
    browser.Wait();
    return dom;
}

// The page in a real browser: the station cards and the chip table drawn
// from the API, a station named with markup shown as text.
TEST_F(Line, BrowserShowsTheCardsAndTheTable) {
    if (StoreIsPostgres()) GTEST_SKIP() << "the SQLite build covers this";
    if (ChromiumPath().empty()) {
        GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    }
    ASSERT_NO_FATAL_FAILURE(Fill());
    const TServeProcess serve(Bench1->Dir.Path(), Serve({"--token", "t0ken"}));
    ASSERT_TRUE(serve.Ready()) << serve.Banner;
    const std::string dom = Rendered(serve.Url("/?token=t0ken"));
    ASSERT_TRUE(Has(dom, "data-loaded=\"yes\"")) << dom.substr(0, 3000);
    // Three cards, each with its station's name as text.
    std::smatch m;
    std::vector<std::string> names;
    const std::regex card("<div class=\"card[^\"]*\" data-station=\"[^\"]*\">.*?"
                          "<div class=\"name\">([^<]*)</div>");
    for (auto at = dom.cbegin(); std::regex_search(at, dom.cend(), m, card); at = m[0].second)
        names.push_back(m[1]);
    EXPECT_EQ(names, (std::vector<std::string>{"&lt;b&gt;x&lt;/b&gt;", "bench1", "bench3"}));
    EXPECT_FALSE(Has(dom, "<b>x</b>"));
    EXPECT_TRUE(
        Has(dom, "<dd data-field=\"Chips\">4</dd><dt>Passes</dt><dd data-field=\"Passes\">3"))
        << dom;
    // The table: the eight chips, newest first.
    const size_t table = dom.find("<table id=\"chips\">");
    ASSERT_NE(table, std::string::npos);
    const std::string body = dom.substr(table, dom.find("</table>", table) - table);
    size_t rows = 0;
    for (size_t at = body.find("<tr><td class=\"num\">"); at != std::string::npos;
         at = body.find("<tr><td class=\"num\">", at + 1))
        ++rows;
    EXPECT_EQ(rows, 8u);
    EXPECT_TRUE(Has(body, ">0048<")) << body;
    EXPECT_TRUE(Has(body, "FAIL: Unknow return value!!")) << body;
    // The picture of the README, on demand.
    if (const char* shot = std::getenv("ORVAN_LINE_SCREENSHOT"))
        Rendered(serve.Url("/?token=t0ken"), shot);
}

} // namespace
} // namespace orvan::test

// The browser test runs as a CTest test of its own, reported skipped when
// Chromium is not installed; --pg without a server is skipped too.
int main(int argc, char** argv) {
    const bool pg = orvan::test::TakeStoreArgument(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    const std::string filter = GTEST_FLAG_GET(filter);
    const bool browser = filter.find("Browser") != std::string::npos && filter[0] != '-';
    const bool skipped = (pg && orvan::test::StoreServerMissing()) ||
                         (browser && orvan::test::ChromiumPath().empty());
    return rc == 0 && skipped ? orvan::test::SkippedExitCode : rc;
}
