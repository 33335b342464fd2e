// An exchange that ends inside a header or a block leaves the writer there:
// which endings mark the exchange open, and how the next one lets the line
// fall quiet first (on a manual clock, so the second of quiet costs nothing).
#include "testlib/ProtocolBench.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvan {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int NoReply = -1;

struct SettleFixture : ::testing::Test, test::TProtocolBench {};

// Which endings leave the writer possibly inside a block.
TEST_F(SettleFixture, EachEndingMarksTheExchange) {
    struct TCase {
        const char* Name;
        std::function<WriterResult(TWriterProtocol&)> Call;
        std::vector<int> Replies; // to each byte sent; NoReply: none; past the end: B5
        WriterResult Expected;
        bool Open;
    };
    auto check = [](TWriterProtocol& p) { return p.CheckWriter(); };
    auto header = [](TWriterProtocol& p) { return p.SendHeader(); };
    auto read7 = [](TWriterProtocol& p) { return p.Read7BitData(4, true); };
    auto read8 = [](TWriterProtocol& p) { return p.Read8BitData(2); };
    auto write = [](TWriterProtocol& p) { return p.WriteData(2, true); };
    auto afterHeader = [](std::vector<int> r) {
        std::vector<int> v(9, NoReply); // the reply follows header byte 9
        v.insert(v.end(), r.begin(), r.end());
        return v;
    };
    const TCase cases[] = {
        {"PollAnswered", check, {0xB2}, WriterResult::WriterClass1, false},
        {"PollMismatch", check, {0xB3}, WriterResult::WriterMismatch, false},
        {"PollTimeOut", check, {NoReply}, WriterResult::TimeOut, true},
        // A data acknowledgement to the poll: the writer was inside a block.
        {"PollGotAnAck", check, {0xB5}, WriterResult::BadReply, true},
        {"HeaderReady", header, afterHeader({0xB5}), WriterResult::Ready, false},
        {"HeaderNoChip", header, afterHeader({0xFE}), WriterResult::NoChip, false},
        {"HeaderTimeOut", header, afterHeader({NoReply}), WriterResult::TimeOut, true},
        {"HeaderStray", header, afterHeader({0x42}), WriterResult::BadReply, true},
        {"WriteEnded", write, {0xB5, 0xB0}, WriterResult::BlockDone, false},
        {"WriteFailed", write, {0xB1}, WriterResult::WriteFail, false},
        {"WriteEarlyEnd", write, {0xB0}, WriterResult::BadReply, false},
        {"WriteSilent", write, {0xB5, NoReply, NoReply}, WriterResult::TimeOut, true},
        {"WriteStray", write, {0xB5, 0x33}, WriterResult::BadReply, true},
        // Every byte offered and accepted, never ended by the writer.
        {"WriteRanOut", write, {}, WriterResult::BlockDone, true},
    };
    for (const TCase& c : cases) {
        TManualClock clock{500};
        TFakePort port{clock};
        TProtocolState state;
        TWriterProtocol p{port, *Buffers, Device, state, clock};
        port.Writer = [&](uint8_t, size_t i) -> Bytes {
            if (i >= c.Replies.size()) return {ReplyAccepted};
            if (c.Replies[i] == NoReply) return {};
            return {static_cast<uint8_t>(c.Replies[i])};
        };
        EXPECT_EQ(c.Call(p), c.Expected) << c.Name;
        EXPECT_EQ(state.ExchangeOpen, c.Open) << c.Name;
    }

    // Reads: the writer's end mark, an error code or n bytes close them.
    const struct {
        const char* Name;
        std::function<WriterResult(TWriterProtocol&)> Call;
        Bytes Reply;
        WriterResult Expected;
        bool Open;
    } reads[] = {
        {"Read7Done", read7, {1, 2, 3, 4, 0xB8}, WriterResult::Done, false},
        {"Read7EarlyEnd", read7, {1, 0xB8}, WriterResult::BadReply, false},
        {"Read7NoChip", read7, {0xFE}, WriterResult::NoChip, false},
        {"Read7Stray", read7, {1, 0x9C, 3}, WriterResult::BadReply, true},
        {"Read7CutOff", read7, {1, 2}, WriterResult::TimeOut, true},
        {"Read8Done", read8, {0xB8, 0xFE}, WriterResult::Done, false},
        {"Read8CutOff", read8, {7}, WriterResult::TimeOut, true},
    };
    for (const auto& c : reads) {
        TManualClock clock{500};
        TFakePort port{clock};
        TProtocolState state;
        TWriterProtocol p{port, *Buffers, Device, state, clock};
        port.ReplyTo(9, c.Reply);
        EXPECT_EQ(c.Call(p), c.Expected) << c.Name;
        EXPECT_EQ(state.ExchangeOpen, c.Open) << c.Name;
    }
}

TEST_F(SettleFixture, NothingToSettleCostsNothing) {
    Port.ReplyTo(0, {0xB2});
    EXPECT_EQ(Proto.CheckWriter(), WriterResult::WriterClass1);
    EXPECT_EQ(Clock.NowMs(), 500); // the reply came at once: no wait at all
}

// The writer goes on sending what a cut-off read asked for; the next
// exchange waits for the quiet after the last of it, discarding it all.
TEST_F(SettleFixture, WaitsForQuietAfterTheLastByte) {
    State.ExchangeOpen = true;
    std::vector<std::pair<int, uint8_t>> chatter;
    for (int k = 1; k <= 20; ++k)
        chatter.emplace_back(100 * k, uint8_t(k)); // one byte each 100 ms for 2 s
    Port.ReplyToTimed(0, chatter);
    // The last byte of the cut-off exchange set the chatter going.
    uint8_t last = 0x11;
    ASSERT_EQ(Port.Write(&last, 1), 1);
    Port.ReplyTo(1, {0xB2});
    EXPECT_EQ(Proto.CheckWriter(), WriterResult::WriterClass1);
    EXPECT_FALSE(State.ExchangeOpen);
    ASSERT_EQ(Port.Sent, (Bytes{0x11, WriterPoll}));
    // The poll went out only after a full quiet period behind the chatter.
    EXPECT_GE(Port.LastSendMs, 500 + 2000 + QuietLineMs);
    EXPECT_LT(Port.LastSendMs, 500 + 2000 + QuietLineMs + 2 * WaitSliceMs);
}

TEST_F(SettleFixture, AStopWhileSettlingKeepsTheExchangeOpen) {
    State.ExchangeOpen = true;
    StopSource.request_stop();
    EXPECT_EQ(Proto.WriteData(4, true), WriterResult::TimeOut);
    EXPECT_TRUE(Port.Sent.empty());
    EXPECT_TRUE(State.ExchangeOpen);
    EXPECT_LT(Clock.NowMs(), 500 + QuietLineMs);
}

// The helper the operations' own loops call.
TEST_F(SettleFixture, SettleLineOnItsOwn) {
    SettleLine(Port, Clock, State, StopSource.get_token());
    EXPECT_EQ(Clock.NowMs(), 500);
    State.ExchangeOpen = true;
    Port.Preload({1, 2, 3});
    SettleLine(Port, Clock, State, StopSource.get_token());
    EXPECT_FALSE(State.ExchangeOpen);
    EXPECT_EQ(Port.InQueCount(), 0);
    EXPECT_GE(Clock.NowMs(), 500 + QuietLineMs);
}

// A stop in the middle of a block: the next poll still gets its answer,
// because it waits for the writer to drop the block. A writer that keeps
// the block after a short gap is what the poll would otherwise meet.
TEST_F(SettleFixture, StopMidBlockThenPoll) {
    int64_t lastByte = 0;
    bool inBlock = false;
    Port.Writer = [&](uint8_t b, size_t) -> Bytes {
        const int64_t now = Clock.NowMs();
        if (inBlock && now - lastByte > 1000) inBlock = false; // the writer forgets
        lastByte = now;
        if (inBlock) return {ReplyAccepted};
        if (b == WriterPoll) return {ReplyType1};
        if (b == 0x55) {
            inBlock = true;
            return {ReplyAccepted};
        }
        return {};
    };
    Buffers->TransferBuffer.fill(0x55);
    Port.CtsRule = [&](size_t sent) {
        if (sent == 5) StopSource.request_stop(); // the dialog closes
        return true;
    };
    EXPECT_EQ(Proto.WriteData(64, true), WriterResult::TimeOut);
    EXPECT_TRUE(State.ExchangeOpen);
    EXPECT_EQ(Port.Sent.size(), 6u); // the byte in flight when the stop came

    std::stop_source fresh;
    TWriterProtocol next{Port, *Buffers, Device, State, Clock, fresh.get_token()};
    Port.CtsRule = nullptr;
    EXPECT_EQ(next.CheckWriter(), WriterResult::WriterClass1);
    EXPECT_FALSE(State.ExchangeOpen);

    // Without the wait the same writer takes the poll for a data byte.
    inBlock = true;
    lastByte = Clock.NowMs();
    EXPECT_EQ(next.CheckWriter(), WriterResult::BadReply);
    EXPECT_TRUE(State.ExchangeOpen); // and the next try settles
    EXPECT_EQ(next.CheckWriter(), WriterResult::WriterClass1);
}

} // namespace
} // namespace orvan
