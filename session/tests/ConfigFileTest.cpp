#include "session/ConfigFile.h"

#include "buffer/SaveBin.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvan {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::Record;
using test::Str;
using test::TTempDir;
using test::WriteBytes;
using test::WriteFile;

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Dir.Path().empty());
        DataPath = Dir / "prog.bin";
        WriteBytes(DataPath, std::vector<uint8_t>(1024, 0x00)); // OV101: 512 words of 0000h
        Cfg = Dir / "proj.cfg";
    }
    std::unique_ptr<TWorkspace> NewWs() const {
        auto ws = std::make_unique<TWorkspace>();
        ws->ConfigPath = Cfg;
        return ws;
    }
    // A workspace with every saved setting away from its start value.
    std::unique_ptr<TWorkspace> Configured() const {
        auto ws = NewWs();
        ws->SelectDevice("OV101");
        ws->LoadedFileName = DataPath;
        ws->PortIndex = 1;
        TSerialSettings& s = ws->Serial;
        s.SerialModeOn = true;
        s.SerialStartAddr = 16;
        s.SerialByteCount = 3;
        s.SerialBytes[0] = 0x56;
        s.SerialBytes[1] = 0x34;
        s.SerialBytes[2] = 0x12;
        s.SerialIncrement = 2;
        s.SerialRandom = 1;
        s.SerialLsbFirst = 1;
        ws->Panel.SerialNo = s.HexText();
        ws->Panel.PassCount = "41";
        for (int i = 0; i < IDBytes; ++i)
            ws->Buffers.IDBuffer[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
        ws->RefreshData();
        ws->CalChecksum();
        return ws;
    }
    TFileResult Load(TWorkspace& ws, const std::vector<uint8_t>& bytes,
                     TCfgMode mode = TCfgMode::Full) const {
        return LoadCfg(ws, bytes, mode, {});
    }
    std::string DataError() const { return "'" + Cfg + "' file data error!"; }

    TTempDir Dir;
    std::string DataPath, Cfg;
};

TEST_F(ConfigTest, WritesTheExactLayout) {
    const auto ws = Configured();
    std::string expected = "zyl" + DataPath + "\x0F" +
                           "Com2 OV101 Blank Blank Blank Blank Disable Blank 7C00 0 123456 "
                           "1 16 3 123456 2 1 1 ";
    expected += '\x7F';
    expected += '\x5F';
    for (int i = 0; i < IDBytes; ++i)
        expected += static_cast<char>(i);
    EXPECT_EQ(Str(SaveCfg(*ws)), expected);
}

TEST_F(ConfigTest, EmptyDataFileNameIsWrittenAndRefused) {
    auto ws = NewWs();
    const auto bytes = SaveCfg(*ws);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(Str({bytes.begin(), bytes.begin() + 4}), "zyl\x0F");
    auto loaded = NewWs();
    loaded->LoadedFileName = "x";
    const TFileResult r = Load(*loaded, bytes);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Messages, std::vector<std::string>{"No data file name"});
    EXPECT_EQ(loaded->LoadedFileName, "");
}

TEST_F(ConfigTest, SaveLoadSaveIsByteExact) {
    const auto ws = Configured();
    const auto bytes = SaveCfg(*ws);
    auto loaded = NewWs();
    loaded->SelectDevice("OV128");
    const TFileResult r = Load(*loaded, bytes);
    ASSERT_TRUE(r.Ok) << r.Messages[0];
    EXPECT_TRUE(r.Messages.empty());
    EXPECT_EQ(loaded->DeviceName, "OV101");
    EXPECT_EQ(loaded->PortIndex, 1);
    EXPECT_EQ(loaded->LoadedFileName, DataPath);
    EXPECT_EQ(loaded->Panel.PassCount, "0"); // always saved as 0
    EXPECT_EQ(loaded->Panel.SerialNo, "123456");
    EXPECT_TRUE(loaded->Serial.SerialModeOn);
    EXPECT_EQ(loaded->Serial.SerialBytes, ws->Serial.SerialBytes);
    EXPECT_EQ(loaded->Serial.SerialStartAddr, 16);
    EXPECT_EQ(loaded->Serial.SerialIncrement, 2);
    EXPECT_EQ(loaded->Serial.SerialRandom, 1);
    EXPECT_EQ(loaded->Serial.SerialLsbFirst, 1);
    EXPECT_EQ(loaded->Buffers.IDBuffer, ws->Buffers.IDBuffer);
    EXPECT_EQ(loaded->Buffers.OptionHi, ws->Buffers.OptionHi);
    EXPECT_EQ(GetWord(loaded->Buffers.ProgramBuffer.data(), 0), 0u); // the data file
    EXPECT_EQ(loaded->Panel.Checksum, "0000");
    ws->Panel.PassCount = "0";
    ws->Panel.Checksum = "0000";
    EXPECT_EQ(SaveCfg(*loaded), SaveCfg(*ws));
}

TEST_F(ConfigTest, HandWrittenConfigLoadsTheSame) {
    const std::string ohx = Dir / "Code.Ohx"; // mixed case: opened by its stored name
    WriteFile(ohx, Record(0, 0, {0x80, 0x10, 0x23, 0x29}) + "\n:00000001FF\n");
    std::string text =
        "zyl" + ohx + "\x0F" + "Com8 OV117 a b c d e f 1234 0 0A0B 0 5 2 0A0B 7 0 1 ";
    text += "\x2A\x15";
    text += std::string(32, '\x01');
    auto ws = NewWs();
    const TFileResult r = Load(*ws, Bytes(text));
    ASSERT_TRUE(r.Ok) << r.Messages[0];
    EXPECT_EQ(ws->PortIndex, 7);
    EXPECT_EQ(ws->DeviceName, "OV117");
    EXPECT_EQ(ws->Serial.SerialByteCount, 2);
    EXPECT_EQ(ws->Serial.SerialBytes[0], 0x0B);
    EXPECT_EQ(ws->Serial.SerialBytes[1], 0x0A);
    EXPECT_EQ(ws->Serial.SerialStartAddr, 5);
    EXPECT_EQ(ws->Serial.SerialIncrement, 7);
    EXPECT_FALSE(ws->Serial.SerialModeOn);
    EXPECT_EQ(ws->Buffers.IDBuffer[0], 1);
    EXPECT_EQ(ws->Buffers.OptionLo, 0x2A);
    EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 0), 0x1080u);
    EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 1), 0x2923u);
    EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 2), 0x3FFFu);
}

TEST_F(ConfigTest, SettingsModeKeepsDeviceAndData) {
    const auto saved = Configured();
    auto ws = NewWs();
    ws->SelectDevice("OV117");
    SetWord(ws->Buffers.ProgramBuffer.data(), 0, 0x1111);
    ws->ShownOnce = true;
    const TFileResult r = Load(*ws, SaveCfg(*saved), TCfgMode::Settings);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(ws->DeviceName, "OV117");
    EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 0), 0x1111u);
    EXPECT_EQ(ws->Serial.SerialByteCount, 3);
    EXPECT_EQ(ws->Buffers.IDBuffer[5], 5);
    EXPECT_TRUE(r.RecreateIDWindow);
    EXPECT_TRUE(r.RecreateMemoryWindow);
    EXPECT_TRUE(ws->RefreshPending);
    // An unknown device does not matter in this mode.
    std::string text = Str(SaveCfg(*saved));
    text.replace(text.find("OV101"), 5, "XX999");
    EXPECT_TRUE(Load(*ws, Bytes(text), TCfgMode::Settings).Ok);
    EXPECT_FALSE(Load(*ws, Bytes(text), TCfgMode::Full).Ok);
}

TEST_F(ConfigTest, OptionTextWithABlankStillLoads) {
    // The OSC decoder has texts such as "RC, PB4"; the field ends at its blank.
    auto ws = Configured();
    ws->Panel.Option.Rows[RowOsc].Value = "RC, PB4";
    ws->Panel.Option.Rows[RowPrd].Value = "RC, CLK";
    const auto bytes = SaveCfg(*ws);
    EXPECT_NE(Str(bytes).find(" RC, PB4 "), std::string::npos);
    auto loaded = NewWs();
    const TFileResult r = Load(*loaded, bytes);
    ASSERT_TRUE(r.Ok) << r.Messages[0];
    EXPECT_EQ(loaded->Serial.SerialBytes, ws->Serial.SerialBytes);
    EXPECT_EQ(loaded->Serial.SerialStartAddr, 16);
    EXPECT_EQ(loaded->Panel.SerialNo, "123456");
    EXPECT_EQ(loaded->Buffers.IDBuffer, ws->Buffers.IDBuffer);
}

TEST_F(ConfigTest, GarbledFieldsAreRefusedBeforeTheyApply) {
    const std::string good = Str(SaveCfg(*Configured()));
    const std::string tailStart = " 0 123456 1 16 3 123456 2 1 1 ";
    ASSERT_NE(good.find(tailStart), std::string::npos);
    auto withTail = [&](const std::string& tail) {
        std::string t = good;
        t.replace(t.find(tailStart), tailStart.size(), tail);
        return t;
    };
    auto withPort = [&](const std::string& port) {
        std::string t = good;
        t.replace(t.find("Com2"), 4, port);
        return t;
    };
    struct {
        const char* What;
        std::string Text;
    } cases[] = {
        {"wrong magic", "zyx" + good.substr(3)},
        {"port digit 9", withPort("Com9")},
        {"port digit 0", withPort("Com0")},
        {"port text short", withPort("Com")},
        {"serial count 0", withTail(" 0 123456 1 16 0  2 1 1 ")},
        {"serial count 9", withTail(" 0 123456 1 16 9 112233445566778899 2 1 1 ")},
        {"serial digits short", withTail(" 0 123456 1 16 3 1234 2 1 1 ")},
        {"serial digits not hex", withTail(" 0 123456 1 16 3 12345G 2 1 1 ")},
        {"start past the device", withTail(" 0 123456 1 510 3 123456 2 1 1 ")},
        {"start past the buffer", withTail(" 0 123456 0 16382 3 123456 2 1 1 ")},
        {"increment 0", withTail(" 0 123456 1 16 3 123456 0 1 1 ")},
        {"increment 256", withTail(" 0 123456 1 16 3 123456 256 1 1 ")},
        {"random 2", withTail(" 0 123456 1 16 3 123456 2 2 1 ")},
        {"negative start", withTail(" 0 123456 1 -1 3 123456 2 1 1 ")},
        {"pass count not a number", withTail(" x 123456 1 16 3 123456 2 1 1 ")},
        {"field over 500 characters",
         withTail(" 0 " + std::string(501, '1') + " 1 16 3 123456 2 1 1 ")},
        {"no raw bytes", good.substr(0, good.size() - 34)},
    };
    for (const auto& c : cases) {
        auto ws = NewWs();
        ws->SelectDevice("OV117");
        const TFileResult r = Load(*ws, Bytes(c.Text));
        EXPECT_FALSE(r.Ok) << c.What;
        EXPECT_EQ(r.Messages, std::vector<std::string>{DataError()}) << c.What;
        EXPECT_EQ(ws->Serial.SerialByteCount, 1) << c.What;
        EXPECT_EQ(ws->Buffers.IDBuffer[1], 0x7F) << c.What;
    }
    // Start address at the device's last word is fine with one byte left.
    auto ws = NewWs();
    EXPECT_TRUE(Load(*ws, Bytes(withTail(" 0 123456 1 509 3 123456 2 1 1 "))).Ok);
    EXPECT_TRUE(Load(*ws, Bytes(withTail(" 0 123456 0 16380 3 123456 2 1 1 "))).Ok);
}

TEST_F(ConfigTest, EveryTruncationIsRefused) {
    const auto good = SaveCfg(*Configured());
    for (std::size_t n = 0; n < good.size(); ++n) {
        auto ws = NewWs();
        const TFileResult r = Load(*ws, {good.begin(), good.begin() + static_cast<long>(n)});
        EXPECT_FALSE(r.Ok) << n;
        ASSERT_EQ(r.Messages.size(), 1u) << n;
    }
}

TEST_F(ConfigTest, DataFileFailures) {
    auto base = Configured();
    struct {
        const char* What;
        std::string Data;
        std::vector<std::string> Messages;
    } cases[] = {
        {"missing", Dir / "gone.bin", {"'" + (Dir / "gone.bin") + "' file do not find!"}},
        {"cannot be opened", Dir / "dir.bin", {"'" + (Dir / "dir.bin") + "' file can't open!"}},
        {"wrong size", Dir / "small.bin", {"File size unmatch!"}},
        {"no dot is read raw", Dir / "plain", {"File size unmatch!"}},
    };
    std::filesystem::create_directory(Dir / "dir.bin");
    WriteBytes(Dir / "small.bin", std::vector<uint8_t>(1023, 0));
    WriteBytes(Dir / "plain", std::vector<uint8_t>(10, 0));
    for (const auto& c : cases) {
        base->LoadedFileName = c.Data;
        auto ws = NewWs();
        SetWord(ws->Buffers.ProgramBuffer.data(), 0, 0x1234);
        const TFileResult r = Load(*ws, SaveCfg(*base));
        EXPECT_FALSE(r.Ok) << c.What;
        EXPECT_EQ(r.Messages, c.Messages) << c.What;
        EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 0), 0x1234u) << c.What;
    }
}

TEST_F(ConfigTest, FilesOnDisk) {
    auto ws = Configured();
    ASSERT_TRUE(SaveCfgFile(*ws, Cfg));
    EXPECT_EQ(ReadBytes(Cfg), SaveCfg(*ws));
    WriteFile(Cfg, "old content that is longer than nothing");
    ASSERT_TRUE(SaveCfgFile(*ws, Cfg)); // replaced whole
    EXPECT_EQ(ReadBytes(Cfg), SaveCfg(*ws));
    EXPECT_FALSE(SaveCfgFile(*ws, Dir / "no/such/folder/x.cfg"));
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(Dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2u); // prog.bin and proj.cfg: no temporary left behind

    auto loaded = NewWs();
    EXPECT_TRUE(LoadCfgFile(*loaded, TCfgMode::Full, {}).Ok);
    loaded->ConfigPath = Dir / "none.cfg";
    EXPECT_EQ(LoadCfgFile(*loaded, TCfgMode::Full, {}).Messages,
              std::vector<std::string>{"File can't open!"});
}

} // namespace
} // namespace orvan
