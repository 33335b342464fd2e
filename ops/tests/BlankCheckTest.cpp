// Erase and blank check against the simulated writer's state machine.
#include "ops/Blankcheck.h"
#include "testlib/OpsBench.h"

#include <gtest/gtest.h>

namespace orvan::test {
namespace {

TEST(BlankCheck, BlankChipPassesEveryArea) {
    TOpsBench b("OV128");
    TRecordingSink s = b.Run(BlankCheckThread);
    EXPECT_EQ(s["StaticText1"].Text, "Blank Check");
    EXPECT_EQ(s["Label2"].Text, "OPTION ....... OK");
    EXPECT_EQ(s["Label3"].Text, "ID Checksum ......... OK.");
    EXPECT_EQ(s["Label4"].Text, "Data ......... OK.");
    EXPECT_TRUE(s["Button1"].Enabled);
    EXPECT_TRUE(s.Outcome.Pass);
}

TEST(BlankCheck, FirstProgrammedWordIsNamed) {
    TOpsBench b("OV128");
    b.Chip->Program[0x12] = 0x3F7F & 0x3FFE; // low byte programmed
    TRecordingSink s = b.Run(BlankCheckThread);
    EXPECT_EQ(s["Label4"].Text, "Data ....... Not Blank!!");
    EXPECT_EQ(s["Label5"].Text, "Error at 0012h = 0x3F7E");
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Chip); // though in the default colour
    EXPECT_EQ(s.Outcome.FirstFailure, "Data ....... Not Blank!!");
    b.Chip->Program[0x12] = 0x3F7F; // only the high byte differs from blank
    s = b.Run(BlankCheckThread);
    EXPECT_EQ(s["Label5"].Text, "Error at 0012h = 3F7Fh");
}

TEST(BlankCheck, EraseFirstOnFlash) {
    TOpsBench b("OV128");
    b.Chip->Program[5] = 0;
    b.Ws->EraseFirst = true;
    TRecordingSink s = b.Run(BlankCheckThread);
    EXPECT_EQ(s["StaticText1"].Text, "Erase Flash Memory");
    EXPECT_EQ(s["Label1"].Text, "Erase End");
    EXPECT_EQ(s["Label4"].Text, "Data ......... OK.");
}

TEST(BlankCheck, SilentWriterTimesOut) {
    TOpsBench b("OV128");
    b.Port.Writer = nullptr;
    TRecordingSink s = b.Run(BlankCheckThread);
    EXPECT_EQ(s["Label3"].Text, "Connect Timeout!!");
    EXPECT_TRUE(s.Red("Label3"));
    EXPECT_EQ(s.Outcome.Failure, TFailureClass::Writer);
    EXPECT_TRUE(s["Button1"].Enabled);
}

} // namespace
} // namespace orvan::test
