// File Open over the whole workspace: refused files, every data type, the
// companion configuration and configurations opened in full mode.
#include "session/FileCommands.h"

#include "buffer/FileNames.h"
#include "buffer/PicTranslate.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace orvan {
namespace {

using test::Record;
using test::TTempDir;
using test::WriteBytes;
using test::WriteFile;

// A workspace with some non-blank state, so a refused load can be seen to
// leave it alone.
class OpenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Dir.Path().empty());
        Ws->SelectDevice("OV117"); // 2048 words, 14-bit
        SetWord(Ws->Buffers.ProgramBuffer.data(), 3, 0x1234);
        Ws->LoadedFileName = "/old/file.bin";
        Ws->Buffers.OptionLo = 0x11;
        Ws->CalChecksum();
    }
    std::vector<uint8_t> Bin(int words, unsigned fill) const {
        std::vector<uint8_t> b;
        for (int i = 0; i < words; ++i) {
            b.push_back(static_cast<uint8_t>(fill + i));
            b.push_back(static_cast<uint8_t>((fill >> 8) & 0x3F));
        }
        return b;
    }
    TTempDir Dir;
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
};

TEST_F(OpenTest, RefusedFilesChangeNothingButTheOption) {
    std::filesystem::create_directory(Dir / "folder.bin");
    WriteBytes(Dir / "short.bin", Bin(2047, 0x100));
    WriteBytes(Dir / "long.obj", std::vector<uint8_t>(4097, 0));
    WriteFile(Dir / "notes.txt", "hello");
    WriteFile(Dir / "noext", "hello");
    struct {
        std::string Path, Message;
    } cases[] = {
        {Dir / "missing.bin", "File don't exist!"},  {Dir / "folder.bin", "File can't open!"},
        {Dir / "short.bin", "File size unmatch!"},   {Dir / "long.obj", "File size unmatch!"},
        {Dir / "notes.txt", "File type incorrect!"}, {Dir / "noext", "File type incorrect!"},
    };
    const auto program = Ws->Buffers.ProgramBuffer;
    for (const auto& c : cases) {
        Ws->Buffers.OptionLo = 0x11;
        const TFileResult r = OpenDataFile(*Ws, c.Path, {});
        EXPECT_FALSE(r.Ok) << c.Path;
        EXPECT_EQ(r.Messages, std::vector<std::string>{c.Message}) << c.Path;
        EXPECT_EQ(Ws->Buffers.ProgramBuffer, program) << c.Path;
        EXPECT_EQ(Ws->LoadedFileName, "/old/file.bin") << c.Path;
        EXPECT_EQ(Ws->Buffers.OptionLo, 0x7F) << c.Path;
        EXPECT_FALSE(r.RecreateMemoryWindow) << c.Path;
    }
}

TEST_F(OpenTest, FileOverTheSizeLimitSaysSo) {
    const std::string big = Dir / "big.ohx";
    WriteFile(big, Record(0, 0, {0x80, 0x10}) + "\n");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(MaxFileBytes + 1)), 0);
    const TFileResult r = OpenDataFile(*Ws, big, {});
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Messages, std::vector<std::string>{"File can't open! It is larger than 16 MiB."});
    EXPECT_EQ(Ws->LoadedFileName, "/old/file.bin");
    // At the limit it is read (and its records found).
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(MaxFileBytes)), 0);
    EXPECT_TRUE(OpenDataFile(*Ws, big, {}).Ok);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x1080u);
}

TEST_F(OpenTest, BinLoadsInAFolderWithDotsAndEndsSerialModeAndQTP) {
    std::filesystem::create_directory(Dir / "my.project");
    const std::string path = Dir / "my.project/prog.bin";
    WriteBytes(path, Bin(2048, 0x2800));
    Ws->Serial.SerialModeOn = true;
    Ws->QTPActive = true;
    Ws->Panel.PassCount = "12";
    const TFileResult r = OpenDataFile(*Ws, path, {});
    ASSERT_TRUE(r.Ok) << (r.Messages.empty() ? "" : r.Messages[0]);
    EXPECT_TRUE(r.Messages.empty());
    EXPECT_EQ(Ws->LoadedFileName, path);
    EXPECT_EQ(Ws->ConfigPath, Dir / "my.project/prog.cfg");
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x2800u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 2047), 0x2800u + 0xFFu);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 2048), 0x3FFFu); // beyond the device
    EXPECT_FALSE(Ws->Serial.SerialModeOn);
    EXPECT_FALSE(Ws->QTPActive);
    EXPECT_EQ(Ws->Panel.PassCount, "0");
    EXPECT_EQ(Ws->Panel.SerialMode, "Disable");
    EXPECT_TRUE(r.RecreateMemoryWindow);
    EXPECT_TRUE(r.CloseDisasm);
}

TEST_F(OpenTest, HexRecordErrorIsReportedUnlessSuppressed) {
    const std::string path = Dir / "prog.ohx";
    WriteFile(path, Record(0, 0, {0x80, 0x10}) + "\n" + Record(2, 0, {0x23, 0x29}, 5) + "\n");
    for (const bool suppress : {false, true}) {
        TFileOptions options;
        options.SuppressRecordError = suppress;
        const TFileResult r = OpenDataFile(*Ws, path, options);
        EXPECT_TRUE(r.Ok);
        EXPECT_TRUE(r.RecordError);
        EXPECT_EQ(r.Messages.size(), suppress ? 0u : 1u);
        if (!suppress) {
            EXPECT_EQ(r.Messages[0], "File data error at line 2 !");
        }
        EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x1080u);
        EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 1), 0x2923u); // data as read
        EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 3), 0x3FFFu);
    }
}

TEST_F(OpenTest, PicFilesAreTranslatedByWordTypeWithTheWarnings) {
    // 14-bit device, a file of 12-bit code: translated as 14-bit all the same.
    const std::string hex = Dir / "p.hex";
    WriteFile(hex, Record(0, 0, {0x12, 0x0C, 0x05, 0x0A}) + "\n:00000001FF\n");
    TFileOptions options;
    options.ShowFormatWarnings = true;
    TFileResult r = OpenDataFile(*Ws, hex, options);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Messages, std::vector<std::string>{Warning12BitText});
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), Pic6x7xWord(0x0C12) & 0x3FFFu);
    r = OpenDataFile(*Ws, hex, {}); // window closed: no warning
    EXPECT_TRUE(r.Messages.empty());

    Ws->SelectDevice("OV101"); // 512 words, 12-bit
    std::vector<uint8_t> obj(1024, 0xFF);
    obj[0] = 0xFF, obj[1] = 0x0F; // 0FFFh
    obj[2] = 0x12, obj[3] = 0x0C; // MOVLW 12h
    const std::string objPath = Dir / "p.obj";
    WriteBytes(objPath, obj);
    r = OpenDataFile(*Ws, objPath, options);
    EXPECT_TRUE(r.Messages.empty());
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x36FFu);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 1), 0x3A12u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 2), 0x3FFFu);
    obj[5] = 0x30; // a 14-bit word in a 12-bit file
    WriteBytes(objPath, obj);
    r = OpenDataFile(*Ws, objPath, options);
    EXPECT_EQ(r.Messages, std::vector<std::string>{Warning14BitText});
}

TEST_F(OpenTest, CompanionConfigAppliesSettingsButNotTheDevice) {
    const std::string data = Dir / "prog.bin";
    WriteBytes(data, Bin(2048, 0x3100));
    // The companion records OV101 and serial settings; it names this data file.
    auto other = std::make_unique<TWorkspace>();
    other->SelectDevice("OV101");
    other->LoadedFileName = data;
    other->PortIndex = 4;
    other->Serial.SerialStartAddr = 0x10;
    other->Serial.SerialByteCount = 2;
    other->Serial.SerialBytes[0] = 0x34;
    other->Serial.SerialBytes[1] = 0x12;
    other->Serial.SerialIncrement = 3;
    other->Buffers.OptionLo = 0x2A;
    other->Buffers.OptionHi = 0x15;
    other->Buffers.IDBuffer.fill(0x05);
    ASSERT_TRUE(SaveCfgFile(*other, Dir / "prog.cfg"));

    const TFileResult r = OpenDataFile(*Ws, data, {});
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Messages.empty()) << r.Messages[0];
    EXPECT_EQ(Ws->DeviceName, "OV117");
    EXPECT_EQ(Ws->PortIndex, 4);
    EXPECT_EQ(Ws->Serial.SerialStartAddr, 0x10);
    EXPECT_EQ(Ws->Serial.SerialByteCount, 2);
    EXPECT_EQ(Ws->Serial.SerialBytes[1], 0x12);
    EXPECT_EQ(Ws->Serial.SerialIncrement, 3);
    EXPECT_EQ(Ws->Panel.SerialNo, "1234");
    EXPECT_EQ(Ws->Buffers.IDBuffer[31], 0x05);
    EXPECT_EQ(Ws->Buffers.OptionLo, 0x2A & Ws->Device.OptAndLo);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 5), 0x3105u); // data kept
}

TEST_F(OpenTest, CompanionNamingAMissingFileIsReportedAndTheDataStays) {
    const std::string data = Dir / "prog.bin";
    WriteBytes(data, Bin(2048, 0x0100));
    auto other = std::make_unique<TWorkspace>();
    other->LoadedFileName = Dir / "gone.bin";
    other->Serial.SerialIncrement = 9;
    ASSERT_TRUE(SaveCfgFile(*other, Dir / "prog.cfg"));
    const TFileResult r = OpenDataFile(*Ws, data, {});
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Messages,
              std::vector<std::string>{"'" + (Dir / "gone.bin") + "' file do not find!"});
    EXPECT_EQ(Ws->Serial.SerialIncrement, 1);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x0100u);
}

TEST_F(OpenTest, OpeningAConfigLoadsItInFullMode) {
    const std::string data = Dir / "MixedCase.Ohx";
    WriteFile(data, Record(0, 0, {0x80, 0x10}) + "\n");
    auto other = std::make_unique<TWorkspace>();
    other->SelectDevice("OV128");
    other->LoadedFileName = data;
    ASSERT_TRUE(SaveCfgFile(*other, Dir / "proj.cfg"));
    TFileResult r = OpenDataFile(*Ws, Dir / "proj.cfg", {});
    ASSERT_TRUE(r.Ok) << r.Messages[0];
    EXPECT_EQ(Ws->DeviceName, "OV128");
    EXPECT_EQ(Ws->LoadedFileName, data);
    EXPECT_EQ(Ws->ConfigPath, Dir / "proj.cfg");
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x1080u);
    EXPECT_TRUE(r.RecreateMemoryWindow);

    // A broken one resets the data.
    WriteFile(Dir / "bad.cfg", "xyz");
    r = OpenDataFile(*Ws, Dir / "bad.cfg", {});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.ResetWindows);
    EXPECT_EQ(r.Messages, std::vector<std::string>{"'" + (Dir / "bad.cfg") + "' file data error!"});
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x3FFFu);
    EXPECT_EQ(Ws->LoadedFileName, "");
}

} // namespace
} // namespace orvan
