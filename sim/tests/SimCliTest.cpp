// orvan-cli connect and about against writer-sim, each in a working
// directory of its own with its own ports.map.
#include "testlib/Files.h"
#include "testlib/SimTest.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace orvan::sim::test {
using namespace orvan::test;
namespace {

struct Cli : TSimTest {
    TRunResult Cmd(std::vector<std::string> args) { return test::Run(Dir.Path(), ORVAN_CLI, args); }
};

TEST_F(Cli, ConnectOk) {
    StartSim({"--type", "universal"});
    const TRunResult r = Cmd({"-P", "Com1", "-d", "OV101", "connect"});
    EXPECT_EQ(r.Out, "Connect OK!\n");
    EXPECT_EQ(r.Status, 0);
    // A type-1 writer serves a type-1 model.
    StartSim({"--type", "1"}, "com4");
    const TRunResult t1 = Cmd({"-P", "COM4", "-d", "OV101", "connect"});
    EXPECT_EQ(t1.Out, "Connect OK!\n");
}

// The map is shared with the operator's lines and other simulators: a
// simulator puts its own line in and takes it out again when it ends.
TEST_F(Cli, ThePortsMapKeepsOtherLines) {
    const std::string mine = "# bench\nCom2 /dev/ttyUSB0\ncom1 /dev/ttyS9\n";
    WriteFile(Dir.File("ports.map"), mine);
    StartSim({});
    const std::string during = ReadFile(Dir.File("ports.map"));
    EXPECT_EQ(during.rfind(mine.substr(0, mine.find("com1")), 0), 0u) << during;
    EXPECT_EQ(during.find("/dev/ttyS9"), std::string::npos) << during; // replaced
    EXPECT_EQ(Cmd({"-P", "Com1", "-d", "OV101", "connect"}).Status, 0);
    Sim.reset();
    EXPECT_EQ(ReadFile(Dir.File("ports.map")), "# bench\nCom2 /dev/ttyUSB0\n");
    // A map the simulator made goes with it.
    std::filesystem::remove(Dir.File("ports.map"));
    StartSim({});
    Sim.reset();
    EXPECT_FALSE(std::filesystem::exists(Dir.File("ports.map")));
}

TEST_F(Cli, ConnectThroughASymlink) {
    Sim = std::make_unique<TSimProcess>(Dir.Path(), std::vector<std::string>{"--link", "writer"});
    ASSERT_TRUE(Sim->Started());
    WriteFile(Dir.File("ports.map"),
              "# a fixed name for the line\nCom2 " + Dir.File("writer") + " nocts\n");
    EXPECT_EQ(Cmd({"-P", "Com2", "-d", "OV128", "connect"}).Out, "Connect OK!\n");
    EXPECT_EQ(Sim->Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Dir.File("writer"))));
}

TEST_F(Cli, ConnectFailForTheWrongWriterType) {
    StartSim({"--type", "2"});
    const TRunResult r = Cmd({"-P", "Com1", "-d", "OV128", "connect"}); // OV128 needs type 1
    EXPECT_EQ(r.Out, "Connect Fail!\n");
    EXPECT_EQ(r.Status, 3);
    StartSim({"--bad-reply", "0:42"}, "Com2");
    EXPECT_EQ(Cmd({"-P", "Com2", "-d", "OV128", "connect"}).Out, "Connect Fail!\n");
}

TEST_F(Cli, ConnectTimeoutWhenTheWriterIsSilent) {
    StartSim({"--silent"}, "Com3");
    const TRunResult r = Cmd({"-P", "Com3", "-d", "OV128", "connect"});
    EXPECT_EQ(r.Out, "Connect COM3 Timeout!!\n");
    EXPECT_EQ(r.Status, 3);
}

TEST_F(Cli, PortErrorsAndUsage) {
    WriteFile(Dir.File("ports.map"), "Com5 /nonexistent/tty nocts\n");
    TRunResult r = Cmd({"-P", "Com5", "-d", "OV128", "connect"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "Open  COM5 Port Error!!");
    EXPECT_NE(r.Out.find("no such device"), std::string::npos) << r.Out;

    // A plain file is no serial line.
    WriteFile(Dir.File("plain"), "x");
    WriteFile(Dir.File("ports.map"), "Com6 " + Dir.File("plain") + "\n");
    r = Cmd({"-P", "Com6", "-d", "OV128", "connect"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "Open  COM6 Port Error!!");

    for (const auto& args :
         std::vector<std::vector<std::string>>{{"-P", "Com9", "-d", "OV128", "connect"},
                                               {"-P", "Com1", "connect"},
                                               {"-d", "OV128", "about"},
                                               {"-P", "Com1", "-d", "NOPE", "connect"},
                                               {"-P", "ttyUSB0", "-d", "OV128", "connect"}}) {
        EXPECT_EQ(Cmd(args).Status, 2) << args[1];
    }
    // A map that exists but lacks the port says so: no fall-back to ttyS.
    r = Cmd({"-P", "Com2", "-d", "OV128", "connect"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_NE(r.Out.find("\"Com2\" has no line in ports.map"), std::string::npos) << r.Out;
}

// A device by its path, a map kept elsewhere, and what `ports` shows of both.
TEST_F(Cli, DevicesByPathAndAMapElsewhere) {
    std::filesystem::create_directory(Dir.File("etc"));
    Sim = std::make_unique<TSimProcess>(
        Dir.Path(), std::vector<std::string>{"--ports-map", "etc/line.map", "--port", "Com3"});
    ASSERT_TRUE(Sim->Started());
    EXPECT_EQ(Cmd({"-P", Sim->Slave(), "-d", "OV101", "connect"}).Out, "Connect OK!\n");
    EXPECT_EQ(Cmd({"-P", "Com3", "--ports-map", "etc/line.map", "-d", "OV101", "connect"}).Status,
              0);
    EXPECT_EQ(Cmd({"-P", "Com3", "-d", "OV101", "connect"}).Status, 3); // no ./ports.map: ttyS2

    WriteFile(Dir.File("etc/line.map"),
              ReadFile(Dir.File("etc/line.map")) + "Com4 /dev/orvan-nowhere\n");
    const TRunResult r = Cmd({"ports", "--ports-map", "etc/line.map"});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("Com3 -> " + Sim->Slave() + " nocts  ok  held by writer-sim"),
              std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("Com4 -> /dev/orvan-nowhere  missing"), std::string::npos) << r.Out;
    WriteFile(Dir.File("etc/line.map"), "Com9 /dev/x\n");
    EXPECT_EQ(Cmd({"ports", "--ports-map", "etc/line.map"}).Status, 4);
}

TEST_F(Cli, AboutShowsTheFirmwareOfAUniversalWriter) {
    StartSim({"--firmware", "UNIV-SIM 2.07"});
    TRunResult r = Cmd({"-P", "Com1", "-d", "OV128", "about"});
    EXPECT_EQ(r.Out, "UNIV-SIM 2.0\n"); // twelve characters
    EXPECT_EQ(r.Status, 0);
    StartSim({"--firmware", "V3"}, "Com2");
    EXPECT_EQ(Cmd({"-P", "Com2", "-d", "OV128", "about"}).Out, "V3\n");
    // Type 1 and 2 writers are not asked.
    StartSim({"--type", "1", "--firmware", "SECRET"}, "Com3");
    EXPECT_EQ(Cmd({"-P", "Com3", "-d", "OV128", "about"}).Out, "Unknown\n");
}

// A map with a name the port selector never offers is refused as a whole,
// naming the line, even for the port whose own line is good.
TEST_F(Cli, BadPortNamesInTheMapAreReportedWithTheirLine) {
    StartSim({});
    const std::string good = ReadFile(Dir.File("ports.map"));
    for (const char* bad : {"COM9 /dev/ttyS8\n", "sim /dev/pts/99 nocts\n", "Com 1 /dev/ttyS0\n"}) {
        WriteFile(Dir.File("ports.map"), good + bad);
        const TRunResult r = Cmd({"-P", "Com1", "-d", "OV128", "connect"});
        EXPECT_EQ(r.Status, 3) << bad;
        EXPECT_EQ(r.Out.substr(0, r.Out.find('\n')), "Open  COM1 Port Error!!") << bad;
        EXPECT_NE(r.Out.find("ports.map line 3: port name"), std::string::npos) << r.Out;
    }
    // With a byte-order mark in front (a map saved by a Windows editor).
    WriteFile(Dir.File("ports.map"), "\xEF\xBB\xBF" + good);
    EXPECT_EQ(Cmd({"-P", "Com1", "-d", "OV128", "connect"}).Out, "Connect OK!\n");
}

// Output that cannot be written: a full disk is a file error (4) said on
// stderr; a reader that goes away mid-run (`| head`) stops the exchange as
// SIGINT would (141), and the writer is ready for the next command at once.
TEST_F(Cli, OutputThatCannotBeWritten) {
    for (const char* cmd : {"devices", "disasm -d OV128", "--version"}) {
        const TRunResult r = test::Run(Dir.Path(), "/bin/sh",
                                       {"-c", std::string(ORVAN_CLI) + " " + cmd + " >/dev/full"});
        EXPECT_EQ(r.Status, 4) << cmd;
        EXPECT_NE(r.Out.find("cannot write the output: No space left on device"), std::string::npos)
            << r.Out;
    }
    StartSim({});
    std::string image;
    for (int i = 0; i < 2048; i += 2)
        image += {char(i / 2 & 0xFF), char(0x30 | (i / 512))};
    WriteFile(Dir.File("prog.bin"), image);
    const TRunResult piped = test::Run(
        Dir.Path(), "/bin/bash",
        {"-c", std::string(ORVAN_CLI) +
                   " -P Com1 -d OV128 --json program prog.bin --yes 2>/dev/null | head -n 2 "
                   ">/dev/null; exit ${PIPESTATUS[0]}"});
    EXPECT_EQ(piped.Status, 141) << piped.Out;
    EXPECT_EQ(Cmd({"-P", "Com1", "-d", "OV128", "connect"}).Out, "Connect OK!\n");
}

// An operator's Ctrl+C (or a supervisor's SIGTERM, or a closed terminal's
// SIGHUP) while orvan-cli waits for a silent writer: it stops between two
// bytes, puts back the line settings it found and exits with 128 + signal.
TEST_F(Cli, StopSignalsPutTheLineBackAndSetTheExitStatus) {
    StartSim({"--silent"});
    // The test holds the line too, with settings of its own to be found.
    const int line = ::open(Sim->Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(line, 0);
    termios found{};
    ASSERT_EQ(::tcgetattr(line, &found), 0);
    ::cfsetspeed(&found, B4800);
    found.c_cflag = (found.c_cflag & ~(CSIZE | PARODD)) | CS7 | PARENB | CSTOPB;
    found.c_iflag |= IXON | ICRNL;
    found.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(line, TCSANOW, &found), 0);
    ASSERT_EQ(::tcgetattr(line, &found), 0);

    for (const auto& [sig, status] : {std::pair{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}}) {
        TChildProcess cli(Dir.Path(), ORVAN_CLI, {"-P", "Com1", "-d", "OV128", "connect"},
                          TChildProcess::TOutput::Null);
        ASSERT_TRUE(cli.Started());
        // Waiting once the line is at the writer's 115200 baud.
        bool waiting = false;
        for (int k = 0; k < 500 && !waiting; ++k) {
            termios now{};
            waiting = ::tcgetattr(line, &now) == 0 && ::cfgetospeed(&now) == B115200;
            if (!waiting) ::usleep(10'000);
        }
        EXPECT_TRUE(waiting) << "orvan-cli never set the line";
        ::usleep(100'000); // well inside the poll's wait for the reply
        cli.Signal(sig);
        // A stop that the exchange missed would end at the time-out with 1.
        const int exit = cli.Wait();
        ASSERT_GE(exit, 0) << "signal " << sig;
        EXPECT_EQ(exit, status) << "signal " << sig;

        termios after{};
        ASSERT_EQ(::tcgetattr(line, &after), 0);
        EXPECT_EQ(::cfgetospeed(&after), B4800) << "signal " << sig;
        EXPECT_EQ(after.c_cflag, found.c_cflag) << "signal " << sig;
        EXPECT_EQ(after.c_iflag, found.c_iflag) << "signal " << sig;
        EXPECT_EQ(after.c_lflag, found.c_lflag) << "signal " << sig;
    }
    ::close(line);
}

} // namespace
} // namespace orvan::sim::test
