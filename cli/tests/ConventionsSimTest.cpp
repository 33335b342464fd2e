// -q, -v and the progress of a run against the real writer-sim.
#include "cli/tests/CliSim.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"

namespace orvan::test {
namespace {

using Json = nlohmann::json;

struct Conventions : CliSim {
    void SetUp() override {
        WriteFile(Dir.File("prog.bin"), RtiwProgramBin("OV128", 0x10, 2, 0x0100, 37));
    }
};

TEST_F(Conventions, QuietAndVerbose) {
    StartSim({"--fresh-chip", "--image", "chip.img"});
    const TCliResult normal = Cli("-P Com1 -d OV128 program prog.bin");
    ASSERT_EQ(normal.Status, 0) << normal.Out;
    const struct {
        const char* Args;
        int Exit;
        const char* Out; // all of it; null: see below
    } cases[] = {
        {"-q -P Com1 -d OV128 program prog.bin", 0, ""},
        {"-q -P Com1 -d OV128 blank-check", 1, "ERROR: Data ....... Not Blank!!\n"},
        {"-q -P Com1 -d OV128 --option 3AAA auto prog.bin", 0, "Passes 1, fails 0, yield 100.0%\n"},
        {"-q -P Com1 -d OV128 program-id prog.bin --id A", 0, ""},
        {"-q -P Com1 -d OV128 connect", 0, "Connect OK!\n"},
        {"-v -P Com1 -d OV128 program prog.bin", 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args);
        const TCliResult r = Cli(c.Args);
        EXPECT_EQ(r.Status, c.Exit) << r.Out << r.Err;
        if (c.Out) {
            EXPECT_EQ(r.Out, c.Out);
            continue;
        }
        // Every address as programming reaches it, then the final lines.
        EXPECT_NE(r.Out.find("Program memory\nProgram.....\n0000\n0010\n0020\n"), std::string::npos)
            << r.Out;
        EXPECT_NE(r.Out.find("Program Ok!!\nData verify OK!!\n"), std::string::npos) << r.Out;
    }
}

TEST_F(Conventions, ProgressEndsAt100) {
    StartSim({"--fresh-chip", "--image", "chip.img"});
    for (const char* run : {"program prog.bin", "read back.bin", "--option 3AAA auto prog.bin",
                            "force-write prog.bin --count 2"}) {
        SCOPED_TRACE(run);
        const TCliResult r = Cli(std::string("--json -P Com1 -d OV128 ") + run);
        EXPECT_EQ(r.Status, 0) << r.Out;
        Json last;
        for (const Json& e : JsonLines(r.Out))
            if (e["event"] == "progress") last = e;
        EXPECT_EQ(last["percent"], 100) << r.Out;
    }
}

} // namespace
} // namespace orvan::test
