// orvan-cli doctor, the station check, end to end: the real orvan-cli
// against the real writer-sim on a pseudo-terminal. Figures are compared
// between runs, never against a clock.
#include "cli/tests/CliSim.h"
#include "link/PortHolders.h"
#include "testlib/Files.h"
#include "testlib/Process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace orvan::test {
namespace {

using Json = nlohmann::json;

struct Doctor : CliSim {
    // The result object of `doctor --json` on Com1 for `model`.
    Json Run(const std::string& model, int polls, int expectedExit) {
        const TCliResult r =
            Cli("-P Com1 -d " + model + " --json doctor --polls " + std::to_string(polls));
        EXPECT_EQ(r.Status, expectedExit) << r.Out << r.Err;
        const std::vector<Json> events = JsonLines(r.Out);
        EXPECT_EQ(events.size(), 1u) << r.Out;
        return events.empty() ? Json::object() : events.back();
    }
};

// The check called `name`, or null when the report left it out.
Json Check(const Json& result, const std::string& name) {
    for (const Json& c : result.value("checks", Json::array()))
        if (c["name"] == name) return c;
    return nullptr;
}

std::string Verdict(const Json& result, const std::string& name) {
    const Json c = Check(result, name);
    return c.is_null() ? "left out" : c["verdict"].get<std::string>();
}

// An adapter's latency timer shows in the round trip, and every estimate
// grows with it while the wire limits stay what the baud rate makes them.
TEST_F(Doctor, LatencyTimerSlowsTheRoundTripAndTheEstimates) {
    StartSim({"--latency", "1", "--firmware", "DOC-SIM 1.0"});
    const Json fast = Run("OV128", 30, 0);
    for (const char* name : {"device", "permission", "holders", "latency", "open", "writer",
                             "firmware", "round trip", "program", "read"})
        EXPECT_NE(Verdict(fast, name), "error") << name << ": " << Check(fast, name);
    EXPECT_NE(Check(fast, "holders")["text"].get<std::string>().find("writer-sim (pid " +
                                                                     std::to_string(Sim->Pid())),
              std::string::npos)
        << Check(fast, "holders");
    EXPECT_EQ(Check(fast, "firmware")["text"], "\"DOC-SIM 1.0\"");
    EXPECT_EQ(fast["figures"]["writerReply"], "B4");
    EXPECT_EQ(fast["figures"]["roundTrip"]["answered"], 30);

    StartSim({"--latency", "16"});
    const Json slow = Run("OV128", 30, 0);
    const Json& a = fast["figures"];
    const Json& b = slow["figures"];
    EXPECT_GT(b["roundTrip"]["medianMs"], a["roundTrip"]["medianMs"]);
    EXPECT_GT(b["roundTrip"]["p95Ms"], a["roundTrip"]["p95Ms"]);
    for (const char* figure : {"programS", "readS"})
        EXPECT_GT(b["estimate"][figure], a["estimate"][figure]) << figure;
    for (const char* figure : {"programWireS", "readWireS"})
        EXPECT_EQ(b["estimate"][figure], a["estimate"][figure]) << figure;
    EXPECT_GT(b["estimate"]["programS"], b["estimate"]["programWireS"]);

    // The plain report: one line a check, then the count.
    const TCliResult plain = Cli("-P Com1 -d OV128 doctor --polls 5");
    EXPECT_EQ(plain.Status, 0) << plain.Out;
    EXPECT_NE(plain.Out.find("\nwriter     ok       answers B4"), std::string::npos) << plain.Out;
    EXPECT_NE(plain.Out.find("\ndoctor: 0 errors, "), std::string::npos) << plain.Out;
}

// A writer that cannot serve the model: the writer check is the error and
// the exit status the writer's; one of the wrong type still answers, so
// the line is timed all the same.
TEST_F(Doctor, AWriterThatCannotServeTheModelIsAnError) {
    struct TCase {
        std::vector<std::string> Sim;
        const char* Model;
        const char* Text;   // in the writer check's text
        const char* Advice; // in its advice
        bool Timed;
    };
    const TCase cases[] = {
        {{"--silent"}, "OV128", "Connect COM1 Timeout!!", "switch the writer on", false},
        {{"--type", "2"}, "OV101", "answers B3: a type 2 writer", "a type 1 or a universal", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        StartSim(c.Sim);
        const Json r = Run(c.Model, 5, 3);
        const Json writer = Check(r, "writer");
        ASSERT_FALSE(writer.is_null()) << r;
        EXPECT_EQ(writer["verdict"], "error");
        EXPECT_NE(writer["text"].get<std::string>().find(c.Text), std::string::npos) << writer;
        EXPECT_NE(writer["advice"].get<std::string>().find(c.Advice), std::string::npos) << writer;
        EXPECT_EQ(r["error"], "writer: " + writer["text"].get<std::string>());
        EXPECT_EQ(Verdict(r, "open"), "ok");
        EXPECT_EQ(Verdict(r, "program"), c.Timed ? "ok" : "left out");
    }
    // Wrong type: the system's own connect message.
    EXPECT_EQ(Cli("-P Com1 -d OV101 connect").Out, "Connect Fail!\n");
}

// Waits up to 10 s for `done()`.
template <class F> bool WaitUntil(F&& done) {
    for (int k = 0; k < 1000; ++k) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Another process holds the lock every writer program takes on `device`.
bool LockHeld(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // drops the lock if it was ours
    return held;
}

// Another program on the port is named. One that keeps the port from
// opening (a second doctor, holding it as every chip command does) is an
// error; one that only has it open (a pseudo-terminal lets it) a warning.
TEST_F(Doctor, AnotherProgramOnThePortIsNamed) {
    StartSim({"--latency", "16"});
    struct TCase {
        std::vector<std::string> Argv;
        bool Locks;
        const char* Name;
    };
    const TCase cases[] = {
        {{ORVAN_CLI_PATH, "-P", "Com1", "-d", "OV128", "doctor", "--polls", "100000"},
         true,
         "orvan-cli"},
        {{"/bin/sh", "-c", "exec sleep 60 < " + Sim->Slave()}, false, "sleep"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TChildProcess holder(Dir.Path(), c.Argv[0],
                             std::vector<std::string>(c.Argv.begin() + 1, c.Argv.end()),
                             TChildProcess::TOutput::Null);
        ASSERT_TRUE(holder.Started());
        ASSERT_TRUE(WaitUntil([&] {
            return c.Locks ? LockHeld(Sim->Slave())
                           : !FindHolders(Sim->Slave(), ::getpid()).empty();
        }));

        const Json r = Run("OV128", 5, c.Locks ? 3 : 0);
        const Json holders = Check(r, "holders");
        EXPECT_EQ(holders["verdict"], c.Locks ? "error" : "warning") << r;
        EXPECT_NE(holders["text"].get<std::string>().find(std::string(c.Name) + " (pid " +
                                                          std::to_string(holder.Pid()) + ")"),
                  std::string::npos)
            << holders;
        EXPECT_EQ(Verdict(r, "open"), c.Locks ? "error" : "ok");
        EXPECT_EQ(Verdict(r, "writer"), c.Locks ? "left out" : "ok");
        EXPECT_EQ(r["figures"]["holders"][0]["pid"], holder.Pid());

        holder.Signal(SIGTERM);
        const int status = holder.Wait();
        if (c.Locks) {
            EXPECT_EQ(status, 143); // stopped between two polls
        }
    }
    EXPECT_EQ(Run("OV128", 5, 0)["figures"]["holders"], Json::array());
}

// A port that leads to no serial device: the device check says where it
// leads and why not, and nothing else is tried.
TEST_F(Doctor, APortThatLeadsNowhereIsAnError) {
    StartSim({});
    test::WriteFile(Dir.File("not-a-tty"), "");
    const struct {
        std::string Port;
        const char* Text;
    } cases[] = {
        {"Com2", "\"Com2\" has no line in ports.map"},
        {"/dev/orvan-nowhere", "/dev/orvan-nowhere -> /dev/orvan-nowhere: no such device"},
        {Dir.File("not-a-tty"), "not a serial device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Port);
        const TCliResult plain = Cli("-P " + c.Port + " -d OV128 doctor");
        EXPECT_EQ(plain.Status, 3) << plain.Out;
        EXPECT_EQ(plain.Out.rfind("device     error    ", 0), 0u) << plain.Out;
        EXPECT_NE(plain.Out.find(c.Text), std::string::npos) << plain.Out;
        EXPECT_NE(plain.Out.find("\n                    -> "), std::string::npos) << plain.Out;
        EXPECT_NE(plain.Out.find("\ndoctor: 1 error, 0 warnings\n"), std::string::npos)
            << plain.Out;
    }
}

} // namespace
} // namespace orvan::test
