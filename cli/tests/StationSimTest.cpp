// Files as a station uses them, end to end: the real orvan-cli against the
// real writer-sim. OUT by its type or on stdout, Intel HEX from stdin, what
// read keeps, verify with the ID and an EEPROM image, and the README's
// station script.
#include "cli/tests/CliSim.h"
#include "testlib/Files.h"
#include "testlib/Process.h"

#include <algorithm>

namespace orvan::test {
namespace {

using Json = nlohmann::json;

struct StationFiles : CliSim {
    // The chip holds a program of every word of the model.
    void Program() {
        StartSim({});
        WriteBin("prog.bin", 1024);
        const TCliResult r = Cli("-P Com1 -d OV128 program prog.bin");
        ASSERT_EQ(r.Status, 0) << r.Out << r.Err;
    }
    std::string Content(const std::string& name) const { return ReadFile(Dir.File(name)); }
};

TEST_F(StationFiles, OutByItsTypeAndStandardStreamsGiveTheSameImage) {
    ASSERT_NO_FATAL_FAILURE(Program());
    for (const char* args :
         {"-P Com1 read chip.hex", "-P Com1 read direct.bin", "convert chip.hex back.bin"}) {
        const TCliResult r = Cli(std::string("-d OV128 ") + args);
        ASSERT_EQ(r.Status, 0) << args << "\n" << r.Out << r.Err;
    }
    EXPECT_EQ(Content("chip.hex").rfind(":10000000", 0), 0u);
    EXPECT_EQ(Content("back.bin"), Content("direct.bin"));
    EXPECT_EQ(Content("direct.bin"), Content("prog.bin"));

    // stdout holds the BIN alone; the dialog's lines go to stderr.
    const TCliResult out = Cli("-P Com1 -d OV128 read -");
    EXPECT_EQ(out.Status, 0);
    EXPECT_EQ(out.Out, Content("direct.bin"));
    EXPECT_NE(out.Err.find("Read Data OK\n"), std::string::npos) << out.Err;
    const TCliResult piped = Cli("-d OV128 convert - - < chip.hex");
    EXPECT_EQ(piped.Status, 0) << piped.Err;
    EXPECT_EQ(piped.Out, Content("direct.bin"));
    // A BIN on stdin cannot be told from anything else.
    const TCliResult bin = Cli("-d OV128 convert - x.bin < direct.bin");
    EXPECT_EQ(bin.Status, 2);
    EXPECT_NE(bin.Err.find("Intel HEX"), std::string::npos) << bin.Err;

    // --json: the checksum the status panel shows for the image read.
    const std::vector<Json> events = JsonLines(Cli("--json -P Com1 -d OV128 read chip.ohx").Out);
    ASSERT_FALSE(events.empty());
    const std::string panel = Cli("status -d OV128 direct.bin").Out;
    EXPECT_NE(panel.find("Checksum: " + events.back()["checksum"].get<std::string>() + "\n"),
              std::string::npos)
        << panel;
    EXPECT_EQ(events.back()["option"], "3FFF");
}

TEST_F(StationFiles, VerifyTakesTheIdAndTheEepromAfterProduction) {
    ASSERT_NO_FATAL_FAILURE(Program());
    std::string ee;
    for (int k = 0; k < 100; ++k)
        ee += char(k * 7);
    WriteFile(Dir.File("ee.bin"), ee);
    for (const char* step : {"program-id prog.bin --id \"LINE-7 A\"", "program-eeprom ee.bin"})
        ASSERT_EQ(Cli(std::string("-P Com1 -d OV128 ") + step).Status, 0) << step;

    const char* Note = "EEPROM compared with a blank buffer";
    const struct {
        const char* Args;
        int Status;
        const char* Line;
        bool Noted;
    } cases[] = {
        {"--id \"LINE-7 A\" --eeprom ee.bin", 0, "EEPROM Data Verify OK!!", false},
        {"--id-hex \"4C 49 4E 45 2D 37 20 41\" --eeprom ee.bin", 0, "ID & Checksum verify OK!!",
         false},
        {"--id \"LINE-7 B\" --eeprom ee.bin", 1, "ERROR: ID verify fail!!", false},
        {"--id \"LINE-7 A\"", 1, "EEPROM Data Verify error at 0001H", true},
    };
    for (const auto& c : cases) {
        const TCliResult r = Cli(std::string("-P Com1 -d OV128 verify prog.bin ") + c.Args);
        EXPECT_EQ(r.Status, c.Status) << c.Args << "\n" << r.Out;
        EXPECT_NE(r.Out.find(std::string(c.Line) + "\n"), std::string::npos) << r.Out;
        size_t notes = 0;
        for (size_t at = r.Err.find(Note); at != std::string::npos; at = r.Err.find(Note, at + 1))
            ++notes;
        EXPECT_EQ(notes, c.Noted ? 1u : 0u) << c.Args << "\n" << r.Err;
    }

    // What read keeps is enough to verify the chip again.
    ASSERT_EQ(Cli("-P Com1 -d OV128 read chip.hex --eeprom-out chip.ee --save-cfg chip.cfg").Status,
              0);
    EXPECT_EQ(Content("chip.ee").substr(0, ee.size()), ee);
    const TCliResult again = Cli("-P Com1 --cfg chip.cfg verify chip.hex --eeprom chip.ee");
    EXPECT_EQ(again.Status, 0) << again.Out << again.Err;
}

// The README's station script, so that it cannot drift from orvan-cli.
TEST_F(StationFiles, TheStationScriptRunsAndStopsAtTheFailingStep) {
    WriteBin("prog.bin", 1024);
    WriteFile(Dir.File("ee.bin"), std::string(64, '\x5A'));
    const struct {
        std::vector<std::string> Sim; // empty: no writer on the line
        int Status;
        const char* Said;
    } cases[] = {
        {{"--model", "OV128"}, 0, "PASS chip.hex"},
        {{"--model", "OV128", "--empty-socket"}, 1, "program: the chip failed"},
        {{}, 3, "connect: the writer is not reachable"},
    };
    for (const auto& c : cases) {
        if (c.Sim.empty()) {
            Sim.reset();
            WriteFile(Dir.File("ports.map"), "Com1 /nonexistent/tty nocts\n");
        } else {
            TSimTest::StartSim(c.Sim);
        }
        const TRunResult r =
            test::Run(Dir.Path(), "/usr/bin/env",
                      {"ORVAN_CLI=" + std::string(ORVAN_CLI_PATH), "bash", STATION_SCRIPT, "Com1",
                       "OV128", "prog.bin", "ee.bin", "LINE-7 A", "chip.hex"});
        EXPECT_EQ(r.Status, c.Status) << r.Out;
        EXPECT_NE(r.Out.find(c.Said), std::string::npos) << r.Out;
    }
    EXPECT_EQ(Cli("-d OV128 convert chip.hex - ").Out, Content("prog.bin"));
    EXPECT_NE(ReadFile(README_PATH).find("```bash\n" + ReadFile(STATION_SCRIPT) + "```\n"),
              std::string::npos)
        << "README.md's copy of the station script differs from the file";
}

} // namespace
} // namespace orvan::test
