// --json end to end: every line of a simulated run is one JSON object, the
// dialog's lines and the gauge come as they change, and the verdict is last.
#include "cli/tests/CliSim.h"
#include "testlib/Files.h"

#include <set>

namespace orvan::test {
namespace {

using test::WriteFile;
using Json = nlohmann::json;

struct JsonRun : CliSim {};

std::vector<Json> OfKind(const std::vector<Json>& events, const std::string& kind) {
    std::vector<Json> out;
    for (const Json& e : events)
        if (e["event"] == kind) out.push_back(e);
    return out;
}

TEST_F(JsonRun, ProgramRunEndsWithTheVerdict) {
    StartSim({});
    const std::string file = WriteBin("image.bin", 1024);
    const TCliResult plain = Cli("-P Com1 -d OV128 read before.bin");
    ASSERT_EQ(plain.Status, 0) << plain.Out;

    const TCliResult r = Cli("-P Com1 -d OV128 --json program " + file);
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::vector<Json> events = JsonLines(r.Out);
    ASSERT_GE(events.size(), 3u) << r.Out;
    for (size_t k = 0; k + 1 < events.size(); ++k)
        EXPECT_NE(events[k]["event"], "result") << k;
    const Json& verdict = events.back();
    EXPECT_EQ(verdict["event"], "result");
    EXPECT_EQ(verdict["command"], "program");
    EXPECT_EQ(verdict["ok"], true);
    EXPECT_EQ(verdict["exit"], 0);
    EXPECT_EQ(verdict["lines"],
              Json::array({"Program memory", "Program Ok!!", "Data verify OK!!"}));
    EXPECT_FALSE(verdict.contains("error"));

    // Each line event carries the line as it then stands; the last text of
    // each control is what the dialog finally shows.
    std::map<std::string, std::string> last;
    for (const Json& e : OfKind(events, "line")) {
        ASSERT_TRUE(e["control"].is_string());
        ASSERT_TRUE(e["text"].is_string());
        EXPECT_TRUE(e["colour"] == "default" || e["colour"] == "red") << e;
        ASSERT_TRUE(e["visible"].is_boolean());
        last[e["control"]] = e["text"];
    }
    EXPECT_EQ(last["Label1"], "Program Ok!!");
    EXPECT_EQ(last["Label2"], "Data verify OK!!");
    EXPECT_EQ(last["Button1"], "OK");
    // The dialog as it opens comes first, top to bottom.
    EXPECT_EQ(events[0]["control"], "StaticText1");
    EXPECT_EQ(events[0]["text"], "Program memory");

    // Progress rises from the first word to the last, never back.
    const std::vector<Json> progress = OfKind(events, "progress");
    ASSERT_GE(progress.size(), 2u);
    int before = -1;
    for (const Json& p : progress) {
        EXPECT_GT(p["percent"].get<int>(), before) << p;
        before = p["percent"];
        EXPECT_EQ(p["word"].get<std::string>().size(), 4u);
    }
    EXPECT_GE(before, 90);
    // Plain mode prints nothing of this.
    EXPECT_EQ(Cli("-P Com1 -d OV128 verify " + file).Out.find('{'), std::string::npos);
}

TEST_F(JsonRun, FailedOperationEndsWithItsRedLine) {
    StartSim({"--adapter-error"});
    const TCliResult r = Cli("-P Com1 -d OV128 read out.bin --json");
    EXPECT_EQ(r.Status, 1);
    const std::vector<Json> events = JsonLines(r.Out);
    ASSERT_FALSE(events.empty());
    const Json& verdict = events.back();
    EXPECT_EQ(verdict["ok"], false);
    EXPECT_EQ(verdict["exit"], 1);
    EXPECT_EQ(verdict["error"], "IC adapter board error!!");
    bool red = false;
    for (const Json& e : OfKind(events, "line"))
        red = red || (e["colour"] == "red" && e["text"] == "IC adapter board error!!");
    EXPECT_TRUE(red) << r.Out;
}

TEST_F(JsonRun, AutoReportsEachChip) {
    // A program with RTIW words at 0010h for the serial number.
    std::string bytes;
    for (int w = 0; w < 1024; ++w) {
        unsigned v = w < 0x40 ? 0x0100 + unsigned(w) * 37 : 0x3FFF;
        if (w >= 0x10 && w < 0x14) v = 0x3100;
        if (w == 1023) v = 0x2800;
        bytes += char(v & 0xFF);
        bytes += char(v >> 8);
    }
    WriteFile(Dir.File("prog.bin"), bytes);
    StartSim({"--fresh-chip", "--image", "chip.img"});
    const TCliResult r = Cli("-P Com1 -d OV128 --option 3AAA --json auto prog.bin --count 3 "
                             "--serial-addr 0010 --serial-bytes 2 --serial-value 00FE");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::vector<Json> events = JsonLines(r.Out);
    const std::vector<Json> chips = OfKind(events, "chip");
    ASSERT_EQ(chips.size(), 3u) << r.Out;
    const char* serials[] = {"00FE", "00FF", "0100"};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(chips[size_t(k)]["chip"], k + 1);
        EXPECT_EQ(chips[size_t(k)]["serial"], serials[k]);
        EXPECT_EQ(chips[size_t(k)]["ok"], true);
        EXPECT_EQ(chips[size_t(k)]["verdict"], "PASS");
        EXPECT_EQ(chips[size_t(k)]["passCount"], std::to_string(k + 1));
    }
    // Every dialog event names its chip, in order, and each chip's data
    // programming shows as progress.
    int chip = 1;
    std::set<int> progressed;
    for (const Json& e : events) {
        if (e["event"] == "chip") ++chip;
        if (e["event"] == "line" || e["event"] == "progress") {
            EXPECT_EQ(e["chip"], chip) << e;
        }
        if (e["event"] == "progress") progressed.insert(chip);
    }
    EXPECT_EQ(progressed, (std::set<int>{1, 2, 3}));
    const Json& verdict = events.back();
    EXPECT_EQ(verdict["event"], "result");
    EXPECT_EQ(verdict["passCount"], "3");
    EXPECT_EQ(verdict["chips"], 3);
    EXPECT_EQ(verdict["failed"], 0);
}

TEST_F(JsonRun, CommandsWithoutADialogPrintOneObject) {
    TCliResult r = Cli("devices --json");
    ASSERT_EQ(r.Status, 0);
    std::vector<Json> events = JsonLines(r.Out);
    ASSERT_EQ(events.size(), 1u);
    ASSERT_EQ(events[0]["devices"].size(), 37u);
    EXPECT_EQ(events[0]["devices"][27], Json({{"name", "OV128"},
                                              {"words", 1024},
                                              {"family", 10},
                                              {"wordBits", 14},
                                              {"tech", "flash"},
                                              {"writerType", 1}}));

    // Options before or after the command read the same.
    r = Cli("--json -d OV128 status --option 1666");
    ASSERT_EQ(r.Status, 0) << r.Err;
    events = JsonLines(r.Out);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["device"], "OV128");
    EXPECT_EQ(events[0]["checksum"].get<std::string>().size(), 4u);
    std::set<std::string> rows;
    for (const Json& row : events[0]["option"])
        rows.insert(row["name"].get<std::string>() + "=" + row["value"].get<std::string>());
    EXPECT_TRUE(rows.count("Security=Enable")) << events[0];
    EXPECT_EQ(Cli("status --option 1666 -d OV128 --json").Out, r.Out);

    StartSim({"--firmware", "UNIV-SIM 2.07"});
    events = JsonLines(Cli("-P Com1 -d OV128 connect --json").Out);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["message"], "Connect OK!");
    EXPECT_EQ(events[0]["exit"], 0);
    // A file warning that lets the command go on is an event of its own
    // (12-bit code for a 14-bit model), and stays on stderr.
    WriteFile(Dir.File("twelve.hex"), ":04000000120C050ACF\n:00000001FF\n");
    r = Cli("--json -d OV117 status twelve.hex");
    EXPECT_EQ(r.Status, 0);
    events = JsonLines(r.Out);
    ASSERT_EQ(events.size(), 2u) << r.Out;
    EXPECT_EQ(events[0]["event"], "message");
    EXPECT_EQ(events[0]["text"].get<std::string>() + "\n", r.Err);
    EXPECT_EQ(events[1]["event"], "result");
}

TEST(CliHelp, EachSubcommandHasItsOwnHelp) {
    const TCliResult all = RunCli("--help");
    ASSERT_EQ(all.Status, 0);
    for (const char* table : {"0  success", "1  the chip failed", "2  usage error", "3  writer not",
                              "4  file error", "--json", "--version"})
        EXPECT_NE(all.Out.find(table), std::string::npos) << table;
    for (const char* cmd : {"devices", "status", "convert", "connect", "about", "doctor", "disasm",
                            "blank-check", "erase", "read", "program", "program-option", "verify",
                            "program-eeprom", "force-write", "program-id", "auto", "qtp"}) {
        SCOPED_TRACE(cmd);
        EXPECT_NE(all.Out.find("\n  " + std::string(cmd) + " "), std::string::npos);
        const TCliResult one = RunCli(std::string(cmd) + " --help");
        EXPECT_EQ(one.Status, 0);
        EXPECT_EQ(one.Out.rfind("usage: orvan-cli [options] " + std::string(cmd), 0), 0u)
            << one.Out;
        EXPECT_EQ(RunCli("-d OV101 " + std::string(cmd) + " -h").Out, one.Out);
    }
    EXPECT_NE(RunCli("auto --help").Out.find("--serial-addr"), std::string::npos);
    EXPECT_NE(RunCli("force-write --help").Out.find("--count"), std::string::npos);
}

} // namespace
} // namespace orvan::test
