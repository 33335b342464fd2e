// WriteData: one reply per byte, the n + 5 bound, FailIndex, and the rule
// that a single reply time-out is recorded while the block goes on, but two
// in a row end it.
#include "link/Protocol.h"
#include "testlib/FakePort.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace orvan {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr int Silent = -1;

struct TCase {
    const char* Name;
    int N;
    bool Extra;
    std::vector<int> Replies; // reply to byte i; Silent = none; past the end: B5
    WriterResult Expected;
    size_t BytesSent;
    std::optional<int> FailIndex;
};

class WriteDataTable : public ::testing::TestWithParam<TCase> {};

TEST_P(WriteDataTable, Exchange) {
    const TCase& c = GetParam();
    TManualClock clock{500};
    TFakePort port{clock};
    auto buffers = std::make_unique<TBufferBlock>();
    for (int i = 0; i < 64; ++i)
        buffers->TransferBuffer[static_cast<size_t>(i)] = uint8_t(0x40 + i);
    TDeviceState device;
    TProtocolState state;
    state.FailIndex = -7;
    TWriterProtocol p{port, *buffers, device, state, clock};
    port.Writer = [&](uint8_t, size_t i) -> Bytes {
        if (i >= c.Replies.size()) return {ReplyAccepted};
        if (c.Replies[i] == Silent) return {};
        return {static_cast<uint8_t>(c.Replies[i])};
    };
    EXPECT_EQ(p.WriteData(c.N, c.Extra), c.Expected);
    ASSERT_EQ(port.Sent.size(), c.BytesSent);
    for (size_t i = 0; i < port.Sent.size(); ++i)
        EXPECT_EQ(port.Sent[i], 0x40 + i);
    EXPECT_EQ(state.FailIndex, c.FailIndex.value_or(-7));
    EXPECT_EQ(port.PurgeInCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WriteDataTable,
    ::testing::Values(
        TCase{"EndAfterOneExtra", 2, true, {0xB5, 0xB5, 0xB0}, WriterResult::BlockDone, 3, {}},
        TCase{"EndOnLastByte", 2, true, {0xB5, 0xB0}, WriterResult::BlockDone, 2, {}},
        TCase{"FailOnSecond", 2, true, {0xB5, 0xB1}, WriterResult::WriteFail, 2, 1},
        TCase{"FailOnFirst", 16, true, {0xB1}, WriterResult::WriteFail, 1, 0},
        TCase{"EarlyEnd", 4, true, {0xB0}, WriterResult::BadReply, 1, {}},
        TCase{"EndOnLastOfFour", 4, true, {0xB5, 0xB5, 0xB5, 0xB0}, WriterResult::BlockDone, 4, {}},
        TCase{"EndTwoShort", 4, true, {0xB5, 0xB5, 0xB0}, WriterResult::BadReply, 3, {}},
        TCase{"AllAcceptedRunsOut", 2, true, {}, WriterResult::BlockDone, 7, {}},
        TCase{"NoExtraStopsAtNPlusOne", 2, false, {}, WriterResult::BlockDone, 3, {}},
        TCase{"Adapter", 4, true, {0xB5, 0xFD}, WriterResult::AdapterError, 2, {}},
        TCase{"NoChip", 4, true, {0xFE}, WriterResult::NoChip, 1, {}},
        TCase{"Unexpected", 4, true, {0xB5, 0xB8}, WriterResult::BadReply, 2, {}},
        // A missed reply is recorded and the block goes on...
        TCase{"TimeOutKept", 2, true, {0xB5, Silent, 0xB0}, WriterResult::TimeOut, 3, {}},
        TCase{"TimeOutKeptByAccepts",
              3,
              true,
              {Silent, 0xB5, 0xB5, 0xB0},
              WriterResult::TimeOut,
              4,
              {}},
        // ...and a later error reply replaces it.
        TCase{"TimeOutThenFail", 4, true, {Silent, 0xB1}, WriterResult::WriteFail, 2, 1},
        TCase{"TimeOutThenNoChip", 4, true, {Silent, 0xFE}, WriterResult::NoChip, 2, {}},
        TCase{"TimeOutThenEarlyEnd", 4, true, {Silent, 0xB0}, WriterResult::BadReply, 2, {}},
        // A writer that misses two replies in a row has stopped answering.
        TCase{"AllSilent",
              1,
              true,
              {Silent, Silent, Silent, Silent, Silent, Silent},
              WriterResult::TimeOut,
              2,
              {}},
        TCase{"SilentMidBlock",
              8,
              true,
              {0xB5, 0xB5, 0xB5, Silent, Silent, 0xB5},
              WriterResult::TimeOut,
              5,
              {}},
        // Misses apart from each other are single misses.
        TCase{"MissesApart",
              4,
              true,
              {Silent, 0xB5, Silent, 0xB5, Silent, 0xB0},
              WriterResult::TimeOut,
              6,
              {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WriteData, CtsLowMidBlockEndsAtOnce) {
    TManualClock clock{500};
    TFakePort port{clock};
    auto buffers = std::make_unique<TBufferBlock>();
    TDeviceState device;
    TProtocolState state;
    TWriterProtocol p{port, *buffers, device, state, clock};
    port.Writer = [](uint8_t, size_t) { return Bytes{ReplyAccepted}; };
    port.CtsRule = [](size_t sent) { return sent < 3; };
    EXPECT_EQ(p.WriteData(16, true), WriterResult::TimeOut);
    EXPECT_EQ(port.Sent.size(), 3u);
}

TEST(WriteData, LineLostMidBlockIsATimeOut) {
    TManualClock clock{500};
    TFakePort port{clock};
    auto buffers = std::make_unique<TBufferBlock>();
    TDeviceState device;
    TProtocolState state;
    TWriterProtocol p{port, *buffers, device, state, clock};
    port.Writer = [](uint8_t, size_t) { return Bytes{ReplyAccepted}; };
    port.ThrowOnWriteIndex = 5;
    EXPECT_EQ(p.WriteData(16, true), WriterResult::TimeOut);
    EXPECT_EQ(port.Sent.size(), 5u);
    EXPECT_LT(clock.NowMs(), 1000);
}

TEST(WriteData, NeverReadsPastTheTransferArea) {
    TManualClock clock{500};
    TFakePort port{clock};
    auto buffers = std::make_unique<TBufferBlock>();
    TDeviceState device;
    TProtocolState state;
    TWriterProtocol p{port, *buffers, device, state, clock};
    port.Writer = [](uint8_t, size_t) { return Bytes{ReplyAccepted}; };
    EXPECT_EQ(p.WriteData(TransferBytes, true), WriterResult::BlockDone);
    EXPECT_EQ(port.Sent.size(), static_cast<size_t>(TransferBytes));
}

} // namespace
} // namespace orvan
