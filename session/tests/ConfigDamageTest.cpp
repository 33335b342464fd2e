// Damaged configuration files: refused whole, never half-applied. The
// mutation cases change every byte of two valid files to every other value
// (the raw bytes of the full-mode file to a few); each result is either
// refused with nothing applied, or moves no setting but the one whose field
// the changed byte lies in.
#include "session/ConfigFile.h"

#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include <unistd.h>

namespace orvan {
namespace {

using test::Bytes;
using test::Record;
using test::Str;
using test::TTempDir;
using test::WriteBytes;
using test::WriteFile;

// What a configuration can set, one entry per setting.
enum TSetting {
    SetDataFile,
    SetPort,
    SetDevice,
    SetPassCount,
    SetSerialMode,
    SetStartAddr,
    SetByteCount,
    SetSerialNumber,
    SetIncrement,
    SetRandom,
    SetLsbFirst,
    SetOptionLo,
    SetOptionHi,
    SetProgram,
    SetID0, // SetID0 + i for ID byte i
    SettingCount = SetID0 + IDBytes,
};

struct TSnapshot {
    std::string DataFile, Device, PassCount, SerialText;
    int Port = 0;
    TSerialSettings Serial;
    uint8_t OptionLo = 0, OptionHi = 0;
    std::array<uint8_t, IDBytes> ID{};
    std::vector<uint8_t> Program;

    explicit TSnapshot(const TWorkspace& ws)
        : DataFile(ws.LoadedFileName), Device(ws.DeviceName), PassCount(ws.Panel.PassCount),
          SerialText(ws.Panel.SerialNo), Port(ws.PortIndex), Serial(ws.Serial),
          OptionLo(ws.Buffers.OptionLo), OptionHi(ws.Buffers.OptionHi), ID(ws.Buffers.IDBuffer),
          Program(ws.Buffers.ProgramBuffer.begin(), ws.Buffers.ProgramBuffer.end()) {}

    bool SameProgram(const TWorkspace& ws) const {
        return std::memcmp(Program.data(), ws.Buffers.ProgramBuffer.data(), Program.size()) == 0;
    }

    // The settings in which `ws` differs from this snapshot.
    std::set<int> Diff(const TWorkspace& ws) const {
        std::set<int> d;
        const TSerialSettings& s = Serial;
        const TSerialSettings& t = ws.Serial;
        if (DataFile != ws.LoadedFileName) d.insert(SetDataFile);
        if (Port != ws.PortIndex) d.insert(SetPort);
        if (Device != ws.DeviceName) d.insert(SetDevice);
        if (PassCount != ws.Panel.PassCount) d.insert(SetPassCount);
        if (s.SerialModeOn != t.SerialModeOn) d.insert(SetSerialMode);
        if (s.SerialStartAddr != t.SerialStartAddr) d.insert(SetStartAddr);
        if (s.SerialByteCount != t.SerialByteCount) d.insert(SetByteCount);
        if (s.SerialBytes != t.SerialBytes || SerialText != ws.Panel.SerialNo)
            d.insert(SetSerialNumber);
        if (s.SerialIncrement != t.SerialIncrement) d.insert(SetIncrement);
        if (s.SerialRandom != t.SerialRandom) d.insert(SetRandom);
        if (s.SerialLsbFirst != t.SerialLsbFirst) d.insert(SetLsbFirst);
        if (OptionLo != ws.Buffers.OptionLo) d.insert(SetOptionLo);
        if (OptionHi != ws.Buffers.OptionHi) d.insert(SetOptionHi);
        if (!SameProgram(ws)) d.insert(SetProgram);
        for (int i = 0; i < IDBytes; ++i)
            if (ID[size_t(i)] != ws.Buffers.IDBuffer[size_t(i)]) d.insert(SetID0 + i);
        return d;
    }

    // Puts every setting back, so one workspace serves many loads.
    void Restore(TWorkspace& ws) const {
        ws.LoadedFileName = DataFile;
        ws.DeviceName = Device;
        ws.Panel.PassCount = PassCount;
        ws.Panel.SerialNo = SerialText;
        ws.PortIndex = Port;
        ws.Serial = Serial;
        ws.Buffers.OptionLo = OptionLo;
        ws.Buffers.OptionHi = OptionHi;
        ws.Buffers.IDBuffer = ID;
        if (!SameProgram(ws))
            std::memcpy(ws.Buffers.ProgramBuffer.data(), Program.data(), Program.size());
        ws.GetICInfo();
    }
};

// For every byte of a file SaveCfg wrote, the settings a change of that
// byte may move. Skipped fields (OPTION texts, checksum, serial number
// display) move none; a field's terminator counts with the field.
std::vector<std::set<int>> FieldSettings(const std::vector<uint8_t>& file, TCfgMode mode) {
    std::vector<std::set<int>> owner(file.size());
    const std::size_t rawStart = file.size() - 2 - IDBytes;
    std::size_t pos = 3;
    auto claim = [&](std::size_t end, std::set<int> settings) {
        for (; pos <= end; ++pos)
            owner[pos] = settings;
    };
    const bool full = mode == TCfgMode::Full;
    std::size_t end = pos;
    while (file[end] != 0x0F)
        ++end;
    // Another data file brings other program words in full mode.
    claim(end, full ? std::set<int>{SetDataFile, SetProgram} : std::set<int>{SetDataFile});
    // Field by field after the name, in file order; -1 marks a skipped field.
    const std::vector<std::set<int>> fields = {
        {SetPort},
        // The OPTION bytes are masked for the device they belong to.
        full ? std::set<int>{SetDevice, SetOptionLo, SetOptionHi} : std::set<int>{},
        {},
        {},
        {},
        {},
        {},
        {},
        {}, // six OPTION texts, checksum
        {SetPassCount},
        {}, // serial number display
        {SetSerialMode},
        {SetStartAddr},
        {SetByteCount, SetSerialNumber},
        {SetSerialNumber},
        {SetIncrement},
        {SetRandom},
        {SetLsbFirst},
    };
    for (const auto& f : fields) {
        end = pos;
        while (file[end] != ' ')
            ++end;
        // "RC, PB4" and "RC, CLK" are one OPTION text holding a blank.
        if (end - pos == 3 && file[pos] == 'R' && file[pos + 1] == 'C' && file[pos + 2] == ',') {
            ++end;
            while (file[end] != ' ')
                ++end;
        }
        claim(end, f);
    }
    EXPECT_EQ(pos, rawStart);
    owner[rawStart] = {SetOptionLo};
    owner[rawStart + 1] = {SetOptionHi};
    for (int i = 0; i < IDBytes; ++i)
        owner[rawStart + 2 + size_t(i)] = {SetID0 + i};
    return owner;
}

class ConfigDamageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Dir.Path().empty());
        DataPath = Dir / "prog.bin";
        std::vector<uint8_t> words(1024);
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<uint8_t>(i * 7);
        WriteBytes(DataPath, words); // OV101: 512 words
        Cfg = Dir / "proj.cfg";
    }
    std::unique_ptr<TWorkspace> NewWs(const char* device = "OV117") const {
        auto ws = std::make_unique<TWorkspace>();
        ws->ConfigPath = Cfg;
        ws->SelectDevice(device);
        ws->LoadedFileName = "before.bin";
        ws->PortIndex = 5;
        return ws;
    }
    // Every setting away from its start value; serial mode on at word 100.
    std::vector<uint8_t> GoodFile(const std::string& dataFile, unsigned option) const {
        TWorkspace ws;
        ws.SelectDevice("OV101");
        ws.LoadedFileName = dataFile;
        ws.PortIndex = 2;
        TSerialSettings& s = ws.Serial;
        s.SerialModeOn = true;
        s.SerialStartAddr = 100;
        s.SerialByteCount = 2;
        s.SerialBytes[0] = 0x9A;
        s.SerialBytes[1] = 0x3C;
        s.SerialIncrement = 17;
        s.SerialRandom = 1;
        s.SerialLsbFirst = 0;
        ws.Panel.SerialNo = s.HexText();
        for (int i = 0; i < IDBytes; ++i)
            ws.Buffers.IDBuffer[size_t(i)] = static_cast<uint8_t>(0x40 + i);
        WordToPair(option, ws.Buffers.OptionLo, ws.Buffers.OptionHi);
        ws.RefreshData();
        ws.CalChecksum();
        return SaveCfg(ws);
    }
    std::string DataError() const { return "'" + Cfg + "' file data error!"; }

    // Loads every single-byte change of `good`; see the file comment. With
    // `fewInRaw`, the raw OPTION and ID bytes (copied as they are, and each
    // change a data file load in full mode) take only the values that
    // could pass for a terminator or end a name.
    void MutateEveryByte(const std::vector<uint8_t>& good, TCfgMode mode,
                         bool fewInRaw = false) const {
        const std::size_t rawStart = good.size() - 2 - IDBytes;
        const std::set<int> fewValues = {0x00, 0x0F, 0x20, 0x30, 0x7F, 0x80, 0xFF};
        const bool full = mode == TCfgMode::Full;
        auto ws = NewWs();
        const TSnapshot start(*ws);
        ASSERT_TRUE(LoadCfg(*ws, good, mode, {}).Ok);
        const TSnapshot loaded(*ws);
        const auto owner = FieldSettings(good, mode);
        int accepted = 0, refused = 0;
        std::vector<uint8_t> bytes = good;
        for (std::size_t pos = 0; pos < good.size(); ++pos) {
            for (int v = 0; v < 256; ++v) {
                if (v == good[pos] || (fewInRaw && pos >= rawStart && !fewValues.count(v)))
                    continue;
                bytes[pos] = static_cast<uint8_t>(v);
                start.Restore(*ws);
                const TFileResult r = LoadCfg(*ws, bytes, mode, {});
                if (!r.Ok) {
                    ++refused;
                    ASSERT_FALSE(r.Messages.empty()) << pos << " " << v;
                    std::set<int> moved = start.Diff(*ws);
                    // Only a full load that names a missing data file forgets the name.
                    if (full && ws->LoadedFileName.empty()) moved.erase(SetDataFile);
                    ASSERT_TRUE(moved.empty())
                        << "refused but applied: byte " << pos << " = " << v << ", setting "
                        << *moved.begin() << ": " << r.Messages[0];
                } else {
                    ++accepted;
                    for (int s : loaded.Diff(*ws))
                        ASSERT_TRUE(owner[pos].count(s))
                            << "byte " << pos << " = " << v << " moved setting " << s;
                }
            }
            bytes[pos] = good[pos];
        }
        EXPECT_GT(accepted, 0);
        EXPECT_GT(refused, accepted);
    }

    TTempDir Dir;
    std::string DataPath, Cfg;
};

TEST_F(ConfigDamageTest, EverySingleByteChangeFullMode) {
    MutateEveryByte(GoodFile(DataPath, 0x1A96), TCfgMode::Full, /*fewInRaw=*/true);
}

TEST_F(ConfigDamageTest, EverySingleByteChangeSettingsMode) {
    // Serial mode on with its words at the end of OV101's memory, and an
    // OPTION text that holds a blank.
    auto bytes = GoodFile(DataPath, 0x3FF5);
    std::string text = Str(bytes);
    const std::string hf = " HF ";
    ASSERT_NE(text.find(hf), std::string::npos);
    text.replace(text.find(hf), hf.size(), " RC, PB4 ");
    text.replace(text.find(" 1 100 2 "), 9, " 1 510 2 ");
    MutateEveryByte(Bytes(text), TCfgMode::Settings);
}

TEST_F(ConfigDamageTest, SplitOrJoinedFieldsAreRefusedWhole) {
    const std::string good = Str(GoodFile(DataPath, 0x1A96));
    const std::string tail = " 0 3C9A 1 100 2 3C9A 17 1 0 ";
    ASSERT_NE(good.find(tail), std::string::npos);
    auto with = [&](const std::string& t) {
        std::string s = good;
        s.replace(s.find(tail), tail.size(), t);
        return s;
    };
    const struct {
        const char* What;
        std::string Text;
    } cases[] = {
        {"start address split", with(" 0 3C9A 1 1 0 2 3C9A 17 1 0 ")},
        {"increment split", with(" 0 3C9A 1 100 2 3C9A 1 7 1 0 ")},
        {"pass count and display joined", with(" 0X3C9A 1 100 2 3C9A 17 1 0 ")},
        {"serial mode not a digit", with(" 0 3C9A + 100 2 3C9A 17 1 0 ")},
        {"start address with a sign", with(" 0 3C9A 1 +10 2 3C9A 17 1 0 ")},
        {"display not hexadecimal", with(" 0 3C9G 1 100 2 3C9A 17 1 0 ")},
        {"checksum not hexadecimal",
         [&] {
             std::string s = good;
             const std::size_t at = s.find(" 0 3C9A");
             s.replace(at - 4, 4, "12X4");
             return s;
         }()},
        {"one byte more", good + '\x7F'},
        {"one byte less", good.substr(0, good.size() - 1)},
        {"an OPTION text split",
         [&] {
             std::string s = good;
             s.replace(s.find(" XT "), 4, " X T ");
             return s.substr(0, s.size() - 1);
         }()},
        {"port name garbled",
         [&] {
             std::string s = good;
             s.replace(s.find("Com3"), 4, "Cxm3");
             return s;
         }()},
    };
    for (const auto& c : cases) {
        for (const TCfgMode mode : {TCfgMode::Full, TCfgMode::Settings}) {
            SCOPED_TRACE(c.What);
            auto ws = NewWs();
            const TSnapshot before(*ws);
            const TFileResult r = LoadCfg(*ws, Bytes(c.Text), mode, {});
            EXPECT_FALSE(r.Ok);
            EXPECT_EQ(r.Messages, std::vector<std::string>{DataError()});
            EXPECT_TRUE(before.Diff(*ws).empty());
        }
    }
}

TEST_F(ConfigDamageTest, RefusedCompanionFileChangesNothing) {
    // The companion of a data file just loaded names the data file and
    // port, then is found damaged further on.
    std::string text = Str(GoodFile(DataPath, 0x1A96));
    text.replace(text.find(" 17 1 0 "), 8, " 17 1 0 0 ");
    auto ws = NewWs();
    ws->LoadedFileName = Dir / "other.bin";
    const TSnapshot before(*ws);
    const TFileResult r = LoadCfg(*ws, Bytes(text), TCfgMode::Settings, {});
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Messages, std::vector<std::string>{DataError()});
    EXPECT_EQ(ws->LoadedFileName, Dir / "other.bin");
    EXPECT_EQ(ws->PortIndex, 5);
    EXPECT_TRUE(before.Diff(*ws).empty());

    // A companion naming a data file that is gone leaves the loaded name.
    auto missing = Str(GoodFile(Dir / "gone.bin", 0x1A96));
    const TFileResult m = LoadCfg(*ws, Bytes(missing), TCfgMode::Settings, {});
    EXPECT_FALSE(m.Ok);
    EXPECT_EQ(m.Messages,
              std::vector<std::string>{"'" + (Dir / "gone.bin") + "' file do not find!"});
    EXPECT_TRUE(before.Diff(*ws).empty());
}

TEST_F(ConfigDamageTest, UnreadableDataFileSaysSo) {
    std::filesystem::create_directory(Dir / "folder.bin");
    const std::string big = Dir / "big.ohx";
    WriteFile(big, Record(0, 0, {0x80, 0x10}) + "\n");
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(MaxFileBytes + 1)), 0);
    const struct {
        std::string Data;
        std::string Message;
    } cases[] = {
        {Dir / "folder.bin", "'" + (Dir / "folder.bin") + "' file can't open!"},
        {big, "'" + big + "' file can't open! It is larger than 16 MiB."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Data);
        auto ws = NewWs();
        SetWord(ws->Buffers.ProgramBuffer.data(), 0, 0x1234);
        const TFileResult r = LoadCfg(*ws, GoodFile(c.Data, 0x1A96), TCfgMode::Full, {});
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Messages, std::vector<std::string>{c.Message});
        EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), 0), 0x1234u);
        EXPECT_EQ(ws->DeviceName, "OV117"); // nothing applied
        // Settings mode does not read the data file: it only has to exist.
        EXPECT_TRUE(LoadCfg(*ws, GoodFile(c.Data, 0x1A96), TCfgMode::Settings, {}).Ok);
    }
}

TEST_F(ConfigDamageTest, FullModeTranslatesPicFilesByTheirThreeCharacterType) {
    // 14-bit PIC code for OV116: MOVLW 55h, GOTO 0123h, BSF 05h,3.
    const std::vector<uint8_t> pic = {0x55, 0x30, 0x23, 0x29, 0x85, 0x15};
    std::vector<uint8_t> obj(2048, 0xFF);
    std::copy(pic.begin(), pic.end(), obj.begin());
    const std::string hexText = Record(0, 0, pic) + "\n:00000001FF\n";
    const struct {
        const char* Name;
        bool Records;
        bool Translated;
    } cases[] = {
        {"code.hex", true, true},         {"code.HEX.bak", true, true}, {"code.hexa", true, true},
        {"code.obj", false, true},        {"code.Objx", false, true},   {"code.ohx", true, false},
        {"code.bin", false, false},       {"code.ob", false, false},    {"code.he", false, false},
        {"my.dir/code.obj", false, true},
    };
    std::filesystem::create_directory(Dir / "my.dir");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Dir / c.Name;
        if (c.Records)
            WriteFile(path, hexText);
        else
            WriteBytes(path, obj);
        TWorkspace saved;
        saved.SelectDevice("OV116");
        saved.LoadedFileName = path;
        auto ws = NewWs("OV101");
        const TFileResult r = LoadCfg(*ws, SaveCfg(saved), TCfgMode::Full, {});
        ASSERT_TRUE(r.Ok) << (r.Messages.empty() ? "" : r.Messages[0]);
        EXPECT_EQ(ws->DeviceName, "OV116");
        const uint8_t* p = ws->Buffers.ProgramBuffer.data();
        if (c.Translated) {
            EXPECT_EQ(GetWord(p, 0), 0x3A55u); // LDWI 55h
            EXPECT_EQ(GetWord(p, 1), 0x2923u); // LJUMP 0123h
            EXPECT_EQ(GetWord(p, 2), 0x0985u); // BSR 05h,3
        } else {
            EXPECT_EQ(GetWord(p, 0), 0x3055u);
            EXPECT_EQ(GetWord(p, 2), 0x1585u);
        }
        EXPECT_EQ(GetWord(p, 3), 0x3FFFu);
        EXPECT_EQ(GetWord(p, 1023), 0x3FFFu);
    }
}

} // namespace
} // namespace orvan
