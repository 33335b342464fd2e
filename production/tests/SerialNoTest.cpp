// Serial numbers: the next number in both modes, the number in the
// program memory, and the words allowed to carry it.
#include "production/SerialNo.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace orvan {
namespace {

TSerialSettings Settings(int n, const std::vector<int>& msbFirst, int random = 0, int inc = 1) {
    TSerialSettings s;
    s.SerialByteCount = n;
    for (int j = 0; j < n; ++j)
        s.SerialBytes[size_t(j)] = msbFirst[size_t(n - 1 - j)];
    s.SerialRandom = random;
    s.SerialIncrement = inc;
    return s;
}

std::vector<std::string> Walk(TSerialSettings s, int steps) {
    std::vector<std::string> seen{s.HexText()};
    for (int i = 0; i < steps; ++i) {
        SerialNoNext(s);
        seen.push_back(s.HexText());
    }
    return seen;
}

TEST(SerialNoNext, SequentialCarriesAndWrapsSilently) {
    TSerialSettings s = Settings(2, {0x01, 0x02}, 0, 255);
    SerialNoNext(s);
    EXPECT_EQ(s.HexText(), "0201");
    s = Settings(1, {0xFF});
    SerialNoNext(s);
    EXPECT_EQ(s.HexText(), "00");
    // The carry runs through every byte, and the top byte wraps.
    s = Settings(3, {0xFF, 0xFF, 0xFE}, 0, 3);
    SerialNoNext(s);
    EXPECT_EQ(s.HexText(), "000001");
    s = Settings(8, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF});
    SerialNoNext(s);
    EXPECT_EQ(s.HexText(), "0000000000010000");
}

TEST(SerialNoNext, ShiftRegisterSequences) {
    EXPECT_EQ(Walk(Settings(1, {0}, 1), 7),
              (std::vector<std::string>{"00", "01", "03", "06", "0D", "1B", "37", "6F"}));
    EXPECT_EQ(
        Walk(Settings(2, {0, 0}, 1), 7),
        (std::vector<std::string>{"0000", "0001", "0003", "0006", "000D", "001A", "0035", "006B"}));
    // All ones maps onto itself, for every length.
    for (int n = 1; n <= 8; ++n) {
        TSerialSettings s = Settings(n, std::vector<int>(size_t(n), 0xFF), 1);
        SerialNoNext(s);
        EXPECT_EQ(s.HexText(), std::string(size_t(2 * n), 'F')) << n;
    }
}

// The register runs through every value but all ones before it repeats.
TEST(SerialNoNext, FullCycleForOneAndTwoBytes) {
    for (int n : {1, 2}) {
        const int period = (1 << (8 * n)) - 1;
        TSerialSettings s = Settings(n, std::vector<int>(size_t(n), 0), 1);
        std::set<std::string> seen;
        for (int i = 0; i < period; ++i) {
            seen.insert(s.HexText());
            SerialNoNext(s);
        }
        EXPECT_EQ(int(seen.size()), period) << n;
        EXPECT_EQ(s.HexText(), std::string(size_t(2 * n), '0')) << n;
        EXPECT_EQ(seen.count(std::string(size_t(2 * n), 'F')), 0u);
    }
}

// Longer registers: no repeat within a production shift's worth of chips.
TEST(SerialNoNext, LongRegistersDoNotRepeatEarly) {
    for (int n = 3; n <= 8; ++n) {
        TSerialSettings s = Settings(n, std::vector<int>(size_t(n), 0), 1);
        std::set<std::string> seen;
        for (int i = 0; i < 20000; ++i) {
            EXPECT_TRUE(seen.insert(s.HexText()).second) << "n=" << n << " step " << i;
            SerialNoNext(s);
        }
    }
}

struct SerialMemory : ::testing::Test {
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
    void SetUp() override {
        ASSERT_TRUE(Ws->SelectDevice("OV128"));
        for (int w = 0x10; w < 0x14; ++w)
            SetWord(Ws->Buffers.ProgramBuffer.data(), w, 0x3100);
    }
    unsigned Word(int w) { return GetWord(Ws->Buffers.ProgramBuffer.data(), w); }
};

TEST_F(SerialMemory, ByteOrderAndHighLiterals) {
    TSerialSettings& s = Ws->Serial;
    s = Settings(2, {0x12, 0x34});
    s.SerialModeOn = true;
    s.SerialStartAddr = 0x10;
    const std::string before = Ws->Panel.Checksum;
    SerialNo2Memory(*Ws);
    EXPECT_EQ(Word(0x10), 0x3112u);
    EXPECT_EQ(Word(0x11), 0x3134u);
    EXPECT_EQ(Ws->Panel.SerialNo, "1234");
    EXPECT_NE(Ws->Panel.Checksum, before);
    s.SerialLsbFirst = 1;
    SerialNo2Memory(*Ws);
    EXPECT_EQ(Word(0x10), 0x3134u);
    EXPECT_EQ(Word(0x11), 0x3112u);
    // A literal of 80h or more sets bit 0 of the upper byte: still an RTIW word.
    s = Settings(2, {0xFF, 0x80});
    s.SerialModeOn = true;
    s.SerialStartAddr = 0x10;
    SerialNo2Memory(*Ws);
    EXPECT_EQ(Word(0x10), 0x31FFu);
    EXPECT_EQ(Word(0x11), 0x3180u);
    s = Settings(2, {0x01, 0x02});
    s.SerialModeOn = true;
    s.SerialStartAddr = 0x10;
    SerialNo2Memory(*Ws);
    EXPECT_EQ(Word(0x10), 0x3101u);
    EXPECT_TRUE(SerialWordsAreRTIW(s, Ws->Buffers, Ws->Device));
}

TEST_F(SerialMemory, ModeOffOnlyRedrawsTheDisplay) {
    Ws->Serial = Settings(1, {0x55});
    Ws->Serial.SerialStartAddr = 0x10;
    SerialNo2Memory(*Ws);
    EXPECT_EQ(Word(0x10), 0x3100u);
    EXPECT_EQ(Ws->Panel.SerialNo, "55");
}

TEST_F(SerialMemory, WordsOutsideRTIWOrMemoryAreRefused) {
    TSerialSettings s = Settings(3, {1, 2, 3});
    s.SerialModeOn = true;
    s.SerialStartAddr = 0x12; // 0x14 is no RTIW word
    EXPECT_FALSE(SerialWordsAreRTIW(s, Ws->Buffers, Ws->Device));
    EXPECT_FALSE(WriteSerialNumber(s, Ws->Buffers, Ws->Device));
    EXPECT_EQ(Word(0x12), 0x3100u); // nothing written
    // RTIW words past the device's last word do not count, nor beyond the buffer.
    const int words = Ws->Device.WordCount();
    SetWord(Ws->Buffers.ProgramBuffer.data(), words - 1, 0x3100);
    SetWord(Ws->Buffers.ProgramBuffer.data(), words, 0x3100);
    s.SerialByteCount = 1;
    s.SerialStartAddr = words - 1;
    EXPECT_TRUE(SerialWordsAreRTIW(s, Ws->Buffers, Ws->Device));
    s.SerialByteCount = 2;
    EXPECT_FALSE(SerialWordsAreRTIW(s, Ws->Buffers, Ws->Device));
    for (int32_t a : {-1, ProgramBytes / 2, 0x7FFFFFFF}) {
        s.SerialStartAddr = a;
        EXPECT_FALSE(SerialWordsAreRTIW(s, Ws->Buffers, Ws->Device)) << a;
    }
    // A byte count outside 1..8 neither checks nor writes nor advances.
    s.SerialStartAddr = 0x10;
    for (int32_t n : {0, 9, -3}) {
        s.SerialByteCount = n;
        EXPECT_FALSE(WriteSerialNumber(s, Ws->Buffers, Ws->Device));
        SerialNoNext(s);
    }
}

} // namespace
} // namespace orvan
