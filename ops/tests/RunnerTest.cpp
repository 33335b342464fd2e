// Workers on their own thread through the runner and the queue, as the
// dialogs run them: commits reach the workspace on the owner's thread, and
// a stop ends the worker between two bytes. Runs under ThreadSanitizer.
#include "ops/Programmemory.h"
#include "ops/Readic.h"
#include "session/Operations.h"
#include "testlib/OpsBench.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace orvan::test {
namespace {

// Drains until the worker has finished, as the dialog's event loop does.
void DrainToEnd(TOperationRunner& runner, TOperationQueue& queue, TWorkspace& ws,
                std::vector<TOpUpdate>& seen) {
    while (runner.Running()) {
        queue.WaitForItems(50);
        queue.Drain(ws, [&](const TOpUpdate& u) { seen.push_back(u); });
    }
    runner.Stop();
    queue.Drain(ws, [&](const TOpUpdate& u) { seen.push_back(u); });
}

const TOpUpdate* LastText(const std::vector<TOpUpdate>& seen, const std::string& control) {
    const TOpUpdate* last = nullptr;
    for (const TOpUpdate& u : seen)
        if (u.Control == control && u.Kind == TOpUpdate::TKind::Text) last = &u;
    return last;
}

TEST(Runner, ReadCommitsReachTheOwnersWorkspace) {
    TOpsBench b("OV128");
    b.Chip->Program[9] = 0x1234;
    b.Chip->Option[0] = 0x2222;
    TOperationQueue queue;
    std::atomic<int> notified{0};
    queue.Notify = [&] { ++notified; };
    TOperationRunner runner;
    runner.Start(b.Port, b.State, b.Clock, queue, SnapshotOf(*b.Ws, b.Widths), ReadICThread);
    std::vector<TOpUpdate> seen;
    DrainToEnd(runner, queue, *b.Ws, seen);

    ASSERT_NE(LastText(seen, "Label3"), nullptr);
    EXPECT_EQ(LastText(seen, "Label3")->Text, "Read Data OK");
    EXPECT_TRUE(b.Ws->ReadDone);
    EXPECT_EQ(GetWord(b.Ws->Buffers.ProgramBuffer.data(), 9), 0x1234u);
    EXPECT_EQ(PairToWord(b.Ws->Buffers.OptionLo, b.Ws->Buffers.OptionHi), 0x2222u);
    EXPECT_GE(notified.load(), int(seen.size()));
}

TEST(Runner, StopMidStreamThenTheNextOperationSucceeds) {
    TOpsBench b("OV128");
    for (int k = 0; k < 1024; ++k)
        SetWord(b.Ws->Buffers.ProgramBuffer.data(), k, unsigned(k) & 0x3FFF);

    // The writer holds its answer to data byte 300 until the test has asked
    // the worker to stop.
    std::mutex lock;
    std::condition_variable cv;
    bool reached = false, released = false;
    b.Tamper = [&](size_t step, uint8_t, std::vector<uint8_t>&) {
        if (step != 311) return;
        std::unique_lock hold(lock);
        reached = true;
        cv.notify_all();
        cv.wait(hold, [&] { return released; });
    };

    TOperationQueue queue;
    TOperationRunner runner;
    runner.Start(b.Port, b.State, b.Clock, queue, SnapshotOf(*b.Ws, b.Widths), ProgramMemoryThread);
    {
        std::unique_lock hold(lock);
        cv.wait(hold, [&] { return reached; });
    }
    runner.RequestStop();
    {
        std::lock_guard hold(lock);
        released = true;
    }
    cv.notify_all();
    runner.Stop();
    EXPECT_FALSE(runner.Running());
    std::vector<TOpUpdate> seen;
    queue.Drain(*b.Ws, [&](const TOpUpdate& u) { seen.push_back(u); });
    EXPECT_EQ(b.Port.Sent.size(), 312u); // stopped between two bytes
    EXPECT_TRUE(b.State.ExchangeOpen);
    for (const TOpUpdate& u : seen)
        EXPECT_FALSE(u.Kind == TOpUpdate::TKind::Enabled && u.Control == "Button1");

    b.Tamper = nullptr;
    seen.clear();
    runner.Start(b.Port, b.State, b.Clock, queue, SnapshotOf(*b.Ws, b.Widths), ProgramMemoryThread);
    DrainToEnd(runner, queue, *b.Ws, seen);
    ASSERT_NE(LastText(seen, "Label2"), nullptr);
    EXPECT_EQ(LastText(seen, "Label2")->Text, "Data verify OK!!");
    EXPECT_EQ(b.Chip->Program[1000], 1000u);
    EXPECT_FALSE(b.State.ExchangeOpen);
}

} // namespace
} // namespace orvan::test
