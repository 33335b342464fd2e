// Auto program against the simulated writer's state machine, a fresh chip
// in the socket after each pass.
#include "production/Autoprogram.h"
#include "production/Qtp.h"
#include "production/SerialNo.h"
#include "session/Operations.h"
#include "session/ProductionCommands.h"
#include "testlib/ProductionBench.h"

#include <gtest/gtest.h>

#include <set>

namespace orvan::test {
namespace {

struct AutoProgram : ::testing::Test {
    std::unique_ptr<TOpsBench> B;

    void Start(const std::string& model) {
        B = std::make_unique<TOpsBench>(model);
        PrepareProgram(*B);
        B->Ws->EraseFirst = B->Ws->Device.IsFlash();
    }
    TRecordingSink RunChip(bool fresh = true) {
        if (fresh) B->Chip->MakeBlank(B->Chip->Model);
        return B->Run(AutoProgramThread);
    }
    const std::string& Passes() { return B->Ws->Panel.PassCount; }
};

TEST_F(AutoProgram, ThreeChipsThreeNumbers) {
    Start("OV128");
    SerialOn(*B->Ws, 2, "00FE");
    std::vector<std::string> numbers;
    for (int chip = 0; chip < 3; ++chip) {
        TRecordingSink s = RunChip();
        EXPECT_EQ(s["StaticText1"].Text, "Auto-Program");
        EXPECT_EQ(s["EraseMsg"].Text, "Erase End");
        EXPECT_EQ(s["Label1"].Text, "Blank Check ..... OK.");
        EXPECT_EQ(s["Label2"].Text, "Data program && verify OK!!");
        EXPECT_EQ(s["Label3"].Text, "ID && Checksum verify OK!!");
        EXPECT_EQ(s["Label4"].Text, "OPTION program && verify OK!!");
        for (const char* line : {"EraseMsg", "Label1", "Label2", "Label3", "Label4"})
            EXPECT_FALSE(s.Red(line)) << line;
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_TRUE(s["Button2"].Enabled);
        numbers.push_back(ChipSerial(*B->Chip, 2));
        // The chip carries the checksum of its own program, number included.
        TWorkspace check;
        check.SelectDevice("OV128");
        for (size_t w = 0; w < B->Chip->Program.size(); ++w)
            SetWord(check.Buffers.ProgramBuffer.data(), int(w), B->Chip->Program[w]);
        check.Buffers.OptionLo = B->Ws->Buffers.OptionLo;
        check.Buffers.OptionHi = B->Ws->Buffers.OptionHi;
        check.CalChecksum();
        EXPECT_EQ(ChipChecksum(*B->Chip), check.Panel.Checksum);
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"00FE", "00FF", "0100"}));
    EXPECT_EQ(Passes(), "3");
    // The window's buffer already holds the next chip's number.
    EXPECT_EQ(B->Ws->Panel.SerialNo, "0101");
    EXPECT_EQ(GetWord(B->Ws->Buffers.ProgramBuffer.data(), SerialWordsAt + 1), 0x3101u);
}

TEST_F(AutoProgram, WithoutBlankCheckAndOnOTP) {
    Start("OV116");
    B->Ws->SkipBlankCheck = true;
    TRecordingSink s = RunChip();
    EXPECT_EQ(s["StaticText1"].Text, "Auto-Program without Blank Check");
    EXPECT_EQ(s["Label1"].Text, "");
    EXPECT_FALSE(s.Dialog.Has("EraseMsg")); // never shown on an OTP chip
    EXPECT_EQ(s["Label4"].Text, "OPTION program && verify OK!!");
    EXPECT_EQ(Passes(), "1");
}

TEST_F(AutoProgram, StopsBeforeTheWriterOnBadSettings) {
    Start("OV128");
    SerialOn(*B->Ws, 2, "1234");
    B->Ws->Serial.SerialStartAddr = SerialWordsAt + 3; // word 0014h is no RTIW word
    TRecordingSink s = RunChip();
    EXPECT_EQ(s["Label1"].Text, "The program memory is not 'RTIW'");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_TRUE(B->Port.Sent.empty());
    EXPECT_TRUE(s["Button2"].Enabled);

    B->Ws->Serial.SerialModeOn = false;
    B->Ws->Panel.Option.OptionStatus = 3;
    s = RunChip();
    EXPECT_EQ(s["Label1"].Text, "Some Options are Blank or error!");
    B->Ws->Buffers.ProgramBuffer.fill(0x7F);
    s = RunChip();
    EXPECT_EQ(s["Label1"].Text, "Data memory are blank or error!");
    EXPECT_TRUE(B->Port.Sent.empty());
    EXPECT_EQ(Passes(), "0");
}

TEST_F(AutoProgram, UsedChipsAreRefused) {
    Start("OV116");
    B->Chip->Program[0x200] = 0x1234;
    TRecordingSink s = RunChip(false);
    EXPECT_EQ(s["Label1"].Text, "Device not blank!!");
    EXPECT_TRUE(s.Red("Label1"));
    B->Chip->MakeBlank("OV116");
    B->Chip->ID[1] = 0;
    s = RunChip(false);
    EXPECT_EQ(s["Label1"].Text, "ID Checksum ....... Not Blank!!");
    B->Chip->MakeBlank("OV116");
    B->Chip->Option[0] = 0;
    s = RunChip(false);
    EXPECT_EQ(s["Label1"].Text, "OPTION ....... Not Blank!!");
    EXPECT_FALSE(s.Red("Label1"));
    EXPECT_EQ(Passes(), "0");
}

TEST_F(AutoProgram, FailedChipKeepsTheNumber) {
    Start("OV128");
    SerialOn(*B->Ws, 1, "41");
    sim::TSimFaults f;
    f.FailArea = 0;
    f.FailByte = 0x45; // word 0022h
    B->Writer->SetFaults(f);
    TRecordingSink s = RunChip();
    EXPECT_EQ(s["Label2"].Text, "Data program fail !!");
    EXPECT_TRUE(s.Red("Label2"));
    EXPECT_EQ(s["Label3"].Text, "0022");
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s["Button2"].Enabled);
    EXPECT_EQ(Passes(), "0");
    EXPECT_EQ(B->Ws->Panel.SerialNo, "41");
    B->Writer->SetFaults({});
    s = RunChip();
    EXPECT_EQ(ChipSerial(*B->Chip, 1), "41");
    EXPECT_EQ(Passes(), "1");
    EXPECT_EQ(B->Ws->Panel.SerialNo, "42");
}

// A chip whose ID or OPTION does not read back as written is not counted,
// but the number it now carries is not given to another chip.
TEST_F(AutoProgram, VerifyFailureIsNoPassButUsesTheNumber) {
    Start("OV128");
    SerialOn(*B->Ws, 1, "10");
    // Only a programmed word loses the bit; erase leaves the chip blank.
    B->Writer->OnChipChanged = [&] {
        if (B->Chip->Option[0] != sim::BlankWord) B->Chip->Option[0] &= ~0x0002;
    };
    TRecordingSink s = RunChip();
    EXPECT_EQ(s["Label4"].Text, "OPTION verify Fail!!");
    EXPECT_TRUE(s.Red("Label4"));
    EXPECT_EQ(Passes(), "0");
    EXPECT_EQ(B->Ws->Panel.SerialNo, "11");

    std::fill_n(B->Ws->Buffers.IDBuffer.begin(), 12, uint8_t('A'));
    B->Writer->OnChipChanged = [&] {
        if (B->Chip->ID[2] != sim::BlankWord) B->Chip->ID[2] &= 0x3FFE;
    };
    s = RunChip();
    EXPECT_EQ(ChipSerial(*B->Chip, 1), "11");
    EXPECT_EQ(s["Label3"].Text, "ID verify fail!!");
    EXPECT_TRUE(s.Red("Label3"));
    EXPECT_EQ(s["Label4"].Text, "OPTION program && verify OK!!"); // OPTION still programmed
    EXPECT_EQ(Passes(), "0");

    B->Writer->OnChipChanged = nullptr;
    s = RunChip();
    EXPECT_EQ(ChipSerial(*B->Chip, 1), "12");
    EXPECT_EQ(Passes(), "1");
}

TEST_F(AutoProgram, QTPFileEndsTheRun) {
    Start("OV128");
    TSerialSettings gen;
    gen.SerialByteCount = 1;
    gen.SerialStartAddr = SerialWordsAt;
    gen.SerialBytes[0] = 1;
    ASSERT_EQ(LoadQTP(*B->Ws, "parts.txt", GenerateQTP(gen, 3)), std::nullopt);
    B->Ws->Panel.PassCount = "41";
    std::vector<std::string> numbers;
    for (int chip = 0; chip < 3; ++chip) {
        TRecordingSink s = RunChip();
        numbers.push_back(ChipSerial(*B->Chip, 1));
        const bool last = chip == 2;
        EXPECT_EQ(s[MessageBoxControl].Text, last ? "QTP Program Finished!" : "") << chip;
        EXPECT_TRUE(s["Button1"].Enabled);
        EXPECT_EQ(s["Button2"].Enabled, !last) << chip;
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"01", "02", "03"}));
    EXPECT_EQ(Passes(), "44");
    EXPECT_FALSE(B->Ws->Serial.SerialModeOn);
    EXPECT_FALSE(B->Ws->QTPActive);
    EXPECT_EQ(B->Ws->Panel.QTPFile, "Disable");
}

TEST_F(AutoProgram, DamagedQTPRecordStopsTheFile) {
    Start("OV128");
    ASSERT_EQ(LoadQTP(*B->Ws, "parts.txt", ":020010000131BC\r\n:020010000231BC\r\n:00000001FF"),
              std::nullopt);
    TRecordingSink s = RunChip();
    EXPECT_EQ(s[MessageBoxControl].Text, "File Checksum Error!");
    EXPECT_FALSE(s["Button2"].Enabled);
    EXPECT_EQ(Passes(), "1"); // the chip just programmed is good
    EXPECT_FALSE(B->Ws->Serial.SerialModeOn);
}

TEST_F(AutoProgram, AddressLineCountsEverySixteenWords) {
    Start("OV128");
    TRecordingSink s = RunChip();
    std::vector<std::string> shown;
    for (const TOpUpdate& u : s.Updates)
        if (u.Control == "Label3" && u.Kind == TOpUpdate::TKind::Text && u.Text.size() == 4)
            shown.push_back(u.Text);
    ASSERT_EQ(shown.size(), size_t(B->Ws->Device.WordCount() / 16));
    EXPECT_EQ(shown[0], "0000");
    EXPECT_EQ(shown[1], "0010");
    EXPECT_EQ(shown.back(), "03F0");
}

// As the dialog runs it: the worker on its own thread, its commits applied
// on this one as they come, a stop between two bytes.
TEST_F(AutoProgram, OnItsOwnThread) {
    Start("OV128");
    SerialOn(*B->Ws, 1, "30");
    for (int chip = 0; chip < 2; ++chip) {
        B->Chip->MakeBlank("OV128");
        TOperationQueue queue;
        TOperationRunner runner;
        runner.Start(B->Port, B->State, B->Clock, queue, SnapshotOf(*B->Ws, B->Widths),
                     AutoProgramThread);
        bool continueOn = false;
        auto render = [&](const TOpUpdate& u) {
            if (u.Control == "Button2" && u.Kind == TOpUpdate::TKind::Enabled)
                continueOn = u.Value != 0;
        };
        while (runner.Running()) {
            queue.WaitForItems(20);
            queue.Drain(*B->Ws, render);
        }
        runner.Stop();
        queue.Drain(*B->Ws, render); // what came after the last look
        EXPECT_TRUE(continueOn);
    }
    EXPECT_EQ(ChipSerial(*B->Chip, 1), "31");
    EXPECT_EQ(Passes(), "2");
    EXPECT_EQ(B->Ws->Panel.SerialNo, "32");

    // Stopped in the middle of the data: nothing counted, nothing advanced.
    B->Chip->MakeBlank("OV128");
    std::stop_source stop;
    int bytes = 0;
    B->Port.Writer = [this, &stop, &bytes](uint8_t sent, size_t) {
        std::vector<uint8_t> out;
        B->Writer->OnByte(sent, B->Clock.NowMs(), out);
        if (++bytes == 200) stop.request_stop();
        return out;
    };
    TRecordingSink s = B->Run(AutoProgramThread, stop.get_token());
    EXPECT_EQ(Passes(), "2");
    EXPECT_EQ(B->Ws->Panel.SerialNo, "32");
    EXPECT_TRUE(B->State.ExchangeOpen);
}

TEST_F(AutoProgram, RandomNumbersDoNotRepeat) {
    Start("OV128");
    SerialOn(*B->Ws, 2, "0000", 1);
    std::set<std::string> numbers;
    for (int chip = 0; chip < 6; ++chip) {
        RunChip();
        EXPECT_TRUE(numbers.insert(ChipSerial(*B->Chip, 2)).second);
    }
    EXPECT_EQ(Passes(), "6");
}

} // namespace
} // namespace orvan::test
