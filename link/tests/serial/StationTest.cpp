// What the station check reads of a device, on a real pseudo-terminal, and
// the figures it makes of a round trip.
#include "link/Doctor.h"
#include "link/PortHolders.h"
#include "link/SerialDevice.h"
#include "testlib/PtyPair.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace orvan {
namespace {

bool HasPid(const std::vector<TPortHolder>& holders, int pid) {
    return std::any_of(holders.begin(), holders.end(),
                       [pid](const TPortHolder& h) { return h.Pid == pid; });
}

TEST(Station, APseudoTerminalThroughAnyNameAndItsOtherEnd) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    test::TTempDir dir;
    const std::string link = dir.File("writer");
    std::filesystem::create_symlink(pty.Slave, link);

    const TSerialDevice d = DescribeSerialDevice(link);
    EXPECT_EQ(d.Path, pty.Slave);
    EXPECT_EQ(d.Driver, "");  // no hardware behind it
    EXPECT_EQ(d.Latency, ""); // and no adapter's timer
    EXPECT_EQ(DescribeSerialDevice("/nonexistent/tty").Path, "");

    const TDeviceAccess a = DeviceAccessOf(link);
    EXPECT_TRUE(a.Exists && a.CharDevice);
    EXPECT_EQ(a.Mode.substr(0, 1), "c");
    EXPECT_EQ(a.Owner, ::getpwuid(::getuid())->pw_name);
    EXPECT_TRUE(a.CanOpen);
    EXPECT_FALSE(DeviceAccessOf("/nonexistent/tty").Exists);

    // This process holds the master side: the slave's other end.
    EXPECT_TRUE(HasPid(FindPtyMasterHolders(pty.Slave), ::getpid()));
    EXPECT_TRUE(FindPtyMasterHolders("/dev/ttyS0").empty());
    pty.CloseMaster();
    EXPECT_FALSE(HasPid(FindPtyMasterHolders(pty.Slave), ::getpid()));
}

TEST(Station, RoundTripFigures) {
    struct TCase {
        std::vector<double> Ms;
        int Polls;
        double Median, P95;
    };
    std::vector<double> twenty;
    for (int k = 20; k >= 1; --k)
        twenty.push_back(k);
    const TCase cases[] = {
        {{5, 1, 3, 2, 4}, 5, 3, 5},
        {twenty, 20, 10.5, 19}, // nearest rank: the 19th of 20
        {{7}, 3, 7, 7},         // two polls unanswered
        {{}, 4, 0, 0},
    };
    for (const TCase& c : cases) {
        const TRoundTrip rt = SummarizeRoundTrips(c.Ms, c.Polls);
        EXPECT_EQ(rt.Polls, c.Polls);
        EXPECT_EQ(rt.Answered, static_cast<int>(c.Ms.size()));
        EXPECT_DOUBLE_EQ(rt.MedianMs, c.Median);
        EXPECT_DOUBLE_EQ(rt.P95Ms, c.P95);
    }
}

TEST(Station, TimesFollowTheRoundTripAndNeverBeatTheWire) {
    const int baud = 115200;
    const double byteMs = 1000.0 * BitsPerByte / baud;
    // 12288 bytes, each with its answer: the 2.1 s the benchmark calls the
    // wire limit.
    const TMemoryTimes wire = EstimateMemoryTimes(6144, 0, baud);
    EXPECT_NEAR(wire.ProgramWireS, 2.13, 0.01);
    EXPECT_NEAR(wire.ReadWireS, wire.ProgramWireS / 2, 0.01);
    // A pseudo-terminal answering faster than the line could: the wire.
    EXPECT_DOUBLE_EQ(wire.ProgramS, wire.ProgramWireS);

    // A round trip that is the wire's own byte and answer costs the wire.
    const TMemoryTimes bare = EstimateMemoryTimes(6144, 2 * byteMs, baud);
    EXPECT_NEAR(bare.ProgramS, bare.ProgramWireS, 2 * byteMs / 1000);

    // A held reply is paid once an answered byte when programming, once a
    // block when reading.
    const TMemoryTimes held = EstimateMemoryTimes(6144, 16, baud);
    EXPECT_NEAR(held.ProgramS, 12289 * 0.016, 0.01);
    EXPECT_NEAR(held.ReadS - held.ReadWireS, 0.016, 1e-9);
    EXPECT_DOUBLE_EQ(held.ProgramWireS, wire.ProgramWireS);
}

} // namespace
} // namespace orvan
