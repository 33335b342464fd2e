// What a test station relies on between runs, end to end (the real orvan-cli
// against the real writer-sim): auto stops at a writer fault and refuses at
// once what would fail every chip, a run right after a killed or stopped
// one finds the writer ready, and a failure always names its line.
#include "cli/tests/CliSim.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"

#include <filesystem>

namespace orvan::test {
namespace {

using Json = nlohmann::json;

struct Station : CliSim {
    // The production program: RTIW words at 0010h for two serial bytes.
    void SetUp() override {
        WriteFile(Dir.File("prog.bin"), RtiwProgramBin("OV128", 0x10, 2, 0x0100, 37));
    }
    Json ResultOf(const std::string& args) const {
        const TCliResult r = Cli("--json " + args);
        const std::vector<Json> events = JsonLines(r.Out);
        return events.empty() ? Json::object() : events.back();
    }
};

// A line that goes away ends production after the chip that met it, a
// writer that stops answering after the second chip it failed, whatever
// the count asked for.
TEST_F(Station, AutoStopsAtAWriterFault) {
    const struct {
        std::vector<std::string> Fault;
        int Chips;
    } cases[] = {{{"--drop-at", "200"}, 1}, {{"--silent"}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Fault[0]);
        StartSim(c.Fault);
        const Json r = ResultOf("-P Com1 -d OV128 --option 3AAA auto prog.bin --count 1000");
        EXPECT_EQ(r["exit"], 3) << r;
        EXPECT_EQ(r["chips"], c.Chips) << r;
    }
}

// Settings that would fail every chip are refused before the first one.
TEST_F(Station, AutoRefusesBeforeTheFirstChip) {
    std::string blank;
    for (int k = 0; k < 1024; ++k)
        blank += "\xFF\x3F";
    WriteFile(Dir.File("blank.bin"), blank);
    StartSim({"--fresh-chip", "--image", "chip.img"});
    const struct {
        const char* Args;
        int Exit;
        const char* Says;
    } cases[] = {
        {"-P Com1 -d OV128 auto prog.bin --count 5", 2, "Some Options are Blank!"},
        {"-P Com1 -d OV128 --option 3AAA auto blank.bin --yes", 2, "blank"},
        {"-P Com1 -d OV128 --option 3AAA auto prog.bin --serial-addr 0012 --serial-bytes 2 "
         "--serial-value 1",
         2, "RTIW"},
        {"-P Com1 -d OV128 --option 3AAA auto prog.bin --qtp none.qtp", 4, "none.qtp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TCliResult r = Cli(c.Args);
        EXPECT_EQ(r.Status, c.Exit) << r.Out << r.Err;
        EXPECT_NE((r.Out + r.Err).find(c.Says), std::string::npos) << r.Out << r.Err;
        EXPECT_EQ(r.Out.find("chip 1"), std::string::npos) << r.Out;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.File("chip.img.1"))) << "a chip was used";
}

// A station killed in the middle of a block: the writer is still inside it,
// and the next run waits for it to drop the block.
TEST_F(Station, RunRightAfterAKilledOneWorks) {
    StartSim({});
    const std::string file = WriteBin("image.bin", 1024);
    for (const char* next : {"connect", "program image.bin"}) {
        SCOPED_TRACE(next);
        TChildProcess killed(Dir.Path(), ORVAN_CLI_PATH,
                             {"-P", "Com1", "-d", "OV128", "--json", "program", file},
                             TChildProcess::TOutput::StdoutPipe);
        std::string line;
        bool midBlock = false;
        while (!midBlock && killed.ReadLine(line, 10000))
            midBlock = line.find("\"progress\"") != std::string::npos &&
                       line.find("\"word\":\"0000\"") == std::string::npos;
        ASSERT_TRUE(midBlock) << killed.Text();
        killed.Kill();
        const TCliResult r = Cli(std::string("-P Com1 -d OV128 ") + next);
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    }
}

// A run whose reader went away (`| head -n 1`) stops between two bytes and
// lets the writer drop its block before it exits: the next run works.
TEST_F(Station, RunStoppedByAClosedPipeLeavesTheWriterReady) {
    StartSim({"--fresh-chip", "--image", "chip.img"});
    WriteBin("image.bin", 1024);
    for (const char* run : {"program image.bin", "program-id prog.bin --id A",
                            "--option 3AAA auto prog.bin --count 3"}) {
        SCOPED_TRACE(run);
        const TCliResult stopped =
            RunCli(std::string("--json -P Com1 -d OV128 ") + run, Dir.Path(), "head -n 1");
        EXPECT_EQ(stopped.Status, 141) << stopped.Err;
        EXPECT_EQ(JsonLines(stopped.Out).size(), 1u);
        const TCliResult r = Cli("-P Com1 -d OV128 connect");
        EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    }
}

// program-id's failed lines read as every chip command's do, and a
// failure shown in the default colour is still the result's error.
TEST_F(Station, FailuresNameTheirLine) {
    StartSim({"--empty-socket"});
    TCliResult r = Cli("-P Com1 -d OV128 program-id prog.bin --id A");
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_NE(r.Out.find("\nERROR: Nothing in socket or type error!!\n"), std::string::npos)
        << r.Out;
    Json j = ResultOf("-P Com1 -d OV128 program-id prog.bin --id A");
    EXPECT_EQ(j["error"], "Nothing in socket or type error!!") << j;

    // A programmed chip is not blank: said in the default colour.
    StartSim({});
    ASSERT_EQ(Cli("-P Com1 -d OV128 program prog.bin").Status, 0);
    j = ResultOf("-P Com1 -d OV128 blank-check");
    EXPECT_EQ(j["exit"], 1) << j;
    EXPECT_EQ(j["error"], "Data ....... Not Blank!!") << j;
}

} // namespace
} // namespace orvan::test
