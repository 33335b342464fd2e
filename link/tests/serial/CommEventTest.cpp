// The event thread: what it reports, that it never takes data from Read,
// that Close ends it at once, and the hand-over to another thread.
#include "link/Commint.h"
#include "testlib/PtyPair.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace orvan {
namespace {

using test::MsSince;
using test::PtyPair;
using Clock = std::chrono::steady_clock;

// What the handlers heard, from whichever thread they ran on.
struct Recorder {
    std::mutex M;
    std::condition_variable Cv;
    std::vector<int> RxCounts;
    std::vector<unsigned> Errors;
    int TxEmpty = 0;
    std::thread::id LastThread;

    void Attach(TCustomComm& c) {
        c.OnRxChar = [this](TCustomComm&, int n) { Note([&] { RxCounts.push_back(n); }); };
        c.OnError = [this](TCustomComm&, unsigned e) { Note([&] { Errors.push_back(e); }); };
        c.OnTxEmpty = [this](TCustomComm&) { Note([&] { ++TxEmpty; }); };
    }
    template <class F> void Note(F f) {
        std::lock_guard lock(M);
        f();
        LastThread = std::this_thread::get_id();
        Cv.notify_all();
    }
    template <class P> bool WaitFor(P pred, int ms = 2000) {
        std::unique_lock lock(M);
        return Cv.wait_for(lock, std::chrono::milliseconds(ms), pred);
    }
    size_t RxEvents() {
        std::lock_guard lock(M);
        return RxCounts.size();
    }
};

class CommEventTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Pty.Ok());
        Comm.SetDeviceName(Pty.Slave);
        Comm.SetFlowControl(fcNone);
        Rec.Attach(Comm);
    }
    void OpenOk() {
        Comm.Open();
        ASSERT_TRUE(Comm.Enabled()) << Comm.LastErrorText();
    }
    PtyPair Pty;
    Recorder Rec;
    TComm Comm;
};

TEST_F(CommEventTest, CloseEndsTheEventThreadPromptly) {
    OpenOk();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    Comm.Close();
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_FALSE(Comm.Enabled());
    // And again, with bytes sitting unread when it closes.
    OpenOk();
    Pty.Send("unread");
    ASSERT_TRUE(Rec.WaitFor([&] { return !Rec.RxCounts.empty(); }));
    const auto again = Clock::now();
    Comm.Close();
    EXPECT_LT(MsSince(again), 1000);
}

TEST_F(CommEventTest, RxCharReportsWaitingBytesAndLeavesThemToRead) {
    OpenOk();
    Pty.Send("hello");
    ASSERT_TRUE(Rec.WaitFor([&] { return !Rec.RxCounts.empty(); }));
    {
        std::lock_guard lock(Rec.M);
        EXPECT_GE(Rec.RxCounts.front(), 1);
        EXPECT_LE(Rec.RxCounts.front(), 5);
    }
    // Unread bytes do not keep the thread reporting (nor spinning).
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(Rec.RxEvents(), 3u);

    // More bytes are news: a report with the larger count.
    Pty.Send("!!");
    ASSERT_TRUE(Rec.WaitFor([&] { return !Rec.RxCounts.empty() && Rec.RxCounts.back() == 7; }));

    // The thread took nothing.
    char b[16] = {};
    EXPECT_EQ(Comm.Read(b, sizeof b), 7);
    EXPECT_EQ(std::string(b, 7), "hello!!");

    // Once read, the next byte is reported on its own.
    const size_t before = Rec.RxEvents();
    Pty.Send("x");
    ASSERT_TRUE(Rec.WaitFor([&] { return Rec.RxCounts.size() > before; }));
    std::lock_guard lock(Rec.M);
    EXPECT_EQ(Rec.RxCounts.back(), 1);
}

TEST_F(CommEventTest, TxEmptyAfterAWriteDrains) {
    OpenOk();
    EXPECT_EQ(Comm.Write("ping", 4), 4);
    ASSERT_TRUE(Rec.WaitFor([&] { return Rec.TxEmpty >= 1; }));
    EXPECT_EQ(Pty.Receive(4), "ping");
}

TEST_F(CommEventTest, AVanishedLineIsReportedOnceAsAnError) {
    OpenOk();
    Pty.CloseMaster();
    ASSERT_TRUE(Rec.WaitFor([&] { return !Rec.Errors.empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        std::lock_guard lock(Rec.M);
        ASSERT_EQ(Rec.Errors.size(), 1u);
        EXPECT_TRUE(Rec.Errors[0] & CE_IOE);
    }
    const auto start = Clock::now();
    Comm.Close();
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(CommEventTest, UnmonitoredEventsAreNotReported) {
    Comm.SetMonitorEvents({evTxEmpty});
    OpenOk();
    Pty.Send("abc");
    EXPECT_EQ(Comm.Write("z", 1), 1);
    ASSERT_TRUE(Rec.WaitFor([&] { return Rec.TxEmpty >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Rec.RxEvents(), 0u);
}

TEST_F(CommEventTest, DispatcherRunsHandlersOnTheOwnersThread) {
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::function<void()>> jobs;
    Comm.Dispatcher = [&](std::function<void()> job) {
        std::lock_guard lock(m);
        jobs.push_back(std::move(job));
        cv.notify_all();
    };
    OpenOk();
    Pty.Send("q");
    std::function<void()> job;
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(2), [&] { return !jobs.empty(); }));
        job = std::move(jobs.front());
        jobs.pop_front();
    }
    EXPECT_EQ(Rec.RxEvents(), 0u); // nothing ran on the event thread
    job();
    ASSERT_EQ(Rec.RxEvents(), 1u);
    EXPECT_EQ(Rec.LastThread, std::this_thread::get_id());

    // A job still queued when the port closes does nothing later.
    EXPECT_EQ(Comm.Write("w", 1), 1);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(2), [&] { return !jobs.empty(); }));
        job = std::move(jobs.front());
    }
    Comm.Close();
    job();
    EXPECT_EQ(Rec.TxEmpty, 0);
}

TEST_F(CommEventTest, CloseFromAHandlerOnTheEventThread) {
    Comm.OnRxChar = [](TCustomComm& sender, int) { sender.Close(); };
    OpenOk();
    Pty.Send("c");
    const auto start = Clock::now();
    while (Comm.Enabled() && MsSince(start) < 2000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(Comm.Enabled());
    // The ended thread is collected; the port opens again.
    Comm.Close();
    Comm.OnRxChar = nullptr;
    OpenOk();
    Comm.Close();
}

} // namespace
} // namespace orvan
