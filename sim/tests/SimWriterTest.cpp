// The simulated writer byte by byte: what it answers, what it does to the
// chip, and its image file.
#include "sim/SimWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace orvan::sim {
namespace {

using Bytes = std::vector<uint8_t>;

struct SimFixture : ::testing::Test {
    TSimChip Chip;
    std::unique_ptr<TSimWriter> Writer;
    int64_t Now = 1000;
    int Changes = 0, Runs = 0;

    void Start(const char* model, TSimConfig config = {}) {
        ASSERT_TRUE(Chip.MakeBlank(model));
        Writer = std::make_unique<TSimWriter>(Chip, config);
        Writer->OnChipChanged = [this] { ++Changes; };
        Writer->OnRunComplete = [this] { ++Runs; };
    }
    Bytes Send(const Bytes& in) {
        Bytes out;
        for (uint8_t b : in)
            Writer->OnByte(b, Now++, out);
        return out;
    }
    Bytes Head(unsigned area, uint8_t op, unsigned lastAddr = 0) const {
        return {0xA1,
                0,
                0,
                uint8_t(lastAddr & 0xFF),
                uint8_t(lastAddr >> 8),
                uint8_t(area),
                uint8_t(Chip.Device.ICCodeHi | (area == 3 ? 0x80 : 0)),
                0x02,
                uint8_t(Chip.Device.ICCodeLo),
                op};
    }
    // Programs `data` into `area`; returns the replies to the data bytes.
    Bytes Program(unsigned area, unsigned lastAddr, const Bytes& data) {
        EXPECT_EQ(Send(Head(area, 0xA7, lastAddr)), Bytes{0xB5});
        return Send(data);
    }
    static Bytes Accepts(size_t n) {
        Bytes b(n, 0xB5);
        b.back() = 0xB0;
        return b;
    }
};

TEST_F(SimFixture, PollAndFirmwareText) {
    for (auto [kind, reply] : {std::pair{TWriterKind::Type1, 0xB2},
                               {TWriterKind::Type2, 0xB3},
                               {TWriterKind::Universal, 0xB4}}) {
        TSimConfig c;
        c.Kind = kind;
        c.Firmware = "UNIV 2.1";
        Start("OV101", c);
        EXPECT_EQ(Send({0xA0}), Bytes{uint8_t(reply)});
        EXPECT_EQ(Send({0xAD}), (Bytes{'U', 'N', 'I', 'V', ' ', '2', '.', '1', 0, 0, 0, 0}));
    }
}

TEST_F(SimFixture, ReadsEachArea) {
    Start("OV128");
    Chip.Program[1] = 0x1234;
    Chip.Option = {0x3FF2, 0x0101, 0x0202};
    Chip.Option2 = {0x3FFF, 0x0303, 0x0404};
    Chip.ID[15] = 0x0041;
    Chip.EEPROM[0] = 0x5A;
    Bytes program = Send(Head(0, 0xA5, 0x3FF));
    ASSERT_EQ(program.size(), 2 * 1024u + 1);
    EXPECT_EQ(program[2], 0x34);
    EXPECT_EQ(program[3], 0x24);
    EXPECT_EQ(program.back(), 0xB8);
    EXPECT_EQ(Send(Head(1, 0xA5, 2)), (Bytes{0x72, 0x7F, 0x01, 0x02, 0x02, 0x04, 0xB8}));
    EXPECT_EQ(Send(Head(5, 0xA5, 2)), (Bytes{0x7F, 0x7F, 0x03, 0x06, 0x04, 0x08, 0xB8}));
    Bytes id = Send(Head(2, 0xA5, 15));
    ASSERT_EQ(id.size(), 33u);
    EXPECT_EQ(id[30], 0x41);
    Bytes ee = Send(Head(3, 0xA5, 0x7F));
    ASSERT_EQ(ee.size(), 128u); // 8-bit data, no end mark
    EXPECT_EQ(ee[0], 0x5A);
    EXPECT_EQ(ee[1], 0xFF);
}

TEST_F(SimFixture, WrongDeviceCodeOrEmptySocketIsNoChip) {
    Start("OV128");
    Bytes h = Head(0, 0xA5, 0x3FF);
    h[6] = 0x33;
    EXPECT_EQ(Send(h), Bytes{0xFE});
    h = Head(0, 0xA5, 0x3FF);
    h[8] = 0x28; // OV129's code
    EXPECT_EQ(Send(h), Bytes{0xFE});
    // Bit 7 of the codes is no part of them.
    h = Head(1, 0xA5, 2);
    h[8] |= 0x80;
    EXPECT_EQ(Send(h).back(), 0xB8);
    Chip.SocketFull = false;
    EXPECT_EQ(Send(Head(1, 0xA5, 2)), Bytes{0xFE});
}

TEST_F(SimFixture, OtpCellsOnlyClear) {
    Start("OV101");
    // Word 0 = 1555h (0x55, 0x2A): fine on a blank chip.
    EXPECT_EQ(Program(0, 1, {0x55, 0x2A, 0x7F, 0x7F}), Accepts(4));
    EXPECT_EQ(Chip.Program[0], 0x1555);
    // Clearing further bits of a programmed word is fine...
    EXPECT_EQ(Program(0, 1, {0x15, 0x2A, 0x7F, 0x7F}).front(), 0xB5);
    // ...setting one again is not: B1 at that byte, the block ends.
    EXPECT_EQ(Program(0, 1, {0x15, 0x2A, 0x7F, 0x7F}), Accepts(4));
    EXPECT_EQ(Program(0, 1, {0x15, 0x2B}), (Bytes{0xB5, 0xB1}));
    EXPECT_EQ(Chip.Program[0], 0x1515);
    // After the failure the writer waits for a new command.
    EXPECT_EQ(Send({0xA0}), Bytes{0xB4});
}

// Flash cells, as one-time-programmable ones, only go from 1 to 0 when
// programmed; the erase sets them again.
TEST_F(SimFixture, FlashClearsBitsOnlyUntilErased) {
    Start("OV128");
    Bytes data(2048, 0x11);
    EXPECT_EQ(Program(0, 0x3FF, data), Accepts(2048));
    EXPECT_EQ(Chip.Program[0], 0x0891);
    data.assign(2048, 0x00);
    EXPECT_EQ(Program(0, 0x3FF, data), Accepts(2048));
    EXPECT_EQ(Chip.Program[1023], 0x0000);
    data.assign(2048, 0x11);
    EXPECT_EQ(Program(0, 0x3FF, data), (Bytes{0xB1}));
    EXPECT_EQ(Chip.Program[0], 0x0000);
    Chip.EEPROM[3] = 0x00;
    Chip.Option[1] = 0x0123;
    EXPECT_EQ(Send(Head(0, 0xA8, 0x3FF)), Bytes{0xB8});
    EXPECT_EQ(Chip.Program[0], BlankWord);
    EXPECT_EQ(Program(0, 0x3FF, data), Accepts(2048));
    EXPECT_EQ(Chip.EEPROM[3], 0xFF);
    EXPECT_EQ(Chip.Option[1], 0x0123); // factory words stay
    // An OTP chip cannot be erased.
    Start("OV101");
    EXPECT_EQ(Send(Head(0, 0xA8, 0x1FF)), Bytes{0xFE});
}

TEST_F(SimFixture, EepromTakesDataAddressPairs) {
    Start("OV128");
    EXPECT_EQ(Send(Head(3, 0xA7, 0x7F)), Bytes{0xB5});
    Bytes stream;
    for (int a = 0; a < 128; ++a) {
        stream.push_back(uint8_t(0xFF - a));
        stream.push_back(uint8_t((a * 5) % 128)); // addresses out of order
    }
    EXPECT_EQ(Send(stream), Accepts(256));
    EXPECT_EQ(Chip.EEPROM[0], 0xFF);
    EXPECT_EQ(Chip.EEPROM[5], 0xFE);
    Start("OV101");
    EXPECT_EQ(Send(Head(3, 0xA5, 0)), Bytes{0xFE});
}

TEST_F(SimFixture, ProtectedChipReadsOnlyBitsFiveSixTwelveThirteen) {
    Start("OV128");
    Chip.Program[0] = 0x0000;
    Chip.Program[1] = 0x3FFF;
    Chip.Program[2] = 0x1234;
    // OPTION with bit 13 programmed (0): 1FFFh.
    EXPECT_EQ(Program(1, 0, {0x7F, 0x3F}), Accepts(2));
    Bytes r = Send(Head(0, 0xA5, 2));
    EXPECT_EQ(r, (Bytes{0x1F, 0x1F, 0x7F, 0x7F, 0x3F, 0x3F, 0xB8}));
    // The ID and OPTION still read as they are.
    EXPECT_EQ(Send(Head(1, 0xA5, 0)), (Bytes{0x7F, 0x3F, 0xB8}));
}

TEST_F(SimFixture, RunEndsWithTheOptionReadBack) {
    Start("OV128");
    EXPECT_EQ(Program(1, 0, {0x7A, 0x7F}), Accepts(2));
    Send(Head(1, 0xA5, 0));
    EXPECT_EQ(Runs, 0); // OPTION alone is no run
    EXPECT_EQ(Program(2, 7, Bytes(16, 0x41)), Accepts(16));
    EXPECT_EQ(Program(0, 0x3FF, Bytes(2048, 0x00)), Accepts(2048));
    Send(Head(2, 0xA5, 15));
    EXPECT_EQ(Runs, 0);
    Send(Head(1, 0xA5, 0));
    EXPECT_EQ(Runs, 1);
    Send(Head(1, 0xA5, 0));
    EXPECT_EQ(Runs, 1);
    // An erase starts the count again.
    EXPECT_EQ(Program(2, 7, Bytes(16, 0x41)), Accepts(16));
    EXPECT_EQ(Program(0, 0x3FF, Bytes(2048, 0x00)), Accepts(2048));
    EXPECT_EQ(Send(Head(0, 0xA8, 0x3FF)), Bytes{0xB8});
    EXPECT_EQ(Program(1, 0, {0x7A, 0x7F}), Accepts(2));
    Send(Head(1, 0xA5, 0));
    EXPECT_EQ(Runs, 1);
    EXPECT_GE(Changes, 1);
}

TEST_F(SimFixture, ProgrammingBlocksAreSizedByTheHeader) {
    Start("OV101");
    EXPECT_EQ(Program(2, 7, Bytes(16, 0x41)), Accepts(16));
    EXPECT_EQ(Chip.ID[7], 0x20C1);
    EXPECT_EQ(Chip.ID[8], BlankWord);
    // A header asking for more than the chip has is cut to the chip.
    EXPECT_EQ(Program(0, 0xFFFF, Bytes(1024, 0x7F)), Accepts(1024));
}

TEST_F(SimFixture, FaultsOnRequest) {
    Start("OV128");
    TSimFaults f;
    f.FailArea = 0;
    f.FailByte = 3;
    Writer->SetFaults(f);
    EXPECT_EQ(Program(0, 0x3FF, Bytes(8, 0)), (Bytes{0xB5, 0xB5, 0xB5, 0xB1}));

    f = {};
    f.SilentFrom = 2;
    Writer->SetFaults(f);
    EXPECT_EQ(Send({0xA0, 0xA0, 0xA0, 0xA0}), (Bytes{0xB4, 0xB4}));

    f = {};
    f.BadReplyStep = 1;
    f.BadReplyByte = 0x99;
    Writer->SetFaults(f);
    EXPECT_EQ(Send({0xA0, 0xA0, 0xA0}), (Bytes{0xB4, 0x99, 0xB4}));

    f = {};
    f.AdapterError = true;
    Writer->SetFaults(f);
    EXPECT_EQ(Send(Head(1, 0xA5, 2)), Bytes{0xFD});
    f = {};
    f.EmptySocket = true;
    Writer->SetFaults(f);
    EXPECT_EQ(Send(Head(1, 0xA5, 2)), Bytes{0xFE});

    f = {};
    f.DropAt = 1;
    Writer->SetFaults(f);
    EXPECT_EQ(Send({0xA0}), Bytes{0xB4});
    EXPECT_FALSE(Writer->DropRequested());
    EXPECT_TRUE(Send({0xA0}).empty());
    EXPECT_TRUE(Writer->DropRequested());
}

TEST_F(SimFixture, AHalfHeaderIsForgottenAfterAGap) {
    Start("OV128");
    Bytes h = Head(1, 0xA5, 2);
    EXPECT_TRUE(Send(Bytes(h.begin(), h.begin() + 4)).empty());
    Now += 1500;
    EXPECT_EQ(Send({0xA0}), Bytes{0xB4});
}

TEST(SimChipImage, RoundTripAndErrors) {
    TSimChip a;
    ASSERT_TRUE(a.MakeBlank("OV128"));
    a.Program[0x3FF] = 0x2AAA;
    a.Option = {0x1FF2, 1, 2};
    a.ID[3] = 0x41;
    a.EEPROM[0x7F] = 0x00;
    a.SocketFull = false;
    char path[] = "/tmp/orvan-chip-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string error;
    ASSERT_TRUE(a.Save(path, error)) << error;
    TSimChip b;
    ASSERT_TRUE(b.Load(path, error)) << error;
    std::remove(path);
    EXPECT_EQ(b.ToText(), a.ToText());
    EXPECT_FALSE(b.SocketFull);
    EXPECT_TRUE(b.Protected());

    struct {
        const char* text;
        const char* error;
    } bad[] = {
        {"model OV999\n", "line 1: unknown model 'OV999'"},
        {"option 3FFF\n", "line 1: the model must come first"},
        {"model OV101\nprogram 03FF 1 2\n", "line 2: past the end of the program area"},
        {"model OV101\nid 4000\n", "line 2: bad value '4000'"},
        {"model OV101\neeprom 0000 00\n", "line 2: past the end of the eeprom area"},
        {"model OV101\nsocket maybe\n", "line 2: socket is full or empty"},
        {"# nothing\n", "no model record"},
    };
    for (const auto& c : bad) {
        TSimChip chip;
        std::string e;
        EXPECT_FALSE(chip.FromText(c.text, e)) << c.text;
        EXPECT_EQ(e, c.error);
    }
    TSimChip chip;
    EXPECT_TRUE(chip.FromText("model OV101 # comment\n\nprogram 0000 0001 0002\n", error));
    EXPECT_EQ(chip.Program[1], 2);
}

} // namespace
} // namespace orvan::sim
