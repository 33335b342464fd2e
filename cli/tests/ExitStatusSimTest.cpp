// Each exit status of the table, end to end: the real orvan-cli against the
// real writer-sim. Test stations branch on these numbers.
#include "cli/tests/CliSim.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvan::test {
namespace {

using test::WriteFile;
using Json = nlohmann::json;

struct ExitStatus : CliSim {};

TEST_F(ExitStatus, OkAndChipFailed) {
    StartSim({});
    const std::string file = WriteBin("image.bin", 1024);
    TCliResult r = Cli("-P Com1 -d OV128 program " + file);
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    // The chip now holds it: the blank check fails (on a line in the
    // default colour, which must still count as a failure).
    r = Cli("-P Com1 -d OV128 blank-check");
    EXPECT_EQ(r.Status, 1) << r.Out;
    EXPECT_NE(r.Out.find("Data ....... Not Blank!!"), std::string::npos) << r.Out;

    // No chip in the socket, and a cell that will not take its word.
    for (const char* fault : {"--empty-socket", "--fail-at"}) {
        SCOPED_TRACE(fault);
        if (std::string(fault) == "--fail-at")
            StartSim({fault, "0:10"});
        else
            StartSim({fault});
        r = Cli("-P Com1 -d OV128 program " + file);
        EXPECT_EQ(r.Status, 1) << r.Out;
        r = Cli("--json -P Com1 -d OV128 program " + file);
        const std::vector<Json> events = JsonLines(r.Out);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back()["exit"], 1);
        EXPECT_EQ(events.back()["ok"], false);
    }
}

TEST_F(ExitStatus, UsageErrorsAreOneLineAndExit2) {
    for (const char* args :
         {"status -d OV101 --frobnicate", "", "frobnicate", "-d OV101", "status -d",
          "-P Com1 -d OV128 force-write x.bin --count 0", "status -d OV101 a.bin b.bin",
          "convert -d OV101 only.bin", "qtp -d OV128 x.bin"}) {
        SCOPED_TRACE(args);
        const TCliResult r = Cli(args);
        EXPECT_EQ(r.Status, 2);
        EXPECT_TRUE(r.Out.empty()) << r.Out;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
        EXPECT_EQ(r.Err.rfind("orvan-cli: ", 0), 0u) << r.Err;
    }
    // With --json the same error is the result object on stdout too.
    const TCliResult r = Cli("--json status -d OV101 --frobnicate");
    EXPECT_EQ(r.Status, 2);
    const std::vector<Json> events = JsonLines(r.Out);
    ASSERT_EQ(events.size(), 1u) << r.Out;
    EXPECT_EQ(events[0]["event"], "result");
    EXPECT_EQ(events[0]["exit"], 2);
    EXPECT_NE(events[0]["error"].get<std::string>().find("--frobnicate"), std::string::npos);
}

TEST_F(ExitStatus, WriterNotReachableIs3) {
    // A port that leads nowhere, a plain file, and a writer of the wrong type.
    WriteFile(Dir.File("plain"), "x");
    WriteFile(Dir.File("ports.map"),
              "Com5 /nonexistent/tty nocts\nCom6 " + Dir.File("plain") + " nocts\n");
    for (const char* args : {"-P Com5 -d OV128 connect", "-P Com5 -d OV128 blank-check",
                             "-P Com6 -d OV128 read out.bin"}) {
        SCOPED_TRACE(args);
        const TCliResult r = Cli(args);
        EXPECT_EQ(r.Status, 3);
        EXPECT_NE(r.Out.find("Port Error!!"), std::string::npos) << r.Out;
    }
    const TCliResult j = Cli("-P Com5 -d OV128 connect --json");
    EXPECT_EQ(j.Status, 3);
    const std::vector<Json> events = JsonLines(j.Out);
    ASSERT_EQ(events.size(), 1u) << j.Out;
    EXPECT_EQ(events[0]["exit"], 3);
    EXPECT_EQ(events[0]["error"].get<std::string>().rfind("Open  COM5 Port Error!!", 0), 0u);
    EXPECT_NE(j.Err.find("Port Error!!"), std::string::npos); // stderr as well

    // A writer of the wrong type, for the poll and for the operations that
    // begin with it.
    StartSim({"--type", "2"});
    WriteBin("image.bin", 1024);
    for (const char* args : {"connect", "blank-check", "program-id image.bin"}) {
        SCOPED_TRACE(args);
        const TCliResult r = Cli(std::string("-P Com1 -d OV128 ") + args);
        EXPECT_EQ(r.Status, 3) << r.Out;
    }
    const std::vector<Json> wrong = JsonLines(Cli("--json -P Com1 -d OV128 verify image.bin").Out);
    ASSERT_FALSE(wrong.empty());
    EXPECT_EQ(wrong.back()["exit"], 3);
    EXPECT_EQ(wrong.back()["error"], "Writer type is error!");
    // A silent writer has no firmware to tell.
    StartSim({"--silent"});
    TCliResult about = Cli("-P Com1 -d OV128 about");
    EXPECT_EQ(about.Status, 3);
    EXPECT_EQ(about.Out, "Unknown\n");
    // A reply the host does not know, in the middle of an operation.
    StartSim({"--bad-reply", "11:42"});
    EXPECT_EQ(Cli("-P Com1 -d OV128 program-option --option 266A").Status, 3);
    EXPECT_FALSE(std::filesystem::exists(Dir.File("out.bin")));
}

TEST_F(ExitStatus, FileErrorsAre4) {
    WriteFile(Dir.File("short.bin"), std::string(2047, '\0'));
    WriteFile(Dir.File("notes.txt"), "x");
    std::filesystem::create_directory(Dir.File("folder.bin"));
    for (const char* args :
         {"status -d OV128 missing.bin", "status -d OV128 short.bin", "status -d OV128 notes.txt",
          "convert -d OV128 folder.bin out.bin", "status --cfg none.cfg"}) {
        SCOPED_TRACE(args);
        const TCliResult r = Cli(args);
        EXPECT_EQ(r.Status, 4);
        EXPECT_FALSE(r.Err.empty());
    }
    // Files a chip operation reads or writes: the writer is never asked.
    StartSim({});
    WriteFile(Dir.File("big.ee"), std::string(129, 'e'));
    EXPECT_EQ(Cli("-P Com1 -d OV128 program missing.bin").Status, 4);
    EXPECT_EQ(Cli("-P Com1 -d OV128 program-eeprom big.ee").Status, 4);
    // The chip read well, but OUT cannot be written.
    const TCliResult r = Cli("-P Com1 -d OV128 read no/such/dir/out.bin");
    EXPECT_EQ(r.Status, 4) << r.Out;
    EXPECT_NE(r.Out.find("Read Data OK"), std::string::npos) << r.Out;
}

// A QTP record that cannot be read ends production as a file error, even
// after a chip that passed.
TEST_F(ExitStatus, DamagedQtpRecordIs4) {
    WriteFile(Dir.File("prog.bin"), RtiwProgramBin("OV128", 0x10, 1, 0x0100, 37));
    ASSERT_EQ(Cli("-d OV128 qtp prog.bin -o parts.txt --serial-addr 10 --serial-bytes 1 "
                  "--serial-value 1 --parts 3")
                  .Status,
              0);
    std::string qtp = test::ReadFile(Dir.File("parts.txt"));
    const size_t second = qtp.find(":020010000231BB");
    ASSERT_NE(second, std::string::npos) << qtp;
    qtp.replace(second, 15, ":020010000231BC");
    WriteFile(Dir.File("parts.txt"), qtp);
    StartSim({"--fresh-chip", "--image", "chip.img"});
    const std::string run =
        "-P Com1 -d OV128 --option 3AAA auto prog.bin --qtp parts.txt --count 3";
    const TCliResult r = Cli(run);
    EXPECT_EQ(r.Status, 4) << r.Out;
    EXPECT_NE(r.Out.find("chip 1 serial 01 PASS\nFile Checksum Error!\n"), std::string::npos)
        << r.Out;
    EXPECT_EQ(r.Out.find("chip 2"), std::string::npos) << r.Out;
    // The next run finds no record it can read left.
    const std::vector<Json> events = JsonLines(Cli("--json " + run).Out);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back()["exit"], 4);
}

// Ctrl+C in the middle of auto program: the chip's run stops between two
// bytes and the command ends in order, the pass count printed, with 130.
TEST_F(ExitStatus, InterruptedAutoEndsInOrder) {
    StartSim({"--delay", "3", "--fresh-chip", "--image", "chip.img"});
    const std::string file = WriteBin("image.bin", 1024);
    TChildProcess cli(
        Dir.Path(), ORVAN_CLI_PATH,
        {"-P", "Com1", "-d", "OV128", "--option", "3AAA", "auto", file, "--count", "5"},
        TChildProcess::TOutput::StdoutPipe);
    ASSERT_TRUE(cli.Started());
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    cli.Signal(SIGINT);
    const std::string text = cli.ReadAll();
    const int status = cli.Wait();
    ASSERT_GE(status, 0) << "ended by a signal";
    EXPECT_EQ(status, 130);
    EXPECT_NE(text.find("Pass Count : 0\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("chip 2"), std::string::npos) << text;
}

TEST(CliVersion, FirstLineIsTheProductVersion) {
    const TCliResult r = RunCli("--version");
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "orvan-cli " + std::string(ProductVersion).substr(1) + "\n");
    EXPECT_EQ(r.Out.rfind("orvan-cli 2.43", 0), 0u);
    EXPECT_EQ(RunCli("devices --version").Out, r.Out);
}

} // namespace
} // namespace orvan::test
