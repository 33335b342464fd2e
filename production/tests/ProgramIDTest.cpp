// Program ID & Checksum against the simulated writer's state machine.
#include "production/Programid.h"
#include "testlib/ProductionBench.h"

#include <gtest/gtest.h>

namespace orvan::test {
namespace {

TEST(ProgramID, WritesTheIDAndTheCurrentChecksum) {
    TOpsBench b("OV128");
    PrepareProgram(b);
    const std::string id = "LINE-7 A";
    std::copy(id.begin(), id.end(), b.Ws->Buffers.IDBuffer.begin());
    // The checksum last read from a chip is not what goes on this one.
    std::copy_n("ZZZZ", 4, b.Ws->Buffers.IDBuffer.begin() + 12);
    const auto idBefore = b.Ws->Buffers.IDBuffer;
    TRecordingSink s = b.Run(ProgramIDThread);
    EXPECT_EQ(s["Label1"].Text, "Program Ok!!");
    EXPECT_EQ(s["Label2"].Text, "ID && Checksum verify OK!!");
    EXPECT_FALSE(s.Red("Label2"));
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);
    EXPECT_EQ(ChipChecksum(*b.Chip), b.Ws->Panel.Checksum);
    EXPECT_EQ(b.Chip->ID[0], uint16_t('L' | 'I' << 7));
    EXPECT_EQ(b.Ws->Buffers.IDBuffer, idBefore); // the buffer is not changed
}

TEST(ProgramID, WriteFailNamesTheWordOrTheChecksum) {
    for (const auto& [failByte, text] :
         std::vector<std::pair<long, std::string>>{{0, "Program ID fail at address 0000 !!"},
                                                   {8, "Program ID fail at address 0004 !!"},
                                                   {9, "Program ID fail at address 0004 !!"},
                                                   {10, "Checksum program fail !!"},
                                                   {15, "Checksum program fail !!"}}) {
        TOpsBench b("OV128");
        PrepareProgram(b);
        sim::TSimFaults f;
        f.FailArea = 2;
        f.FailByte = failByte;
        b.Writer->SetFaults(f);
        TRecordingSink s = b.Run(ProgramIDThread);
        EXPECT_EQ(s["Label1"].Text, text) << failByte;
        EXPECT_TRUE(s.Red("Label1"));
        EXPECT_EQ(s["Label2"].Text, "");
        EXPECT_TRUE(s["Button1"].Enabled);
    }
}

// Cells that do not hold what was written: the chip changes after the
// writer has taken the block, so only the read-back can tell.
TEST(ProgramID, VerifyFlagsIDAndChecksumApart) {
    struct TCase {
        std::vector<int> words;
        const char* text;
    };
    for (const TCase& c :
         {TCase{{0}, "ID verify fail!!"}, TCase{{5}, "ID verify fail!!"},
          TCase{{7}, "Checksum verify fail!!"}, TCase{{2, 6}, "ID && Checksum verify fail!!"},
          TCase{{8}, "ID && Checksum verify OK!!"}}) {
        TOpsBench b("OV128");
        PrepareProgram(b);
        b.Writer->OnChipChanged = [&] {
            for (int w : c.words)
                b.Chip->ID[size_t(w)] &= 0x3FFE;
        };
        b.Ws->Buffers.IDBuffer.fill(0x41);
        TRecordingSink s = b.Run(ProgramIDThread);
        EXPECT_EQ(s["Label1"].Text, "Program Ok!!");
        EXPECT_EQ(s["Label2"].Text, c.text);
        EXPECT_EQ(s.Red("Label2"), std::string(c.text).find("OK") == std::string::npos);
        EXPECT_EQ(s.Outcome.Pass, !s.Red("Label2"));
    }
}

// An OTP cell that is already programmed cannot take a one again.
TEST(ProgramID, OTPChipWithAnIDAlreadyThere) {
    TOpsBench b("OV116");
    PrepareProgram(b);
    b.Chip->ID[3] = 0;
    TRecordingSink s = b.Run(ProgramIDThread);
    EXPECT_EQ(s["Label1"].Text, "Program ID fail at address 0003 !!");
    EXPECT_TRUE(s.Red("Label1"));
}

TEST(ProgramID, NoChipAndSilentWriter) {
    TOpsBench b("OV128");
    PrepareProgram(b);
    b.Chip->SocketFull = false;
    TRecordingSink s = b.Run(ProgramIDThread);
    EXPECT_EQ(s["Label1"].Text, "Nothing in socket or type error!!");
    EXPECT_TRUE(s.Red("Label1"));
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Chip);
    b.Port.Writer = nullptr;
    s = b.Run(ProgramIDThread);
    EXPECT_EQ(s["Label1"].Text, "Connect Timeout!!");
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Writer);
}

} // namespace
} // namespace orvan::test
