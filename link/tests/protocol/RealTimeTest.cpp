// The one wait that runs on the real clock: a writer that never raises CTS
// gives TimeOut after two to three real seconds, nothing sent, and the gate
// sleeps between its polls instead of spinning.
#include "link/FakePort.h"
#include "link/Protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>

namespace orvan {
namespace {

TEST(RealTime, CtsNeverRaised) {
    TManualClock unused;
    TFakePort port{unused};
    port.CtsRule = [](size_t) { return false; };
    auto buffers = std::make_unique<TBufferBlock>();
    TDeviceState device;
    TProtocolState state;
    TWriterProtocol p{port, *buffers, device, state};
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t cpu0 = std::clock();
    EXPECT_EQ(p.CheckWriter(), WriterResult::TimeOut);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    EXPECT_GE(wall, 1.9);
    EXPECT_LE(wall, 3.5);
    EXPECT_TRUE(port.Sent.empty());
    EXPECT_LT(port.CtsLowPolls, 4000); // about one per millisecond
    EXPECT_LT(cpu, 0.5 * wall);
}

} // namespace
} // namespace orvan
