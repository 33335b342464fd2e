// orvan-cli's chip operations against writer-sim over a pseudo-terminal:
// full program-verify-read cycles, protect mode, an OTP cell that cannot
// go back to 1, injected faults, and a run stopped in the middle.
#include "testlib/Files.h"
#include "testlib/SimTest.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvan::sim::test {
using namespace orvan::test;
namespace {

struct Ops : TSimTest {
    void StartSim(const std::string& model, std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--model", model});
        TSimTest::StartSim(args);
    }
    TRunResult Cli(const std::string& model, std::vector<std::string> args) {
        args.insert(args.begin(), {"-P", "Com1", "-d", model});
        return test::Run(Dir.Path(), ORVAN_CLI, args);
    }
    // A BIN image of `words` words (little-endian 14-bit values).
    std::string WriteBin(const std::string& name, int words, unsigned seed) {
        std::string bytes;
        for (int k = 0; k < words; ++k) {
            const unsigned w = (unsigned(k) * 2654435761u + seed) >> 7 & 0x3FFF;
            bytes += char(w & 0xFF);
            bytes += char(w >> 8);
        }
        WriteFile(Dir.File(name), bytes);
        return name;
    }
    // The checksum the status panel shows for FILE (and OPTION).
    std::string ChecksumOf(const std::string& model, const std::string& file,
                           const std::string& option = "") {
        std::vector<std::string> args = {"-d", model, "status", file};
        if (!option.empty()) args.insert(args.end(), {"--option", option});
        const TRunResult r = test::Run(Dir.Path(), ORVAN_CLI, args);
        const auto at = r.Out.find("Checksum: ");
        if (at == std::string::npos) return "";
        return r.Out.substr(at + 10, 4);
    }
    // A chip image whose ID area carries `sum` as a programmed ID would.
    void WriteChip(const std::string& model, const std::string& sum,
                   const std::string& extra = "") {
        auto word = [](char a, char b) {
            char t[8];
            std::snprintf(t, sizeof t, "%04X", unsigned(a) + unsigned(b) * 128u);
            return std::string(t);
        };
        std::string id = "id";
        for (int k = 0; k < 6; ++k)
            id += " 3FFF";
        id += " " + word(sum[0], sum[1]) + " " + word(sum[2], sum[3]);
        for (int k = 8; k < 16; ++k)
            id += " 3FFF";
        WriteFile(Dir.File("chip.txt"), "model " + model + "\n" + id + "\n" + extra);
    }
};

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\n";
    return s;
}

void Cycle(Ops& t, const std::string& model, int words) {
    const std::string file = t.WriteBin("image.bin", words, 17);
    const std::string sum = t.ChecksumOf(model, file);
    ASSERT_EQ(sum.size(), 4u);
    t.WriteChip(model, sum);
    t.StartSim(model, {"--image", "chip.txt"});
    const bool flash = model == "OV128";

    if (flash) {
        // The simulated EEPROM starts erased (FF); the workspace's is 00.
        WriteFile(t.Dir.File("ee.bin"), std::string(128, '\0'));
        TRunResult ee = t.Cli(model, {"program-eeprom", "ee.bin"});
        EXPECT_EQ(ee.Out,
                  Lines({"Program EEPROM", "EEPROM Program Ok!!", "EEPROM Data Verify OK!!"}));
        EXPECT_EQ(ee.Status, 0);
    }
    TRunResult p = t.Cli(model, {"program", file});
    EXPECT_EQ(p.Out, Lines({"Program memory", "Program Ok!!", "Data verify OK!!"}));
    EXPECT_EQ(p.Status, 0);

    // The EEPROM programmed above is the one to compare with.
    std::vector<std::string> verify = {"verify", file};
    if (flash) verify.insert(verify.end(), {"--eeprom", "ee.bin"});
    TRunResult v = t.Cli(model, verify);
    std::string expect =
        Lines({"Verify", "OPTION verify OK!!", "ID & Checksum verify OK!!", "Data verify OK!!"});
    if (flash) expect += "EEPROM Data Verify OK!!\n";
    EXPECT_EQ(v.Out, expect);
    EXPECT_EQ(v.Status, 0);

    TRunResult r = t.Cli(model, {"read", "back.bin"});
    expect = Lines({"Read", "Read OPTION OK!", "Read ID and Checksum OK!", "Read Data OK"});
    if (flash) expect += "Read EEPROM OK!\n";
    EXPECT_EQ(r.Out, expect);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(ReadFile(t.Dir.File("back.bin")), ReadFile(t.Dir.File(file)));
}

TEST_F(Ops, ProgramVerifyReadOtp) {
    Cycle(*this, "OV101", 512);
}

TEST_F(Ops, ProgramVerifyReadFlash) {
    Cycle(*this, "OV128", 1024);
}

TEST_F(Ops, ProgramVerifyReadLargestModel) {
    Cycle(*this, "OV132", 6144);
}

TEST_F(Ops, VerifyWithProtect) {
    const std::string file = WriteBin("image.bin", 512, 3);
    // 19A9: every OPTION field valid, bit 13 clear (the chip protected).
    const std::string sum = ChecksumOf("OV101", file, "19A9");
    WriteChip("OV101", sum);
    StartSim("OV101", {"--image", "chip.txt"});
    ASSERT_EQ(Cli("OV101", {"program", file}).Status, 0);
    TRunResult o = Cli("OV101", {"program-option", "--option", "19A9"});
    ASSERT_EQ(o.Out, Lines({"OPTION", "OPTION program & verify OK!!"}));
    TRunResult v = Cli("OV101", {"verify", file, "--protect", "--option", "19A9"});
    EXPECT_EQ(v.Out, Lines({"Verify with Protect", "OPTION verify OK!!",
                            "ID & Checksum verify OK!!", "Data verify OK!!"}));
    EXPECT_EQ(v.Status, 0);
    // The plain verify sees the chip's masked words.
    v = Cli("OV101", {"verify", file, "--option", "19A9"});
    EXPECT_NE(v.Out.find("Data Verify error at 0000H\n"), std::string::npos) << v.Out;
    EXPECT_EQ(v.Status, 1);

    // A chip whose protection bit is still 1.
    StartSim("OV101");
    v = Cli("OV101", {"verify", file, "--protect"});
    EXPECT_EQ(v.Out,
              Lines({"Verify with Protect", "OPTION verify OK!!", "ERROR: IC no protected!!"}));
    EXPECT_EQ(v.Status, 1);
}

TEST_F(Ops, OtpCellRefusesAOneOverAZero) {
    WriteFile(Dir.File("chip.txt"), "model OV101\nprogram 0003 0000\n");
    StartSim("OV101", {"--image", "chip.txt"});
    const std::string file = WriteBin("image.bin", 512, 99);
    TRunResult p = Cli("OV101", {"program", file});
    EXPECT_EQ(p.Out, Lines({"Program memory", "ERROR: Programming fail !!", "0003"}));
    EXPECT_EQ(p.Status, 1);
}

TEST_F(Ops, ProgramOptionAndBlankCheck) {
    StartSim("OV128");
    TRunResult b = Cli("OV128", {"blank-check"});
    EXPECT_EQ(b.Out, Lines({"Blank Check", "OPTION ....... OK", "ID Checksum ......... OK.",
                            "Data ......... OK."}));
    EXPECT_EQ(b.Status, 0);
    TRunResult o = Cli("OV128", {"program-option", "--option", "266A"});
    EXPECT_EQ(o.Out, Lines({"OPTION", "OPTION program & verify OK!!"}));
    EXPECT_EQ(o.Status, 0);
    b = Cli("OV128", {"blank-check"});
    EXPECT_EQ(b.Out, Lines({"Blank Check", "OPTION ....... Not Blank!!"}));
    EXPECT_EQ(b.Status, 1);
    b = Cli("OV128", {"erase"});
    EXPECT_EQ(b.Out, Lines({"Erase Flash Memory", "Erase End", "OPTION ....... OK",
                            "ID Checksum ......... OK.", "Data ......... OK."}));
    EXPECT_EQ(b.Status, 0);
    EXPECT_EQ(Cli("OV101", {"erase"}).Status, 2); // no erase on an OTP model
}

TEST_F(Ops, ResetWordCheckAndForceWrite) {
    // OV128's reset word is word 0; blank there is refused without --yes.
    std::string bytes(2048, '\0');
    bytes[0] = char(0xFF);
    bytes[1] = char(0x3F);
    WriteFile(Dir.File("noreset.bin"), bytes);
    StartSim("OV128");
    TRunResult p = Cli("OV128", {"program", "noreset.bin"});
    EXPECT_NE(p.Out.find("ERROR: Reset address (0000h) is blank!!\n"), std::string::npos) << p.Out;
    EXPECT_EQ(p.Out.find("Program memory"), std::string::npos); // the writer was not touched
    EXPECT_EQ(p.Status, 2);
    p = Cli("OV128", {"program", "noreset.bin", "--yes"});
    EXPECT_EQ(p.Status, 0) << p.Out;

    TRunResult f = Cli("OV128", {"force-write", "noreset.bin", "--count", "2"});
    EXPECT_EQ(f.Out, Lines({"Run 1", "Program Memory Without Check", "Program memory Ok!!",
                            "Data verify OK!!", "Run 2", "Program Memory Without Check",
                            "Program memory Ok!!", "Data verify OK!!", "Pass Count : 2"}));
    EXPECT_EQ(f.Status, 0);
}

TEST_F(Ops, InjectedFaultsEndInTheirLines) {
    struct TCase {
        std::vector<std::string> Sim;
        std::vector<std::string> Cmd;
        const char* Expect;
        int Status = 1; // 3: the writer failed, not the chip
    };
    const std::string file = WriteBin("image.bin", 1024, 5);
    const TCase cases[] = {
        {{"--empty-socket"}, {"program", file}, "ERROR: Nothing in socket or type error!!\n"},
        {{"--adapter-error"}, {"read", "out.bin"}, "ERROR: IC adapter board error!!\n"},
        {{"--fail-at", "0:100"}, {"program", file}, "ERROR: Programming fail !!\n0032\n"},
        {{"--bad-reply", "11:42"},
         {"program-option", "--option", "266A"},
         "ERROR: Writer Error!!\n",
         3},
        {{"--silent-from", "40"}, {"read", "out.bin"}, "ERROR: Connect Timeout!! (6)\n", 3},
        {{"--drop-at", "300"}, {"force-write", file}, "ERROR: Connect Timeout!!\n", 3},
        {{"--fail-at", "3:9"}, {"program-eeprom", "image.bin"}, ""},
    };
    WriteFile(Dir.File("ee.bin"), std::string(100, 'e'));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Sim[0]);
        StartSim("OV128", c.Sim);
        std::vector<std::string> cmd = c.Cmd;
        if (cmd[0] == "program-eeprom") cmd[1] = "ee.bin";
        const TRunResult r = Cli("OV128", cmd);
        if (cmd[0] == "program-eeprom")
            EXPECT_NE(r.Out.find("ERROR: EEPROM program fail at 0004H\n"), std::string::npos)
                << r.Out;
        else
            EXPECT_NE(r.Out.find(c.Expect), std::string::npos) << r.Out;
        EXPECT_EQ(r.Status, c.Status);
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out.bin")));
}

TEST_F(Ops, StoppedRunLeavesTheWriterReadyForTheNext) {
    // Every reply 3 ms late: the program run takes several seconds.
    WriteFile(Dir.File("control"), "delay 3\n");
    StartSim("OV101", {"--control", "control"});
    const std::string file = WriteBin("image.bin", 512, 7);

    TChildProcess cli(Dir.Path(), ORVAN_CLI, {"-P", "Com1", "-d", "OV101", "program", file},
                      TChildProcess::TOutput::StdoutPipe);
    ASSERT_TRUE(cli.Started());
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    cli.Signal(SIGINT);
    const std::string text = cli.ReadAll();
    const int status = cli.Wait();
    ASSERT_GE(status, 0) << "ended by a signal";
    EXPECT_EQ(status, 130); // 128 + SIGINT
    EXPECT_NE(text.find("ERROR: Stopped\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Program Ok!!"), std::string::npos) << text;

    WriteFile(Dir.File("control"), "\n");
    const TRunResult p = Cli("OV101", {"program", file});
    EXPECT_EQ(p.Out, Lines({"Program memory", "Program Ok!!", "Data verify OK!!"}));
    EXPECT_EQ(p.Status, 0);
}

} // namespace
} // namespace orvan::sim::test
