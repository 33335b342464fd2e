#include "buffer/BufferOps.h"
#include "buffer/HexText.h"
#include "session/Workspace.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvan {
namespace {

TEST(HexToInt, ConversionAndValidFlag) {
    struct {
        const char* Text;
        int32_t Value;
        bool Valid;
    } cases[] = {
        {"", 0, true},        {"0", 0, true},         {"3fff", 0x3FFF, true},
        {"1FF", 0x1FF, true}, {"12G4", 0, false},     {" 12", 0, false},
        {"-1", 0, false},     {"FFFFFFFF", -1, true}, {"7fffffff", 0x7FFFFFFF, true},
    };
    for (const auto& c : cases) {
        bool valid = !c.Valid;
        EXPECT_EQ(HexToInt(c.Text, valid), c.Value) << c.Text;
        EXPECT_EQ(valid, c.Valid) << c.Text;
    }
}

class FillBufferTest : public ::testing::Test {
  protected:
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>(); // OV101, 512 words
};

TEST_F(FillBufferTest, ChecksInOrder) {
    struct {
        const char *Start, *End, *Data, *Error;
    } cases[] = {
        {"200", "1FF", "0", "Start address is a invalid value!"},
        {"0", "200", "0", "End address is a invalid value!"},
        {"5", "0", "0", "Start address is a invalid value!"},
        {"0", "1FF", "4000", "Data is a invalid value!"},
        {"200", "200", "4000", "Start address is a invalid value!"}, // first check wins
        {"0", "1FF", "12Z", "Data is a invalid value!"},
    };
    for (const auto& c : cases) {
        const auto err = FillBuffer(Ws->Device, Ws->Buffers, c.Start, c.End, c.Data);
        ASSERT_TRUE(err.has_value()) << c.Start << " " << c.End << " " << c.Data;
        EXPECT_EQ(*err, c.Error);
    }
    // Nothing was written by a refused fill.
    for (int i = 0; i < Ws->Device.ICMemBytes; ++i)
        ASSERT_EQ(Ws->Buffers.ProgramBuffer[size_t(i)], 0x7F);
}

TEST_F(FillBufferTest, FillsInclusiveRangeWithinTheDevice) {
    ASSERT_FALSE(FillBuffer(Ws->Device, Ws->Buffers, "0", "1FF", "0000"));
    for (int w = 0; w < 512; ++w)
        ASSERT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), w), 0u);
    EXPECT_EQ(Ws->Buffers.ProgramBuffer[1024], 0x7F); // first byte past the device

    ASSERT_FALSE(FillBuffer(Ws->Device, Ws->Buffers, "10", "11", "3A5"));
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x0F), 0u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x10), 0x3A5u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x11), 0x3A5u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0x12), 0u);

    // Blank fill restores the blank checksum; empty entries mean 0.
    ASSERT_FALSE(FillBuffer(Ws->Device, Ws->Buffers, "0", "1FF", "3FFF"));
    Ws->CalChecksum();
    EXPECT_EQ(Ws->Panel.Checksum, "7C00");
    ASSERT_FALSE(FillBuffer(Ws->Device, Ws->Buffers, "", "", ""));
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0u);
}

TEST(SingleValue, PaddingAndLimit) {
    EXPECT_EQ(ParseSingleValue("7"), 7u);
    EXPECT_EQ(ParseSingleValue("3fff"), 0x3FFFu);
    EXPECT_EQ(ParseSingleValue(""), 0u);
    EXPECT_FALSE(ParseSingleValue("4000"));
    EXPECT_FALSE(ParseSingleValue("FFFF"));
    EXPECT_FALSE(ParseSingleValue("x1"));
}

TEST(ResetAddr, ResetVectorByDeviceCode) {
    auto ws = std::make_unique<TWorkspace>();
    // OV101: bit 5 of the device code clear, reset at the last word.
    auto q = ResetAddrQuestion(ws->Device, ws->Buffers);
    ASSERT_TRUE(q);
    EXPECT_EQ(*q, "Reset address (01FFh) is blank!!");
    SetWord(ws->Buffers.ProgramBuffer.data(), 0x1FF, 0x3A00);
    EXPECT_FALSE(ResetAddrQuestion(ws->Device, ws->Buffers));

    ASSERT_TRUE(ws->SelectDevice("OV102"));
    EXPECT_EQ(*ResetAddrQuestion(ws->Device, ws->Buffers), "Reset address (03FFh) is blank!!");

    // OV116: bit 5 set, reset at word 0; half a blank word is not blank.
    ASSERT_TRUE(ws->SelectDevice("OV116"));
    EXPECT_EQ(*ResetAddrQuestion(ws->Device, ws->Buffers), "Reset address (0000h) is blank!!");
    ws->Buffers.ProgramBuffer[1] = 0x3F;
    EXPECT_FALSE(ResetAddrQuestion(ws->Device, ws->Buffers));
}

TEST(Workspace, DeviceChangeResetsEverything) {
    auto ws = std::make_unique<TWorkspace>();
    ws->Buffers.OptionLo = 0x11;
    ws->Buffers.IDBuffer[3] = 0;
    ws->Buffers.ProgramBuffer[30000] = 0;
    ws->Buffers.EEBuffer[1000] = 0x55;
    ws->Serial.SerialModeOn = true;
    ws->QTPActive = true;
    ws->Panel.PassCount = "12";
    ASSERT_TRUE(ws->SelectDevice("OV102")); // same size class, still reset
    EXPECT_EQ(ws->Buffers.OptionLo, 0x7F);
    EXPECT_EQ(ws->Buffers.OptionHi, 0x5F); // masked by the display refresh
    EXPECT_EQ(ws->Buffers.IDBuffer[3], 0x7F);
    EXPECT_EQ(ws->Buffers.ProgramBuffer[30000], 0x7F);
    EXPECT_EQ(ws->Buffers.EEBuffer[1000], 0);
    EXPECT_FALSE(ws->Serial.SerialModeOn);
    EXPECT_FALSE(ws->QTPActive);
    EXPECT_EQ(ws->Panel.PassCount, "0");
    EXPECT_EQ(ws->Panel.SerialMode, "Disable");
    EXPECT_EQ(ws->Panel.QTPFile, "Disable");
    EXPECT_EQ(ws->Panel.Checksum, "F800"); // 1024 * 13Eh

    EXPECT_FALSE(ws->SelectDevice("OV999"));
    EXPECT_EQ(ws->DeviceName, "OV102");
}

} // namespace
} // namespace orvan
