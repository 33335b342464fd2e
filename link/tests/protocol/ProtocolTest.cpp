// The primitives against a scripted writer: bytes sent, results, what lands
// in TransferBuffer, the time-out rule on a manual clock.
#include "testlib/ProtocolBench.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace orvan {
namespace {

using Bytes = std::vector<uint8_t>;

struct ProtocolFixture : ::testing::Test, test::TProtocolBench {
    Bytes Header() const {
        return Bytes(Buffers->CommandHeader.begin(), Buffers->CommandHeader.end());
    }
    // Reply after the last header byte.
    void AfterHeader(Bytes reply, int delayMs = 0) { Port.ReplyTo(9, std::move(reply), delayMs); }
    void AfterHeaderTimed(std::vector<std::pair<int, uint8_t>> reply) {
        Port.ReplyToTimed(9, std::move(reply));
    }
};

TEST(ClockRule, ElapsedSecondsAcrossTheMinute) {
    struct {
        int start, now, elapsed;
        bool timedOut;
    } cases[] = {{10, 10, 0, false}, {10, 12, 2, false}, {10, 13, 3, true}, {59, 1, 2, false},
                 {59, 2, 3, true},   {58, 0, 2, false},  {0, 59, 59, true}, {30, 29, 59, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(ElapsedSeconds(c.start, c.now), c.elapsed) << c.start << "->" << c.now;
        EXPECT_EQ(TimedOut(c.start, c.now), c.timedOut) << c.start << "->" << c.now;
    }
    EXPECT_EQ(SecondsField(59'999), 59);
    EXPECT_EQ(SecondsField(60'000), 0);
    EXPECT_EQ(SecondsField(3'725'000), 5);
}

TEST(ResultTexts, StandardLines) {
    EXPECT_EQ(StandardFailureLine(WriterResult::NoChip), "Nothing in socket or type error!!");
    EXPECT_EQ(StandardFailureLine(WriterResult::AdapterError), "IC adapter board error!!");
    EXPECT_EQ(StandardFailureLine(WriterResult::TimeOut), "Connect Timeout!!");
    EXPECT_EQ(StandardFailureLine(WriterResult::BadReply), "Writer Error!!");
    EXPECT_EQ(StandardFailureLine(WriterResult::Ready), "Writer Error!!");
    EXPECT_EQ(StandardFailureLine(WriterResult::WriterMismatch), "Writer Error!!");
    EXPECT_EQ(WriterResultMessage(WriterResult::WriterMismatch), "Writer type is error!");
    EXPECT_EQ(WriterResultMessage(WriterResult::Done), "");
    EXPECT_EQ(ToInt(WriterResult::NoChip), 1);
    EXPECT_EQ(ToInt(WriterResult::BlockDone), 12);
}

TEST_F(ProtocolFixture, CheckWriterMapsThePollAnswer) {
    struct {
        int reply; // -1: silent
        uint32_t writerType;
        WriterResult expected;
    } cases[] = {
        {0xB2, 1, WriterResult::WriterClass1},    {0xB2, 2, WriterResult::WriterMismatch},
        {0xB3, 2, WriterResult::WriterClass2},    {0xB3, 1, WriterResult::WriterMismatch},
        {0xB4, 1, WriterResult::WriterUniversal}, {0xB4, 2, WriterResult::WriterUniversal},
        {0xB5, 1, WriterResult::BadReply},        {0x00, 1, WriterResult::BadReply},
        {0xFE, 1, WriterResult::BadReply},        {-1, 1, WriterResult::TimeOut},
    };
    for (const auto& c : cases) {
        TManualClock clock{500};
        TFakePort port{clock};
        Device.ICWriterType = c.writerType;
        TProtocolState state; // each case on a writer of its own
        TWriterProtocol p{port, *Buffers, Device, state, clock};
        port.Preload({0xB4}); // stale byte: the purge must drop it
        if (c.reply >= 0) port.ReplyTo(0, {static_cast<uint8_t>(c.reply)});
        EXPECT_EQ(p.CheckWriter(), c.expected) << std::hex << c.reply;
        EXPECT_EQ(port.Sent, Bytes{0xA0});
        EXPECT_EQ(port.PurgeInCount, 1);
        EXPECT_EQ(port.PurgeOutCount, 1);
    }
}

TEST_F(ProtocolFixture, SendHeaderSendsTenBytesAndMapsTheReply) {
    struct {
        int reply;
        WriterResult expected;
    } cases[] = {{0xB5, WriterResult::Ready},        {0xB8, WriterResult::Done},
                 {0xFD, WriterResult::AdapterError}, {0xFE, WriterResult::NoChip},
                 {0xB0, WriterResult::BadReply},     {0x12, WriterResult::BadReply},
                 {-1, WriterResult::TimeOut}};
    for (const auto& c : cases) {
        TManualClock clock{500};
        TFakePort port{clock};
        TWriterProtocol p{port, *Buffers, Device, State, clock};
        if (c.reply >= 0) port.ReplyTo(9, {static_cast<uint8_t>(c.reply)});
        EXPECT_EQ(p.SendHeader(), c.expected) << std::hex << c.reply;
        EXPECT_EQ(port.Sent, Header());
    }
}

TEST_F(ProtocolFixture, TimeOutComesAfterTwoToThreeSeconds) {
    const int64_t t0 = Clock.NowMs();
    EXPECT_EQ(Proto.SendHeader(), WriterResult::TimeOut);
    const int64_t waited = Clock.NowMs() - Port.LastSendMs;
    EXPECT_GE(waited, 2000);
    EXPECT_LE(waited, 3000 + ReplySliceMs);
    EXPECT_GE(Port.LastSendMs, t0);
}

TEST_F(ProtocolFixture, CtsLowTimesOutWithoutSending) {
    // CTS never comes: nothing at all is sent, by any primitive.
    Port.CtsRule = [](size_t) { return false; };
    const int64_t t0 = Clock.NowMs();
    EXPECT_EQ(Proto.CheckWriter(), WriterResult::TimeOut);
    EXPECT_GE(Clock.NowMs() - t0, 2000);
    EXPECT_LE(Clock.NowMs() - t0, 3000);
    EXPECT_EQ(Proto.SendHeader(), WriterResult::TimeOut);
    EXPECT_EQ(Proto.Read7BitData(2, true), WriterResult::TimeOut);
    EXPECT_EQ(Proto.Read8BitData(2), WriterResult::TimeOut);
    EXPECT_EQ(Proto.ReadWriterID(12), WriterResult::TimeOut);
    EXPECT_EQ(Proto.WriteData(2, true), WriterResult::TimeOut);
    EXPECT_TRUE(Port.Sent.empty());
    // Every CTS poll slept: about one poll per millisecond waited.
    EXPECT_LE(Port.CtsLowPolls, (Clock.NowMs() - t0) + 10);
}

TEST_F(ProtocolFixture, CtsDroppingMidHeaderStopsAtThatByte) {
    Port.CtsRule = [](size_t sent) { return sent < 4; };
    EXPECT_EQ(Proto.Read7BitData(2, true), WriterResult::TimeOut);
    const Bytes header = Header();
    EXPECT_EQ(Port.Sent, Bytes(header.begin(), header.begin() + 4));
}

TEST_F(ProtocolFixture, ClosedPortTimesOut) {
    Port.Open = false;
    EXPECT_EQ(Proto.CheckWriter(), WriterResult::TimeOut);
    EXPECT_TRUE(Port.Sent.empty());
}

TEST_F(ProtocolFixture, Read7BitDataEndMarkRules) {
    struct {
        int n;
        bool untilEnd;
        Bytes reply;
        WriterResult expected;
        Bytes stored; // TransferBuffer from byte 0; the rest stays 0xEE
    } cases[] = {
        // One byte short of n counts as complete.
        {2, true, {0x12, 0xB8}, WriterResult::Done, {0x12, 0xEE}},
        {2, true, {0x12, 0x34, 0x56, 0xB8}, WriterResult::Done, {0x12, 0x34, 0xEE}},
        {3, true, {0x12, 0xB8}, WriterResult::BadReply, {0x12, 0xEE}},
        {2, true, {0xB8}, WriterResult::BadReply, {0xEE}},
        {1, true, {0xB8}, WriterResult::Done, {0xEE}},
        {2, true, {0x12, 0x9C}, WriterResult::BadReply, {0x12, 0xEE}},
        {2, true, {0xFD}, WriterResult::AdapterError, {0xEE}},
        {2, true, {0x12, 0x34, 0xFE}, WriterResult::NoChip, {0x12, 0x34}},
        {2, true, {0x12, 0x34}, WriterResult::TimeOut, {0x12, 0x34}},
        {2, false, {0x12, 0x34}, WriterResult::Done, {0x12, 0x34, 0xEE}},
        {2, false, {0x7F, 0x00, 0xB5}, WriterResult::Done, {0x7F, 0x00, 0xEE}},
    };
    int row = 0;
    for (const auto& c : cases) {
        TManualClock clock{500};
        TFakePort port{clock};
        TWriterProtocol p{port, *Buffers, Device, State, clock};
        Buffers->TransferBuffer.fill(0xEE);
        port.ReplyTo(9, c.reply);
        EXPECT_EQ(p.Read7BitData(c.n, c.untilEnd), c.expected) << "row " << row;
        EXPECT_EQ(port.Sent, Header()) << "row " << row;
        EXPECT_EQ(Bytes(Buffers->TransferBuffer.begin(),
                        Buffers->TransferBuffer.begin() + static_cast<long>(c.stored.size())),
                  c.stored)
            << "row " << row;
        ++row;
    }
}

TEST_F(ProtocolFixture, Read7BitStampRenewsPerStoredByteOnly) {
    // Stored bytes 2.5 s apart: every step is within its own limit.
    AfterHeaderTimed({{2500, 0x01}, {5000, 0x02}, {7500, 0xB8}});
    EXPECT_EQ(Proto.Read7BitData(2, true), WriterResult::Done);

    // Extra bytes beyond n, 1 s apart, do not renew the stamp: the end mark
    // 4 s after the last stored byte is too late.
    TManualClock clock{500};
    TFakePort port{clock};
    TWriterProtocol p{port, *Buffers, Device, State, clock};
    port.ReplyToTimed(9, {{0, 0x01}, {1000, 0x11}, {2000, 0x22}, {3000, 0x33}, {4000, 0xB8}});
    EXPECT_EQ(p.Read7BitData(1, true), WriterResult::TimeOut);
}

TEST_F(ProtocolFixture, ReplyStraddlingTheMinuteIsNotLate) {
    // Header sent at 59.5 s; the reply comes 2.3 s later, at second 1 of the
    // next minute: two seconds elapsed, not a negative count.
    TManualClock clock{59'500};
    TFakePort port{clock};
    TWriterProtocol p{port, *Buffers, Device, State, clock};
    port.ReplyTo(9, {0xB5}, 2300);
    EXPECT_EQ(p.SendHeader(), WriterResult::Ready);

    TManualClock late{59'500};
    TFakePort port2{late};
    TWriterProtocol p2{port2, *Buffers, Device, State, late};
    port2.ReplyTo(9, {0xB5}, 2600); // second 2 of the next minute: 3 elapsed
    EXPECT_EQ(p2.SendHeader(), WriterResult::TimeOut);
}

TEST_F(ProtocolFixture, Read8BitDataStoresEveryByteRaw) {
    AfterHeader({0xB8, 0xFE, 0x00, 0xFD, 0x80, 0xFF, 0x99});
    Buffers->TransferBuffer.fill(0xEE);
    EXPECT_EQ(Proto.Read8BitData(6), WriterResult::Done);
    EXPECT_EQ(Bytes(Buffers->TransferBuffer.begin(), Buffers->TransferBuffer.begin() + 7),
              (Bytes{0xB8, 0xFE, 0x00, 0xFD, 0x80, 0xFF, 0xEE}));
    EXPECT_EQ(Port.Sent, Header());
    EXPECT_EQ(Port.InQueCount(), 1); // beyond n: left in the port
}

TEST_F(ProtocolFixture, Read8BitDataTimesOutMidBlock) {
    AfterHeader({1, 2, 3});
    EXPECT_EQ(Proto.Read8BitData(4), WriterResult::TimeOut);
}

TEST_F(ProtocolFixture, ReadWriterIdSendsOneByte) {
    Buffers->CommandHeader[0] = WriterIdRequest;
    const Bytes text = {'O', 'W', '-', 'U', 'N', 'I', 'V', ' ', '2', '.', '1', '0'};
    Bytes reply = text;
    reply.push_back(0x55); // beyond n: never read
    Port.ReplyTo(0, reply);
    EXPECT_EQ(Proto.ReadWriterID(12), WriterResult::Done);
    EXPECT_EQ(Port.Sent, Bytes{0xAD});
    EXPECT_EQ(Bytes(Buffers->TransferBuffer.begin(), Buffers->TransferBuffer.begin() + 12), text);
    EXPECT_EQ(Port.InQueCount(), 1);

    TManualClock clock{500};
    TFakePort port{clock};
    TWriterProtocol p{port, *Buffers, Device, State, clock};
    port.ReplyTo(0, {'A', 0xFE});
    EXPECT_EQ(p.ReadWriterID(12), WriterResult::NoChip);
}

TEST_F(ProtocolFixture, PortFailureMidExchangeIsATimeOut) {
    Port.ThrowOnWriteIndex = 3;
    EXPECT_EQ(Proto.SendHeader(), WriterResult::TimeOut);
    EXPECT_EQ(Port.Sent.size(), 3u);
    EXPECT_TRUE(State.ExchangeOpen);

    TManualClock clock{500};
    TFakePort port{clock};
    TProtocolState fresh;
    TWriterProtocol p{port, *Buffers, Device, fresh, clock};
    port.ThrowOnWaitAfter = 10;
    EXPECT_EQ(p.Read7BitData(4, true), WriterResult::TimeOut);
    EXPECT_LT(clock.NowMs(), 1000); // at once, not after the time-out
}

TEST_F(ProtocolFixture, PortClosedUnderAReplyWaitFailsAtOnce) {
    // The port closes as the byte that asks for a reply goes out: the wait
    // ends on the closed port, not at the time-out, and the writer may be
    // left inside the block. Bytes before it are accepted.
    struct {
        const char* name;
        size_t closeAt;
        std::function<WriterResult(TWriterProtocol&)> run;
    } cases[] = {
        {"poll", 0, [](TWriterProtocol& p) { return p.CheckWriter(); }},
        {"header", 9, [](TWriterProtocol& p) { return p.SendHeader(); }},
        {"data byte", 1, [](TWriterProtocol& p) { return p.WriteData(4, false); }},
        {"7-bit read", 9, [](TWriterProtocol& p) { return p.Read7BitData(4, true); }},
        {"8-bit read", 9, [](TWriterProtocol& p) { return p.Read8BitData(4); }},
    };
    for (const auto& c : cases) {
        TManualClock clock{500};
        TFakePort port{clock};
        TProtocolState state;
        TWriterProtocol p{port, *Buffers, Device, state, clock};
        const size_t closeAt = c.closeAt;
        const bool data = closeAt < 9;
        port.Writer = [&port, closeAt, data](uint8_t, size_t sent) {
            if (sent == closeAt) port.Open = false;
            return data && sent < closeAt ? Bytes{ReplyAccepted} : Bytes{};
        };
        EXPECT_EQ(c.run(p), WriterResult::TimeOut) << c.name;
        EXPECT_EQ(port.Sent.size(), closeAt + 1) << c.name;
        EXPECT_LT(clock.NowMs(), 1000) << c.name;
        EXPECT_TRUE(state.ExchangeOpen) << c.name;
    }
}

TEST_F(ProtocolFixture, StalledWriteIsATimeOut) {
    Port.StallWriteIndex = 0;
    EXPECT_EQ(Proto.CheckWriter(), WriterResult::TimeOut);
}

TEST_F(ProtocolFixture, StopRequestEndsAWaitAtOnce) {
    StopSource.request_stop();
    EXPECT_EQ(Proto.SendHeader(), WriterResult::TimeOut);
    EXPECT_LT(Clock.NowMs(), 600);
}

TEST_F(ProtocolFixture, WaitHelpersHonourDeadlineAndStop) {
    std::stop_source none;
    Port.Preload({0x42});
    EXPECT_EQ(WaitForByte(Port, Clock, Clock.NowMs() + 100, none.get_token()), 0x42);
    const int64_t t0 = Clock.NowMs();
    EXPECT_EQ(WaitForByte(Port, Clock, t0 + 250, none.get_token()), -1);
    EXPECT_GE(Clock.NowMs(), t0 + 250);
    Port.CtsRule = [](size_t) { return false; };
    EXPECT_FALSE(WaitForCts(Port, Clock, Clock.NowMs() + 50, none.get_token()));
    Port.CtsRule = nullptr;
    EXPECT_TRUE(WaitForCts(Port, Clock, Clock.NowMs(), none.get_token()));
}

} // namespace
} // namespace orvan
