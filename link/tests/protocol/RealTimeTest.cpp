// The one wait that runs on the real clock: a writer that never raises CTS
// gives TimeOut after two to three real seconds, nothing sent, and the gate
// sleeps between its polls instead of spinning.
#include "link/Protocol.h"
#include "testlib/FakePort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

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

namespace orvan {
namespace {

// An operation's dialog closing asks its worker to stop: the wait in
// progress ends within a few milliseconds, not at the time-out.
TEST(RealTime, StopRequestFromAnotherThread) {
    TManualClock unused;
    TFakePort port{unused};
    port.CtsRule = [](size_t) { return false; };
    auto buffers = std::make_unique<TBufferBlock>();
    TDeviceState device;
    TProtocolState state;
    std::atomic<int> result{0};
    std::jthread worker([&](std::stop_token stop) {
        TWriterProtocol p{port, *buffers, device, state, SystemClock(), stop};
        result = ToInt(p.WriteData(16, true));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t0 = std::chrono::steady_clock::now();
    worker.request_stop();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(result, ToInt(WriterResult::TimeOut));
    EXPECT_TRUE(port.Sent.empty());
}

} // namespace
} // namespace orvan
