// What holds for every command, read from the real orvan-cli's own --help so
// that a new command or option cannot be left out: the man page and the
// bash completion name it, --json answers in JSON, a global option the
// command does not use is refused.
#include "cli/tests/CliRunner.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/Process.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace orvan::test {
namespace {

// A help text, asked of orvan-cli once a run: the tests read the same ones.
const std::string& Help(const std::string& args) {
    static std::map<std::string, std::string> texts;
    auto it = texts.find(args);
    if (it == texts.end()) it = texts.emplace(args, RunCli(args).Out).first;
    return it->second;
}

// The commands of the overview --help: "  name ..." lines.
std::vector<std::string> Commands() {
    std::vector<std::string> names;
    std::istringstream in(Help("--help"));
    const std::regex command("^  ([a-z][a-z-]*)( .*)?$");
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, m, command)) names.push_back(m[1]);
    return names;
}

// Every option a help text names.
std::set<std::string> OptionsIn(const std::string& help) {
    std::set<std::string> found;
    const std::regex option(R"((?:^|[\s\[(,|])(--?[A-Za-z][A-Za-z0-9-]*))");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
        found.insert((*it)[1]);
    return found;
}

// The options of the overview and of every command's own --help.
std::set<std::string> AllOptions() {
    std::set<std::string> all = OptionsIn(Help("--help"));
    for (const std::string& c : Commands())
        for (const std::string& o : OptionsIn(Help(c + " --help")))
            all.insert(o);
    return all;
}

TEST(Conventions, ManPageNamesEveryCommandAndOption) {
    const std::set<std::string> options = AllOptions();
    EXPECT_GE(Commands().size(), 19u);
    for (const char* o : {"-d", "-P", "--ports-map", "--db", "--station", "-q", "-v", "--since"})
        EXPECT_EQ(options.count(o), 1u) << o;
    // Roff's "\-" is the hyphen the reader sees; font changes are not text.
    std::string page = std::regex_replace(ReadFile(ORVAN_MAN_PAGE), std::regex(R"(\\-)"), "-");
    page = std::regex_replace(page, std::regex(R"(\\f[BIRP])"), " ");
    for (const std::string& c : Commands())
        EXPECT_TRUE(std::regex_search(page, std::regex("\n\\.BI? \"?" + c + "[ \"\n]")))
            << "command " << c;
    for (const std::string& o : options)
        EXPECT_TRUE(std::regex_search(page, std::regex("[^A-Za-z0-9-]" + o + "[^A-Za-z0-9-]")))
            << "option " << o;
}

// The completion function itself, run by bash as a shell would.
TEST(Conventions, CompletionOffersEveryCommandAndOption) {
    auto complete = [](const std::string& words, int index) {
        const std::string script = std::string("source '") + ORVAN_COMPLETION + "'; COMP_WORDS=(" +
                                   words + "); COMP_CWORD=" + std::to_string(index) +
                                   "; _orvan_cli; printf '%s\\n' \"${COMPREPLY[@]}\"";
        const TRunResult r = test::Run(".", "/bin/bash", {"-c", script});
        EXPECT_EQ(r.Status, 0) << r.Out;
        std::set<std::string> offered;
        std::istringstream in(r.Out);
        for (std::string w; std::getline(in, w);)
            offered.insert(w);
        return offered;
    };
    const std::set<std::string> commands = complete("orvan-cli ''", 1);
    for (const std::string& c : Commands()) {
        EXPECT_EQ(commands.count(c), 1u) << "command " << c;
        const std::set<std::string> options = complete("orvan-cli " + c + " -", 2);
        for (const std::string& o : OptionsIn(Help(c + " --help")))
            EXPECT_EQ(options.count(o), 1u) << c << " " << o;
    }
}

// Every command answers in JSON only, run bare (mostly a usage error) and
// for its help; so do --help and --version.
TEST(Conventions, JsonFromEveryCommand) {
    TTempDir dir;
    std::vector<std::string> runs = {"--help", "--version"};
    for (const std::string& c : Commands())
        runs.insert(runs.end(), {c, c + " --help"});
    for (const std::string& run : runs) {
        SCOPED_TRACE(run);
        const TCliResult r = RunCli("--json " + run, dir.Path());
        std::istringstream in(r.Out);
        nlohmann::json last;
        for (std::string line; std::getline(in, line);) {
            last = nlohmann::json::parse(line, nullptr, false);
            ASSERT_TRUE(last.is_object()) << line;
        }
        EXPECT_EQ(last["event"], "result") << r.Out;
        EXPECT_EQ(last["exit"], r.Status) << r.Out;
    }
    EXPECT_EQ(nlohmann::json::parse(RunCli("--json --version").Out)["version"], "2.43");
}

TEST(Conventions, GlobalOptionsTheCommandDoesNotUseAreRefused) {
    for (const char* args : {"devices -d OV101", "ports -P Com1", "status -d OV101 --db x.db",
                             "report --option 3FFF", "-P Com1 -d OV128 program x.bin --station s",
                             "qtp -d OV128 x.bin --ports-map m", "-q -v -d OV101 status"}) {
        SCOPED_TRACE(args);
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.Status, 2);
        EXPECT_TRUE(r.Out.empty()) << r.Out;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
    }
    EXPECT_NE(RunCli("devices -d OV101").Err.find("devices does not use -d"), std::string::npos);
}

// -d in any case, and against the model a --cfg file names.
TEST(Conventions, ModelNames) {
    EXPECT_EQ(RunCli("status -d ov101").Out, RunCli("status -d OV101").Out);
    TTempDir dir;
    TWorkspace ws;
    ASSERT_TRUE(ws.SelectDevice("OV101"));
    WriteFile(dir.File("p.bin"), std::string(1024, '\0'));
    ws.LoadedFileName = dir.File("p.bin");
    ASSERT_TRUE(SaveCfgFile(ws, dir.File("p.cfg")));
    EXPECT_EQ(RunCli("status --cfg p.cfg -d ov101", dir.Path()).Status, 0);
    const TCliResult other = RunCli("status --cfg p.cfg -d OV128", dir.Path());
    EXPECT_EQ(other.Status, 2) << other.Out;
    EXPECT_NE(other.Err.find("OV101"), std::string::npos) << other.Err;
}

} // namespace
} // namespace orvan::test
