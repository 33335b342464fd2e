// The component's events and critical section, across threads.
#include "link/Commobjs.h"
#include "testlib/PtyPair.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace orvan {
namespace {

using test::MsSince;
using Clock = std::chrono::steady_clock;

TEST(Commobjs, ManualResetEventStaysSignalled) {
    TSimpleEvent e;
    ASSERT_GE(e.Handle(), 0);
    auto start = Clock::now();
    EXPECT_EQ(e.WaitFor(50), TWaitResult::wrTimeout);
    EXPECT_GE(MsSince(start), 40);
    e.SetEvent();
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(e.WaitFor(INFINITE), TWaitResult::wrSignaled);
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(Commobjs, AutoResetEventReleasesOneWaiter) {
    TEvent e(false, true);
    EXPECT_EQ(e.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(e.WaitFor(0), TWaitResult::wrTimeout);

    std::atomic<int> released{0};
    std::thread a([&] { released += e.WaitFor(300) == TWaitResult::wrSignaled; });
    std::thread b([&] { released += e.WaitFor(300) == TWaitResult::wrSignaled; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    e.SetEvent();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 1);
}

TEST(Commobjs, SetEventWakesAWaiterOnAnotherThread) {
    TSimpleEvent e;
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        e.SetEvent();
    });
    const auto start = Clock::now();
    EXPECT_EQ(e.WaitFor(INFINITE), TWaitResult::wrSignaled);
    EXPECT_LT(MsSince(start), 1000);
    t.join();
}

TEST(Commobjs, CriticalSectionIsRecursiveAndExclusive) {
    TCriticalSection cs;
    cs.Enter();
    cs.Acquire(); // the owner may enter again
    std::atomic<bool> other{false};
    std::thread t([&] { other = cs.try_lock(); });
    t.join();
    EXPECT_FALSE(other.load());
    cs.Release();
    cs.Leave();

    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            std::lock_guard lock(cs);
            ++counter;
        }
    };
    std::thread x(work), y(work);
    x.join();
    y.join();
    EXPECT_EQ(counter, 20000);
}

} // namespace
} // namespace orvan
