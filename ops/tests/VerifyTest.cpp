// Verify, program OPTION and program EEPROM against the simulated writer.
#include "ops/Verify.h"
#include "ops/Programee.h"
#include "ops/Programoption.h"
#include "testlib/OpsBench.h"

#include <gtest/gtest.h>

namespace orvan::test {
namespace {

// Verify on OV128: 0 poll, OPTION header 1-10, ID 11-20, program memory
// 21-30, EEPROM 31-40.
constexpr size_t VOption = 10, VID = 20, VMemory = 30, VEE = 40;

// A chip that holds exactly what the workspace holds, the checksum text of
// the status panel in ID bytes 12-15 included.
void Matching(TOpsBench& b, unsigned option = 0x3F25) {
    std::vector<unsigned> words;
    for (int k = 0; k < b.Ws->Device.WordCount(); ++k)
        words.push_back(unsigned(k * 53 + 9) & 0x3FFF);
    b.LoadWords(words);
    for (size_t k = 0; k < words.size(); ++k)
        b.Chip->Program[k] = uint16_t(words[k]);
    WordToPair(option, b.Ws->Buffers.OptionLo, b.Ws->Buffers.OptionHi);
    b.Chip->Option[0] = uint16_t(option);
    for (int k = 0; k < 6; ++k) {
        SetWord(b.Ws->Buffers.IDBuffer.data(), k, 0x0200u + unsigned(k));
        b.Chip->ID[size_t(k)] = uint16_t(0x0200 + k);
    }
    const std::string& sum = b.Ws->Panel.Checksum;
    ASSERT_EQ(sum.size(), 4u);
    b.Chip->ID[6] = uint16_t(sum[0] + sum[1] * 128);
    b.Chip->ID[7] = uint16_t(sum[2] + sum[3] * 128);
    for (size_t k = 0; k < b.Chip->EEPROM.size(); ++k)
        b.Chip->EEPROM[k] = b.Ws->Buffers.EEBuffer[k] = uint8_t(k * 3);
}

TEST(Verify, MatchingChipPassesEveryArea) {
    TOpsBench b("OV128");
    Matching(b);
    TRecordingSink s = b.Run(VerifyThread);
    EXPECT_EQ(s["StaticText1"].Text, "Verify");
    EXPECT_EQ(s["Label2"].Text, "OPTION verify OK!!");
    EXPECT_EQ(s["Label4"].Text, "ID && Checksum verify OK!!");
    EXPECT_EQ(s["Label5"].Text, "Data verify OK!!");
    EXPECT_EQ(s["EEInfo"].Text, "EEPROM Data Verify OK!!");
    EXPECT_TRUE(s["EEInfo"].Visible);
    for (const char* line : {"Label2", "Label4", "Label5", "EEInfo"})
        EXPECT_FALSE(s.Red(line)) << line;
    EXPECT_FALSE(s.Dialog.Has("Label3"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);

    TOpsBench otp("OV101");
    Matching(otp, 0x2FFF);
    s = otp.Run(VerifyThread);
    EXPECT_EQ(s["Label5"].Text, "Data verify OK!!");
    EXPECT_FALSE(s.Dialog.Has("EEInfo"));
}

TEST(Verify, OptionAndIdVerdictsLetTheRunGoOn) {
    struct TCase {
        unsigned ChipOption;
        int IdWord;    // ID word to change on the chip, -1 none
        int SumChange; // checksum character to change, -1 none
        const char* OptionLine;
        const char* IdLine;
    };
    const TCase cases[] = {
        {0x3F24, -1, -1, "OPTION verify Fail!!", "ID && Checksum verify OK!!"},
        {0x3F25, 2, -1, "OPTION verify OK!!", "ID verify fail!!"},
        {0x3F25, -1, 3, "OPTION verify OK!!", "Checksum verify fail!!"},
        {0x3F25, 5, 0, "OPTION verify OK!!", "ID && Checksum verify fail!!"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.IdLine);
        TOpsBench b("OV128");
        Matching(b);
        b.Chip->Option[0] = uint16_t(c.ChipOption);
        if (c.IdWord >= 0) b.Chip->ID[size_t(c.IdWord)] ^= 0x0100;
        if (c.SumChange >= 0) b.Chip->ID[6 + size_t(c.SumChange) / 2] ^= 0x0001;
        TRecordingSink s = b.Run(VerifyThread);
        EXPECT_EQ(s["Label2"].Text, c.OptionLine);
        EXPECT_EQ(s.Red("Label2"), c.ChipOption != 0x3F25);
        EXPECT_EQ(s["Label4"].Text, c.IdLine);
        EXPECT_EQ(s.Red("Label4"), c.IdWord >= 0 || c.SumChange >= 0);
        EXPECT_EQ(s["Label5"].Text, "Data verify OK!!");
        EXPECT_EQ(s["EEInfo"].Text, "EEPROM Data Verify OK!!");
        // The run went on, but did not pass.
        EXPECT_FALSE(s.Outcome.Pass);
        EXPECT_EQ(s.Outcome.FirstFailure,
                  DisplayText(c.ChipOption != 0x3F25 ? c.OptionLine : c.IdLine));
    }
    // Bits outside the device's OPTION masks are not compared (OV101: bit 12).
    TOpsBench b("OV101");
    Matching(b, 0x2FFF);
    b.Chip->Option[0] = 0x2FFF ^ 0x1000;
    EXPECT_EQ(b.Run(VerifyThread)["Label2"].Text, "OPTION verify OK!!");
}

TEST(Verify, FirstDataDifferenceEndsTheRun) {
    for (unsigned flip : {0x0001u, 0x0080u}) { // low byte, then high byte of word 0012h
        TOpsBench b("OV128");
        Matching(b);
        const unsigned word = b.Chip->Program[0x12];
        b.Chip->Program[0x12] = uint16_t(word ^ flip);
        TRecordingSink s = b.Run(VerifyThread);
        EXPECT_EQ(s["Label5"].Text, "Data Verify error at 0012H");
        EXPECT_FALSE(s.Red("Label5"));
        // Word 0012h is 03C3h in the buffer.
        EXPECT_EQ(s["Label3"].Text,
                  flip == 1 ? "IC=03C2H, Buffer=03C3H" : "IC=0343H, Buffer=03C3H");
        EXPECT_TRUE(s["Label3"].Visible);
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_FALSE(s.Dialog.Has("EEInfo")); // the EEPROM is not read
        EXPECT_EQ(b.Port.Sent.size(), VMemory + 1);
        // A line in the default colour fails the run all the same.
        EXPECT_EQ(s.Outcome.Failure, ByChip);
        EXPECT_EQ(s.Outcome.FirstFailure, "Data Verify error at 0012H");
    }
}

TEST(Verify, EepromDifference) {
    TOpsBench b("OV128");
    Matching(b);
    b.Chip->EEPROM[5] = 0xA5;
    b.Ws->Buffers.EEBuffer[5] = 0x5A;
    TRecordingSink s = b.Run(VerifyThread);
    EXPECT_EQ(s["Label5"].Text, "Data verify OK!!");
    EXPECT_EQ(s["EEInfo"].Text, "EEPROM Data Verify error at 0005H");
    EXPECT_EQ(s["Label3"].Text, "IC=A5H, Buffer=5AH");
    EXPECT_TRUE(s["Label3"].Visible);
    EXPECT_FALSE(s.Outcome.Pass);
}

TEST(Verify, ProtectMode) {
    // Not protected: OPTION bit 13 still 1.
    TOpsBench open("OV128");
    Matching(open);
    open.Ws->VerifyProtect = true;
    TRecordingSink s = open.Run(VerifyThread);
    EXPECT_EQ(s["StaticText1"].Text, "Verify with Protect");
    EXPECT_EQ(s["Label2"].Text, "OPTION verify OK!!");
    EXPECT_EQ(s["Label4"].Text, "IC no protected!!");
    EXPECT_TRUE(s.Red("Label4"));
    EXPECT_EQ(open.Port.Sent.size(), VOption + 1);

    // Protected: the chip returns 1 in every bit but 5, 6, 12 and 13.
    TOpsBench prot("OV128");
    Matching(prot, 0x1F25);
    prot.Ws->VerifyProtect = true;
    s = prot.Run(VerifyThread);
    EXPECT_EQ(s["Label5"].Text, "Data verify OK!!");
    EXPECT_EQ(s["EEInfo"].Text, "EEPROM Data Verify OK!!");

    // A difference shows the buffer word with the bits a protected chip sets.
    TOpsBench diff("OV128");
    Matching(diff, 0x1F25);
    diff.Ws->VerifyProtect = true;
    SetWord(diff.Ws->Buffers.ProgramBuffer.data(), 0x10, 0x0000);
    diff.Chip->Program[0x10] = 0x3FFF;
    s = diff.Run(VerifyThread);
    EXPECT_EQ(s["Label5"].Text, "Data Verify error at 0010H");
    EXPECT_EQ(s["Label3"].Text, "IC=3FFFH, Buffer=0F9FH");
}

TEST(Verify, ReadFailuresLandOnTheirLines) {
    struct TCase {
        size_t Step;
        int Reply;
        const char* Line;
        const char* Text;
        TFailureClass Why;
    };
    const TCase cases[] = {
        {0, -1, "Label2", "Connect Timeout!!", ByWriter},
        {VOption, 0xFE, "Label2", "Nothing in socket or type error!!", ByChip},
        {VID, -1, "Label4", "Connect Timeout!!", ByWriter},
        {VMemory, 0x90, "Label5", "Writer Error!!", ByWriter},
        {VEE, -1, "EEInfo", "Connect Timeout!!", ByWriter},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TOpsBench b("OV128");
        Matching(b);
        if (c.Reply < 0)
            b.SilentFrom(c.Step);
        else
            b.ReplyAt(c.Step, {uint8_t(c.Reply)});
        TRecordingSink s = b.Run(VerifyThread);
        EXPECT_EQ(s[c.Line].Text, c.Text);
        EXPECT_TRUE(s.Red(c.Line));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_EQ(s.Outcome.Failure, c.Why);
    }
    TOpsBench none("OV128");
    none.Ws->DeviceName = "";
    TRecordingSink s = none.Run(VerifyThread);
    EXPECT_EQ(s["Label2"].Text, "Unknow IC Type!!");
    EXPECT_TRUE(none.Port.Sent.empty());
}

// --- Program OPTION (OV128): 0 poll, header 1-10, data 11-12, read 13-22 ---

void SetOption(TOpsBench& b, unsigned word) {
    WordToPair(word, b.Ws->Buffers.OptionLo, b.Ws->Buffers.OptionHi);
    b.Ws->Panel.Option.OptionStatus = 0;
}

TEST(ProgramOption, ProgramsAndVerifiesTheWord) {
    TOpsBench b("OV128");
    SetOption(b, 0x1AB4);
    TRecordingSink s = b.Run(ProgramOptionThread);
    EXPECT_EQ(s["Label1"].Text, "OPTION program && verify OK!!");
    EXPECT_FALSE(s.Red("Label1"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);
    EXPECT_EQ(b.Chip->Option[0], 0x1AB4);
}

TEST(ProgramOption, DecodingStateStopsItBeforeTheWriter) {
    const char* texts[] = {"Some Options are Blank !!", "Some Options are Error !!",
                           "Some Options are Blank or Error!!"};
    for (int status = 1; status <= 3; ++status) {
        TOpsBench b("OV128");
        SetOption(b, 0x1AB4);
        b.Ws->Panel.Option.OptionStatus = status;
        TRecordingSink s = b.Run(ProgramOptionThread);
        EXPECT_EQ(s["Label1"].Text, texts[status - 1]);
        EXPECT_TRUE(s.Red("Label1"));
        EXPECT_TRUE(b.Port.Sent.empty());
    }
}

TEST(ProgramOption, Failures) {
    struct TCase {
        size_t Step;
        int Reply;
        const char* Text;
        TFailureClass Why;
    };
    const TCase cases[] = {
        {0, 0xB3, "Writer type is error!", ByWriter},
        {10, 0xFD, "IC adapter board error!!", ByChip},
        {10, 0xB8, "Writer Error!!", ByWriter},
        {11, 0xB1, "OPTION program fail !!", ByChip},
        {12, 0xB1, "OPTION program fail !!", ByChip},
        {12, 0xFE, "Nothing in socket or type error!!", ByChip},
        {12, -1, "Connect Timeout!!", ByWriter},
        {22, 0xA0, "Writer Error!!", ByWriter},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Step) + c.Text);
        TOpsBench b("OV128");
        SetOption(b, 0x1AB4);
        if (c.Reply < 0)
            b.SilentFrom(c.Step);
        else
            b.ReplyAt(c.Step, {uint8_t(c.Reply)});
        TRecordingSink s = b.Run(ProgramOptionThread);
        EXPECT_EQ(s["Label1"].Text, c.Text);
        EXPECT_TRUE(s.Red("Label1"));
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_EQ(s.Outcome.Failure, c.Why);
    }
}

TEST(ProgramOption, ReadBackComparedInTheImplementedBits) {
    // OV101 implements OPTION bits 0-11: a difference in bit 12 passes.
    TOpsBench b("OV101");
    SetOption(b, 0x0F0F);
    b.Tamper = [](size_t step, uint8_t, std::vector<uint8_t>& reply) {
        if (step == 22) reply[1] ^= 0x20;
    };
    EXPECT_EQ(b.Run(ProgramOptionThread)["Label1"].Text, "OPTION program && verify OK!!");

    TOpsBench bad("OV101");
    SetOption(bad, 0x0F0F);
    bad.Tamper = [](size_t step, uint8_t, std::vector<uint8_t>& reply) {
        if (step == 22) reply[1] ^= 0x01;
    };
    TRecordingSink s = bad.Run(ProgramOptionThread);
    EXPECT_EQ(s["Label1"].Text, "OPTION verify Fail!!");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_EQ(s.Outcome.Failure, ByChip);
}

// --- Program EEPROM (OV128, 128 bytes): 0 poll, header 1-10, pairs 11-266,
// read-back header 267-276 ---

constexpr size_t EEPair(int address) {
    return size_t(11 + 2 * address);
}

TEST(ProgramEEPROM, EachByteTravelsWithItsAddress) {
    TOpsBench b("OV128");
    for (int a = 0; a < 128; ++a)
        b.Ws->Buffers.EEBuffer[size_t(a)] = uint8_t(255 - a);
    TRecordingSink s = b.Run(ProgramEEThread);
    EXPECT_EQ(s["Label1"].Text, "EEPROM Program Ok!!");
    EXPECT_EQ(s["Label3"].Text, "EEPROM Data Verify OK!!");
    EXPECT_TRUE(s["Label3"].Visible);
    EXPECT_TRUE(s["ButtonOk"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);
    EXPECT_EQ(b.Port.Sent[1 + 9], 0xA7); // programmed with the pulse width
    for (int a = 0; a < 128; ++a) {
        ASSERT_EQ(b.Port.Sent[EEPair(a)], uint8_t(255 - a));
        ASSERT_EQ(b.Port.Sent[EEPair(a) + 1], uint8_t(a));
        ASSERT_EQ(b.Chip->EEPROM[size_t(a)], uint8_t(255 - a));
    }
}

TEST(ProgramEEPROM, FailuresAndDifferences) {
    TOpsBench fail("OV128");
    fail.ReplyAt(EEPair(0x12) + 1, {0xB1}); // on the address byte of pair 12h
    TRecordingSink s = fail.Run(ProgramEEThread);
    EXPECT_EQ(s["Label1"].Text, "EEPROM program fail at 0012H");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_TRUE(s["ButtonOk"].Enabled);
    EXPECT_FALSE(s.Dialog.Has("Label3"));

    TOpsBench diff("OV128");
    diff.Ws->Buffers.EEBuffer[5] = 0x5A;
    diff.Tamper = [](size_t step, uint8_t, std::vector<uint8_t>& reply) {
        if (step == 276) reply[5] = 0xA5;
    };
    s = diff.Run(ProgramEEThread);
    EXPECT_EQ(s["Label1"].Text, "EEPROM Program Ok!!");
    EXPECT_EQ(s["Label3"].Text, "Data Verify error at 0005H");
    EXPECT_FALSE(s.Red("Label3"));
    EXPECT_EQ(s["Label2"].Text, "IC=A5H, Buffer=5AH");
    EXPECT_TRUE(s["Label2"].Visible);
    EXPECT_TRUE(s["ButtonOk"].Enabled);
    EXPECT_EQ(s.Outcome.FirstFailure, "Data Verify error at 0005H");

    struct TCase {
        size_t Step;
        int Reply;
        const char* Line;
        const char* Text;
        TFailureClass Why;
    };
    const TCase cases[] = {
        {0, -1, "Label1", "Connect Timeout!!", ByWriter},
        {10, 0xFE, "Label1", "Nothing in socket or type error!!", ByChip},
        {10, 0xB0, "Label1", "Writer Error!!", ByWriter},
        {EEPair(3), 0xFD, "Label1", "IC adapter board error!!", ByChip},
        {EEPair(3), 0x33, "Label1", "Writer Error!!", ByWriter},
        {276, -1, "Label3", "Connect Timeout!!", ByWriter},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TOpsBench b("OV128");
        if (c.Reply < 0)
            b.SilentFrom(c.Step);
        else
            b.ReplyAt(c.Step, {uint8_t(c.Reply)});
        s = b.Run(ProgramEEThread);
        EXPECT_EQ(s[c.Line].Text, c.Text);
        EXPECT_TRUE(s.Red(c.Line));
        EXPECT_TRUE(s["ButtonOk"].Enabled);
        EXPECT_EQ(s.Outcome.Failure, c.Why);
    }
}

} // namespace
} // namespace orvan::test
