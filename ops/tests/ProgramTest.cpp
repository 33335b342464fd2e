// Program memory and force write against the simulated writer.
#include "ops/Forcewrite.h"
#include "ops/OpText.h"
#include "ops/Programmemory.h"
#include "session/Operations.h"
#include "testlib/OpsBench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace orvan::test {
namespace {

// OV128: n = 2048. Steps: 0 poll, header 1-10, data byte k at 11 + k (the
// writer's B0 answers byte n - 1), read-back header 11 + n .. 20 + n.
constexpr int N = 2048;
constexpr size_t DataStep(int k) {
    return size_t(11 + k);
}
constexpr size_t ReadBackStep = 20 + N;

std::vector<unsigned> Pattern(int words) {
    std::vector<unsigned> w;
    for (int k = 0; k < words; ++k)
        w.push_back(unsigned(k * 91 + 5) & 0x3FFF);
    return w;
}

std::vector<std::string> TextsOf(const TRecordingSink& s, const std::string& control) {
    std::vector<std::string> out;
    for (const TOpUpdate& u : s.Updates)
        if (u.Control == control && u.Kind == TOpUpdate::TKind::Text) out.push_back(u.Text);
    return out;
}

TEST(ProgramMemory, ProgramsTheWholeImageAndReadsItBack) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    TRecordingSink s = b.Run(ProgramMemoryThread);
    EXPECT_EQ(s["Label1"].Text, "Program Ok!!");
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_FALSE(s.Red("Label1") || s.Red("Label2"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);
    for (int k = 0; k < 1024; ++k)
        ASSERT_EQ(b.Chip->Program[size_t(k)], Pattern(1024)[size_t(k)]) << k;
    // The address counts up every 16 words and ends at the last word.
    const std::vector<std::string> a = TextsOf(s, "Label2");
    ASSERT_EQ(a.size(), 64u + 2u);
    EXPECT_EQ(a[0], "0000");
    EXPECT_EQ(a[1], "0010");
    EXPECT_EQ(a[63], "03F0");
    EXPECT_EQ(a[64], "03FF");
    EXPECT_FALSE(b.State.ExchangeOpen);
    EXPECT_FALSE(b.Ws->ReadDone); // nothing in the main window changes
}

// The largest memory counts up in larger steps: the dialog hears of the
// address about 100 times a block, not once every 16 words.
TEST(ProgramMemory, ALargeMemoryCountsUpInFewerSteps) {
    TOpsBench b("OV132");
    const int words = b.Ws->Device.ICMemBytes / 2;
    b.LoadWords(Pattern(words));
    TRecordingSink s = b.Run(ProgramMemoryThread);
    ASSERT_TRUE(s.Outcome.Pass) << s.Outcome.FirstFailure;
    const std::vector<std::string> a = TextsOf(s, "Label2");
    ASSERT_GE(a.size(), 3u);
    EXPECT_LE(a.size(), 100u + 2u);
    EXPECT_EQ(a[0], "0000");
    EXPECT_EQ(a[1], "0040");
    EXPECT_EQ(a[a.size() - 2], HexText(unsigned(words - 1), 4));
    EXPECT_EQ(a.back(), "Data verify OK!!");
}

TEST(ProgramMemory, BlankLookingImageIsRefusedBeforeTheWriter) {
    for (uint8_t fill : {uint8_t(0x7F), uint8_t(0x3F), uint8_t(0x5F), uint8_t(0x1F)}) {
        TOpsBench b("OV128");
        std::fill_n(b.Ws->Buffers.ProgramBuffer.begin(), N, fill);
        TRecordingSink s = b.Run(ProgramMemoryThread);
        EXPECT_EQ(s["Label1"].Text, "Data memory are blank or error!");
        EXPECT_TRUE(s.Red("Label1"));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_TRUE(b.Port.Sent.empty());
    }
    // One byte with a low bit clear, anywhere, is enough to program.
    TOpsBench b("OV128");
    b.Ws->Buffers.ProgramBuffer[N - 1] = 0x7E;
    EXPECT_EQ(b.Run(ProgramMemoryThread)["Label2"].Text, "Data verify OK!!");
    EXPECT_EQ(b.Chip->Program[1023], 0x3F7Fu);
}

TEST(ProgramMemory, EachReplyLandsOnItsLine) {
    struct TCase {
        size_t Step;
        int Reply;
        const char* Line;
        const char* Text;
        TFailureClass Why; // whose fault the run's outcome says it is
    };
    const TCase cases[] = {
        {0, -1, "Label1", "Connect Timeout!!", ByWriter},
        {0, 0xB3, "Label1", "Writer type is error!", ByWriter},
        {10, 0xFE, "Label1", "Nothing in socket or type error!!", ByChip},
        {10, 0xFD, "Label1", "IC adapter board error!!", ByChip},
        {10, 0xB8, "Label1", "Writer Error!!", ByWriter},
        {10, -1, "Label1", "Connect Timeout!!", ByWriter},
        {DataStep(0x45), 0xB1, "Label1", "Programming fail !!", ByChip},
        {DataStep(7), 0xFE, "Label1", "Nothing in socket or type error!", ByChip},
        {DataStep(7), 0xFD, "Label1", "Unknow return value!!", ByWriter},
        {DataStep(7), 0x42, "Label1", "Unknow return value!!", ByWriter},
        {DataStep(7), -1, "Label1", "Connect Timeout!!", ByWriter},
        {ReadBackStep, 0xFE, "Label2", "Nothing in socket or type error!!", ByChip},
        {ReadBackStep, 0x81, "Label2", "Writer Error!!", ByWriter},
        {ReadBackStep, -1, "Label2", "Connect Timeout!!", ByWriter},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Step) + " " + c.Text);
        TOpsBench b("OV128");
        b.LoadWords(Pattern(1024));
        if (c.Reply < 0)
            b.SilentFrom(c.Step);
        else
            b.ReplyAt(c.Step, {uint8_t(c.Reply)});
        TRecordingSink s = b.Run(ProgramMemoryThread);
        EXPECT_EQ(s[c.Line].Text, c.Text);
        EXPECT_TRUE(s.Red(c.Line));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_FALSE(s.Outcome.Pass);
        EXPECT_EQ(s.Outcome.Failure, c.Why);
        EXPECT_EQ(s.Outcome.FirstFailure, c.Text);
        // A reply that ends the run sends nothing more.
        if (c.Reply >= 0 && c.Step < ReadBackStep) {
            EXPECT_EQ(b.Port.Sent.size(), c.Step + 1);
        }
    }
    // The failing word's address stays on Label2.
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    b.ReplyAt(DataStep(0x45), {0xB1});
    EXPECT_EQ(b.Run(ProgramMemoryThread)["Label2"].Text, "0022");
}

TEST(ProgramMemory, OtpChipRefusesAOneOverAZero) {
    TOpsBench b("OV101");
    b.Chip->Program[5] = 0x0000;
    b.LoadWords(Pattern(512));
    TRecordingSink s = b.Run(ProgramMemoryThread);
    EXPECT_EQ(s["Label1"].Text, "Programming fail !!");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_EQ(s["Label2"].Text, "0005");
}

TEST(ProgramMemory, ReadBackDifferenceUnderProgramOk) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    b.Tamper = [](size_t step, uint8_t, std::vector<uint8_t>& reply) {
        if (step == ReadBackStep) reply[N - 1] ^= 0x01;
    };
    TRecordingSink s = b.Run(ProgramMemoryThread);
    EXPECT_EQ(s["Label1"].Text, "Program Ok!!");
    EXPECT_FALSE(s.Red("Label1"));
    EXPECT_EQ(s["Label2"].Text, "Data verify Fail!!");
    EXPECT_TRUE(s.Red("Label2"));
}

TEST(ProgramMemory, WriterThatNeverEndsTheBlock) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    b.Tamper = [](size_t step, uint8_t, std::vector<uint8_t>& reply) {
        if (step >= DataStep(0) && step <= DataStep(N + 5)) reply = {0xB5};
    };
    TRecordingSink s = b.Run(ProgramMemoryThread);
    // n + 6 bytes offered, no "Program Ok!!", and the read-back all the same.
    EXPECT_EQ(std::count(b.Port.Sent.begin(), b.Port.Sent.end(), 0xA1), 2);
    EXPECT_TRUE(TextsOf(s, "Label1").empty());
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_FALSE(b.State.ExchangeOpen);
}

TEST(ProgramMemory, EditDuringTheRunDoesNotReachTheChip) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    b.Tamper = [&](size_t step, uint8_t, std::vector<uint8_t>&) {
        if (step == DataStep(100)) b.Ws->Buffers.ProgramBuffer.fill(0); // the operator edits
    };
    TRecordingSink s = b.Run(ProgramMemoryThread);
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_EQ(b.Chip->Program[1000], Pattern(1024)[1000]);
}

TEST(ProgramMemory, StopBetweenTwoBytesThenTheNextRunSucceeds) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    std::stop_source stop;
    b.Tamper = [&](size_t step, uint8_t, std::vector<uint8_t>&) {
        if (step == DataStep(500)) stop.request_stop();
    };
    TRecordingSink s = b.Run(ProgramMemoryThread, stop.get_token());
    EXPECT_EQ(b.Port.Sent.size(), DataStep(500) + 1); // not one byte more
    EXPECT_TRUE(b.State.ExchangeOpen);
    EXPECT_NE(s["Label1"].Text, "Program Ok!!");
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Stopped);

    b.Tamper = nullptr;
    s = b.Run(ProgramMemoryThread);
    EXPECT_EQ(s["Label1"].Text, "Program Ok!!");
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_FALSE(b.State.ExchangeOpen);
}

// --- Force write ---------------------------------------------------------

TEST(ForceWrite, RunProgramsWithTheFixedPulseAndCountsTheChip) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    b.Ws->Panel.PassCount = "41";
    TRecordingSink s = b.Run(ForceWriteThread);
    EXPECT_EQ(s["Label1"].Text, "Program memory Ok!!");
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_EQ(s["Label3"].Text, "");
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s["Button2"].Enabled);
    EXPECT_EQ(b.Ws->Panel.PassCount, "42");
    EXPECT_EQ(b.Port.Sent[1 + 7], 5); // the pulse-width byte of the header
    EXPECT_EQ(b.Port.Sent[1 + 9], 0xA7);
    EXPECT_EQ(b.Chip->Program[777], Pattern(1024)[777]);
    ASSERT_FALSE(s.GaugeHistory.empty());
    EXPECT_EQ(s.GaugeHistory.front(), 0);
    EXPECT_EQ(s.GaugeHistory.back(), 100);
    EXPECT_TRUE(std::is_sorted(s.GaugeHistory.begin(), s.GaugeHistory.end()));
}

TEST(ForceWrite, ComparesOnlyBitsFiveAndSix) {
    auto run = [](uint8_t flip, bool protect, std::string& passCount) {
        TOpsBench b("OV128");
        b.LoadWords(Pattern(1024));
        b.Ws->VerifyProtect = protect;
        b.Tamper = [flip](size_t step, uint8_t, std::vector<uint8_t>& reply) {
            if (step == ReadBackStep) reply[0x21] ^= flip; // high byte of word 0010h
        };
        TRecordingSink s = b.Run(ForceWriteThread);
        passCount = b.Ws->Panel.PassCount;
        return s;
    };
    std::string count;
    TRecordingSink s = run(0x1F, false, count);
    EXPECT_EQ(s["Label2"].Text, "Data verify OK!!");
    EXPECT_EQ(count, "1");
    EXPECT_TRUE(s.Outcome.Pass);

    s = run(0x20, false, count);
    EXPECT_EQ(s["Label2"].Text, "Data Verify error at 0010H");
    EXPECT_FALSE(s.Red("Label2"));
    // Word 0010h is 05B5h; its high byte 0Bh turned 2Bh on the chip.
    EXPECT_EQ(s["Label3"].Text, "IC=15B5H, Buffer=05B5H");
    EXPECT_TRUE(s["Label3"].Visible);
    EXPECT_TRUE(s["Button2"].Enabled);
    EXPECT_EQ(count, "1"); // a difference counts the chip all the same
    // ... but it is no pass, though no line turned red.
    EXPECT_FALSE(s.Outcome.Pass);
    EXPECT_EQ(s.Outcome.FirstFailure, "Data Verify error at 0010H");

    s = run(0x40, true, count);
    EXPECT_EQ(s["Label3"].Text, "IC=25B5H, Buffer=0FBFH"); // buffer word OR 0F9Fh
}

TEST(ForceWrite, FailuresLeaveTheCountAndEnableTheRightButtons) {
    struct TCase {
        size_t Step;
        int Reply;
        const char* Line;
        const char* Text;
        bool Continue;
        TFailureClass Why;
    };
    const TCase cases[] = {
        {0, 0xB3, "Label1", "Writer type is error!", true, ByWriter},
        {10, 0xFD, "Label1", "IC adapter board error!!", true, ByChip},
        {10, 0xB0, "Label1", "Writer Error!!", true, ByWriter},
        {DataStep(9), 0xB1, "Label1", "Programming memory fail!!", true, ByChip},
        {DataStep(9), 0xFE, "Label1", "Nothing in socket or type error!", true, ByChip},
        {DataStep(9), 0xFD, "Label1", "IC adapter board error!", true, ByChip},
        {DataStep(9), 0x00, "Label1", "Unknow return value!!", true, ByWriter},
        {DataStep(9), -1, "Label1", "Connect Timeout!!", true, ByWriter},
        {ReadBackStep, 0xFD, "Label2", "IC adapter board error!!", false, ByChip},
        {ReadBackStep, -1, "Label2", "Connect Timeout!!", false, ByWriter},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Step) + " " + c.Text);
        TOpsBench b("OV128");
        b.LoadWords(Pattern(1024));
        b.Ws->Panel.PassCount = "7";
        if (c.Reply < 0)
            b.SilentFrom(c.Step);
        else
            b.ReplyAt(c.Step, {uint8_t(c.Reply)});
        const int64_t before = b.Clock.NowMs();
        TRecordingSink s = b.Run(ForceWriteThread);
        EXPECT_EQ(s[c.Line].Text, c.Text);
        EXPECT_TRUE(s.Red(c.Line));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_EQ(s["Button2"].Enabled, c.Continue);
        EXPECT_EQ(b.Ws->Panel.PassCount, "7");
        EXPECT_EQ(s.Outcome.Failure, c.Why);
        if (c.Reply >= 0 && c.Step < ReadBackStep) {
            EXPECT_EQ(b.Port.Sent.size(), c.Step + 1);
        }
        // The stream gives the writer two ticks, not three.
        if (c.Reply < 0 && c.Step == DataStep(9)) {
            EXPECT_GE(b.Clock.NowMs() - before, 2000);
            EXPECT_LT(b.Clock.NowMs() - before, 3000);
        }
    }
}

TEST(ForceWrite, NextRunClearsTheLastRunsLines) {
    TOpsBench b("OV128");
    b.LoadWords(Pattern(1024));
    TRecordingSink sink(*b.Ws);
    b.ReplyAt(DataStep(3), {0xB1});
    auto once = [&] {
        TOperationContext ctx(b.Port, b.State, b.Clock, sink, SnapshotOf(*b.Ws, b.Widths), {});
        ForceWriteThread(ctx);
    };
    once();
    EXPECT_TRUE(sink.Red("Label1"));
    b.Tamper = nullptr;
    once();
    EXPECT_FALSE(sink.Red("Label1"));
    EXPECT_EQ(sink["Label1"].Text, "Program memory Ok!!");
    EXPECT_EQ(b.Ws->Panel.PassCount, "1");
    once();
    EXPECT_EQ(b.Ws->Panel.PassCount, "2");
}

// Force write and auto program count with one rule.
TEST(PassCount, NineDigitsAtMost) {
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"0", "1"},
                                                          {"99", "100"},
                                                          {"999999998", "999999999"},
                                                          {"999999999", "1"},
                                                          {"1000000000", "1"},
                                                          {"", "1"},
                                                          {"x3", "1"},
                                                          {"-4", "1"}})
        EXPECT_EQ(AdvancePassCount(from), to) << from;
}

} // namespace
} // namespace orvan::test
