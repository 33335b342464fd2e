// Read device against the simulated writer: what each step stores, where
// each failure lands, the gauge, and a stop inside the stream.
#include "ops/Readic.h"
#include "testlib/OpsBench.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvan::test {
namespace {

// OV128 (flash, 1024 words, 128 EEPROM bytes). Steps: 0 poll, OPTION header
// 1-10, second area 11-20, ID 21-30, program memory 31-40, EEPROM 41-50.
constexpr size_t OptionStep = 10, Option2Step = 20, IDStep = 30, MemoryStep = 40, EEStep = 50;

void FillChip(sim::TSimChip& c) {
    c.Option = {0x2F5A, 0x0123, 0x0456};
    c.Option2 = {0x3FFF, 0x0789, 0x0ABC};
    for (size_t k = 0; k < c.ID.size(); ++k)
        c.ID[k] = uint16_t(0x100 + k);
    for (size_t k = 0; k < c.Program.size(); ++k)
        c.Program[k] = uint16_t((k * 37) & 0x3FFF);
    for (size_t k = 0; k < c.EEPROM.size(); ++k)
        c.EEPROM[k] = uint8_t(0xA0 ^ k);
}

TEST(Read, FlashChipLandsInEveryBuffer) {
    TOpsBench b("OV128");
    FillChip(*b.Chip);
    const std::string blankSum = b.Ws->Panel.Checksum;
    TRecordingSink s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label1"].Text, "Read OPTION OK!");
    EXPECT_EQ(s["Label2"].Text, "Read ID and Checksum OK!");
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");
    EXPECT_EQ(s["EEInfo"].Text, "Read EEPROM OK!");
    EXPECT_TRUE(s["EEInfo"].Visible);
    EXPECT_TRUE(s["Button1"].Enabled);
    for (const char* line : {"Label1", "Label2", "Label3", "EEInfo"})
        EXPECT_FALSE(s.Red(line)) << line;
    EXPECT_TRUE(s.Outcome.Pass);

    const TBufferBlock& buf = b.Ws->Buffers;
    EXPECT_EQ(PairToWord(buf.OptionLo, buf.OptionHi), 0x2F5Au);
    // Aux groups: the two words after each OPTION word, as word pairs.
    EXPECT_EQ(GetWord(buf.AuxBytes.data(), 0), 0x0123u);
    EXPECT_EQ(GetWord(buf.AuxBytes.data(), 1), 0x0456u);
    EXPECT_EQ(GetWord(buf.AuxBytes.data(), 2), 0x0789u);
    EXPECT_EQ(GetWord(buf.AuxBytes.data(), 3), 0x0ABCu);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(GetWord(buf.IDBuffer.data(), k), 0x100u + unsigned(k));
    for (int k = 0; k < 1024; ++k)
        ASSERT_EQ(GetWord(buf.ProgramBuffer.data(), k), (unsigned(k) * 37) & 0x3FFF) << k;
    // Past the device's memory the buffer keeps what it held.
    EXPECT_EQ(buf.ProgramBuffer[2048], Blank7);
    for (int k = 0; k < 128; ++k)
        ASSERT_EQ(buf.EEBuffer[size_t(k)], uint8_t(0xA0 ^ k));
    EXPECT_EQ(buf.EEBuffer[128], 0);
    EXPECT_TRUE(b.Ws->ReadDone);
    EXPECT_NE(b.Ws->Panel.Checksum, blankSum); // recomputed over the new image
    EXPECT_FALSE(b.State.ExchangeOpen);

    // The gauge starts at 0, never moves back, and ends at 100.
    ASSERT_FALSE(s.GaugeHistory.empty());
    EXPECT_EQ(s.GaugeHistory.front(), 0);
    EXPECT_EQ(s.GaugeHistory.back(), 100);
    EXPECT_TRUE(std::is_sorted(s.GaugeHistory.begin(), s.GaugeHistory.end()));
    EXPECT_GT(s.GaugeHistory.size(), 50u);
}

TEST(Read, OtpChipHasNoEepromLine) {
    TOpsBench b("OV101");
    b.Chip->Program[3] = 0x0ABC;
    b.Ws->Buffers.EEBuffer[0] = 0x55;
    TRecordingSink s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");
    EXPECT_FALSE(s.Dialog.Has("EEInfo"));
    EXPECT_TRUE(s.Outcome.Pass);
    EXPECT_EQ(b.Ws->Buffers.EEBuffer[0], 0x55);
    EXPECT_EQ(GetWord(b.Ws->Buffers.ProgramBuffer.data(), 3), 0x0ABCu);
}

TEST(Read, UnknownModelAndWriterCheck) {
    TOpsBench b("OV128");
    b.Ws->DeviceName = "NOPE";
    TRecordingSink s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label1"].Text, "Unknow IC Type!!");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_TRUE(b.Port.Sent.empty());

    TOpsBench w("OV128", sim::TWriterKind::Type2); // OV128 needs a type 1 writer
    s = w.Run(ReadICThread);
    EXPECT_EQ(s["Label1"].Text, "Writer type is error!");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Writer);
}

struct TStepFault {
    size_t Step;
    int Reply; // -1: silent from the step on
    const char* Line;
    const char* Text;
    TFailureClass Why = ByWriter;
};

// Each result on each step: the line it lands on, and what the buffers hold
// afterwards (the earlier areas stored, the later ones untouched).
TEST(Read, EachFailureLandsOnItsLine) {
    const TStepFault faults[] = {
        {0, -1, "Label1", "Connect Timeout!! (1)"},
        {OptionStep, 0xFE, "Label1", "Nothing in socket or type error!!", ByChip},
        {OptionStep, 0xFD, "Label1", "IC adapter board error!!", ByChip},
        {OptionStep, -1, "Label1", "Connect Timeout!! (2)"},
        {OptionStep, 0xB1, "Label2", "Writer Error!!"},
        {Option2Step, 0xFE, "Label1", "Nothing in socket or type error!!", ByChip},
        {Option2Step, -1, "Label1", "Connect Timeout!! (3)"},
        {Option2Step, 0xB8, "Label2", "Writer Error!!"}, // end mark before the data
        {IDStep, 0xFD, "Label2", "IC adapter board error!!", ByChip},
        {IDStep, -1, "Label2", "Connect Timeout!! (4)"},
        {IDStep, 0x90, "Label2", "Writer Error!!"},
        {MemoryStep, 0xFE, "Label3", "Nothing in socket or type error!!", ByChip},
        {MemoryStep, 0xFD, "Label3", "IC adapter board error!!", ByChip},
        {MemoryStep, -1, "Label3", "Connect Timeout!! (6)"},
        {MemoryStep, 0xB8, "Label3", "Read error!!", ByChip},
        {EEStep, -1, "EEInfo", "Connect Timeout!! (7)"},
    };
    for (const TStepFault& f : faults) {
        SCOPED_TRACE(std::to_string(f.Step) + " " + f.Text);
        TOpsBench b("OV128");
        FillChip(*b.Chip);
        if (f.Reply < 0)
            b.SilentFrom(f.Step);
        else
            b.ReplyAt(f.Step, {uint8_t(f.Reply)});
        TRecordingSink s = b.Run(ReadICThread);
        EXPECT_EQ(s[f.Line].Text, f.Text);
        EXPECT_TRUE(s.Red(f.Line));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_EQ(s.Outcome.Failure, f.Why);

        const TBufferBlock& buf = b.Ws->Buffers;
        const bool optionStored = f.Step > OptionStep;
        EXPECT_EQ(PairToWord(buf.OptionLo, buf.OptionHi), optionStored ? 0x2F5Au : 0x3FFFu);
        EXPECT_EQ(GetWord(buf.AuxBytes.data(), 2), f.Step > Option2Step ? 0x0789u : 0u);
        EXPECT_EQ(GetWord(buf.IDBuffer.data(), 0), f.Step > IDStep ? 0x100u : 0x3FFFu);
        EXPECT_EQ(b.Ws->ReadDone, f.Step > MemoryStep);
        EXPECT_EQ(GetWord(buf.ProgramBuffer.data(), 1), f.Step > MemoryStep ? 37u : 0x3FFFu);
        EXPECT_EQ(buf.EEBuffer[1], 0); // the EEPROM never arrives here
        if (f.Step <= MemoryStep) {
            EXPECT_TRUE(std::none_of(s.GaugeHistory.begin(), s.GaugeHistory.end(),
                                     [](int g) { return g == 100; }));
        }
    }
}

TEST(Read, HeaderOfTheMemoryPhaseWaitsForCts) {
    TOpsBench b("OV128");
    b.Port.CtsRule = [](size_t sent) { return sent < 35; };
    TRecordingSink s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Connect Timeout!! (5)");
    EXPECT_TRUE(s.Red("Label3"));
    EXPECT_EQ(b.Port.Sent.size(), 35u); // no byte went out without CTS
    EXPECT_TRUE(b.State.ExchangeOpen);  // the writer holds half a header
}

TEST(Read, StreamLengthAroundTheDevice) {
    const int n = 2048;
    auto stream = [](int count) {
        std::vector<uint8_t> v(size_t(count), 0x11);
        v.push_back(0xB8);
        return v;
    };
    // Eleven bytes too many are taken; only n reach the buffer.
    TOpsBench more("OV128");
    more.ReplyAt(MemoryStep, stream(n + 11));
    TRecordingSink s = more.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");
    EXPECT_EQ(more.Ws->Buffers.ProgramBuffer[size_t(n - 1)], 0x11);
    EXPECT_EQ(more.Ws->Buffers.ProgramBuffer[size_t(n)], Blank7);

    // Bytes with the top bit set in the stream are skipped, not stored.
    TOpsBench odd("OV128");
    std::vector<uint8_t> v = stream(n);
    v.insert(v.begin() + 5, 0xB5);
    odd.ReplyAt(MemoryStep, v);
    s = odd.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");

    TOpsBench fewer("OV128");
    fewer.ReplyAt(MemoryStep, stream(n - 1));
    s = fewer.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read error!!");
    EXPECT_FALSE(fewer.Ws->ReadDone);
}

TEST(Read, EepromFailureKeepsTheProgramMemory) {
    TOpsBench b("OV128");
    FillChip(*b.Chip);
    b.Ws->Buffers.EEBuffer[3] = 0x42;
    // EEPROM bytes are plain 8-bit data: a short reply is a time-out.
    b.ReplyAt(EEStep, {0xFD, 0xFE});
    TRecordingSink s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");
    EXPECT_EQ(s["EEInfo"].Text, "Connect Timeout!! (7)");
    EXPECT_TRUE(s.Red("EEInfo"));
    EXPECT_FALSE(s.Outcome.Pass); // the program memory came, the EEPROM did not
    EXPECT_TRUE(b.Ws->ReadDone);
    EXPECT_EQ(b.Ws->Buffers.EEBuffer[3], 0x42);
}

TEST(Read, StopInsideTheStreamThenTheNextReadSucceeds) {
    TOpsBench b("OV128");
    FillChip(*b.Chip);
    std::stop_source stop;
    // The stop arrives as the header's last byte goes out: the stream is
    // still to come.
    b.Tamper = [&](size_t step, uint8_t, std::vector<uint8_t>&) {
        if (step == MemoryStep) stop.request_stop();
    };
    const int64_t before = b.Clock.NowMs();
    TRecordingSink s = b.Run(ReadICThread, stop.get_token());
    EXPECT_LT(b.Clock.NowMs() - before, 1000); // no time-out was waited out
    EXPECT_FALSE(s["Button1"].Enabled);        // the dialog is going anyway
    EXPECT_NE(s["Label3"].Text, "Read Data OK");
    EXPECT_FALSE(b.Ws->ReadDone);
    EXPECT_TRUE(b.State.ExchangeOpen);
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Stopped);

    b.Tamper = nullptr;
    s = b.Run(ReadICThread);
    EXPECT_EQ(s["Label3"].Text, "Read Data OK");
    EXPECT_EQ(s["EEInfo"].Text, "Read EEPROM OK!");
    EXPECT_TRUE(b.Ws->ReadDone);
    EXPECT_FALSE(b.State.ExchangeOpen);
}

} // namespace
} // namespace orvan::test
