// QTP records as generated and as read back, the reader's messages, and
// loading a file against the program's RTIW words.
#include "production/Qtp.h"
#include "production/SerialNo.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace orvan {
namespace {

TSerialSettings Number(int n, int32_t addr, const std::vector<int>& msbFirst) {
    TSerialSettings s;
    s.SerialByteCount = n;
    s.SerialStartAddr = addr;
    for (int j = 0; j < n; ++j)
        s.SerialBytes[size_t(j)] = msbFirst[size_t(n - 1 - j)];
    return s;
}

TEST(QtpRecord, ByteForByte) {
    TSerialSettings s = Number(2, 0x0010, {0x12, 0x34});
    EXPECT_EQ(QTPRecord(s), ":040010001231343144\r\n");
    s.SerialStartAddr = 0x0123; // only the address's low byte enters the checksum
    EXPECT_EQ(QTPRecord(s), ":040123001231343131\r\n");
    s.SerialLsbFirst = 1;
    EXPECT_EQ(QTPRecord(s), ":040123003431123131\r\n");
    s = Number(8, 0x0FF0, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_EQ(QTPRecord(s), ":100FF0000131023103310431053106310731083154\r\n");
}

TEST(QtpRecord, GeneratedFileCountsOnAndEndsWithoutLineEnd) {
    TSerialSettings s = Number(1, 0, {0x01});
    EXPECT_EQ(GenerateQTP(s, 3),
              ":020000000131CC\r\n:020000000231CB\r\n:020000000331CA\r\n:00000001FF");
    EXPECT_EQ(s.HexText(), "04"); // the number after the last record
}

// Generated records read back into the same numbers, in both byte orders
// and both modes, to the end record.
TEST(QtpRead, RoundTrip) {
    for (int lsb : {0, 1})
        for (int random : {0, 1}) {
            TSerialSettings gen = Number(5, 0x0200, {0x01, 0xFE, 0x00, 0x80, 0x7F});
            gen.SerialLsbFirst = lsb;
            gen.SerialRandom = random;
            gen.SerialIncrement = 200;
            TSerialSettings expected = gen;
            TQTPFile f;
            f.Text = std::make_shared<const std::string>(GenerateQTP(gen, 40));
            TSerialSettings read;
            read.SerialLsbFirst = lsb;
            bool active = false;
            for (int i = 0; i < 40; ++i) {
                ASSERT_EQ(ReadSerialData(f, read, active), std::nullopt) << i;
                EXPECT_FALSE(f.QTPEnd);
                EXPECT_EQ(read.HexText(), expected.HexText());
                EXPECT_EQ(read.SerialStartAddr, 0x0200);
                SerialNoNext(expected);
            }
            ASSERT_EQ(ReadSerialData(f, read, active), std::nullopt);
            EXPECT_TRUE(f.QTPEnd);
            EXPECT_TRUE(active);
            EXPECT_EQ(read.SerialByteCount, 5); // the end record carries no number
        }
}

std::optional<std::string> ReadOne(const std::string& text, TSerialSettings& s) {
    TQTPFile f;
    f.Text = std::make_shared<const std::string>(text);
    bool active = false;
    auto m = ReadSerialData(f, s, active);
    EXPECT_EQ(active, !m.has_value()) << text;
    return m;
}

TEST(QtpRead, EveryMessage) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"020000000131CC", QTPInformationErrorText}, // no colon
        {"", QTPInformationErrorText},
        {":0G0000000131CC", QTPInformationErrorText},
        {":0", QTPInformationErrorText},          // cut short in the length
        {":00000000FF", QTPInformationErrorText}, // data record without bytes
        {":1200000001310231033104310531063107310831093108", QTPInformationErrorText}, // 9 bytes
        {":0200X0000131CC", QTPDataErrorText},
        {":020000Z00131CC", QTPDataErrorText},
        {":0200000G0131CC", QTPDataErrorText},
        {":0200000001", QTPDataErrorText},     // cut short in the data
        {":020000000132CB", QTPDataErrorText}, // not an RTIW opcode
        {":020000000131C", QTPDataErrorText},  // cut short in the checksum
        {":020000000131CD", QTPChecksumErrorText},
        {":020000000231CC", QTPChecksumErrorText}, // data digit changed, checksum not
    };
    for (const auto& [text, message] : cases) {
        TSerialSettings s = Number(2, 0x40, {0xAB, 0xCD});
        const TSerialSettings before = s;
        EXPECT_EQ(ReadOne(text, s), message) << text;
        // A record that fails leaves the settings as they were.
        EXPECT_EQ(s.HexText(), before.HexText()) << text;
        EXPECT_EQ(s.SerialStartAddr, 0x40) << text;
        EXPECT_EQ(s.SerialByteCount, 2) << text;
    }
    TSerialSettings s;
    EXPECT_EQ(ReadOne(":0A00000001310231033104310531F2", s), std::nullopt);
    EXPECT_EQ(s.SerialByteCount, 5);
    EXPECT_EQ(s.HexText(), "0102030405");
}

TEST(QtpRead, BareLineFeedsAndStopAfterEnd) {
    TQTPFile f;
    f.Text = std::make_shared<const std::string>(":020000000131CC\n:020000000231CB\n:00000001FF");
    TSerialSettings s;
    bool active = false;
    EXPECT_EQ(ReadSerialData(f, s, active), std::nullopt);
    EXPECT_EQ(ReadSerialData(f, s, active), std::nullopt);
    EXPECT_EQ(s.HexText(), "02");
    EXPECT_EQ(ReadSerialData(f, s, active), std::nullopt);
    EXPECT_TRUE(f.QTPEnd);
    // Reading on past the end is an error, never a read past the text.
    EXPECT_EQ(ReadSerialData(f, s, active), QTPInformationErrorText);
    TQTPFile closed;
    EXPECT_EQ(ReadSerialData(closed, s, active), QTPInformationErrorText);
}

struct QtpLoad : ::testing::Test {
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
    void SetUp() override {
        ASSERT_TRUE(Ws->SelectDevice("OV128"));
        SetWord(Ws->Buffers.ProgramBuffer.data(), 0, 0x3100);
        SetWord(Ws->Buffers.ProgramBuffer.data(), 1, 0x3100);
    }
};

TEST_F(QtpLoad, TakesTheFirstNumber) {
    EXPECT_EQ(LoadQTP(*Ws, "/lines/shift-a/parts.txt", ":040000001231343154\r\n:00000001FF"),
              std::nullopt);
    EXPECT_TRUE(Ws->QTPActive);
    EXPECT_TRUE(Ws->Serial.SerialModeOn);
    EXPECT_EQ(Ws->Panel.QTPFile, "parts.txt");
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 0), 0x3112u);
    EXPECT_EQ(GetWord(Ws->Buffers.ProgramBuffer.data(), 1), 0x3134u);
    EXPECT_EQ(Ws->Panel.SerialNo, "1234");
    // Resetting the buffers closes it.
    Ws->ResetData();
    EXPECT_FALSE(Ws->QTP.IsOpen());
    EXPECT_FALSE(Ws->QTPActive);
}

TEST_F(QtpLoad, RefusedFilesLeaveSerialModeOff) {
    Ws->Serial.SerialModeOn = true;
    // Word 2 is no RTIW word.
    EXPECT_EQ(LoadQTP(*Ws, "a.txt", ":0600000001310231033161\r\n:00000001FF"), NotRTIWText);
    EXPECT_FALSE(Ws->QTPActive);
    EXPECT_FALSE(Ws->Serial.SerialModeOn);
    EXPECT_FALSE(Ws->QTP.IsOpen());
    EXPECT_EQ(LoadQTP(*Ws, "a.txt", "x"), QTPInformationErrorText);
    EXPECT_EQ(LoadQTP(*Ws, "a.txt", ":00000001FF"), QTPFinishedText);
    EXPECT_FALSE(Ws->QTPActive);
    EXPECT_EQ(Ws->Panel.QTPFile, "Disable");
}

TEST(QtpWrite, AtomicAndReportsFailure) {
    const std::string dir = testing::TempDir() + "qtp-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/parts.txt";
    TSerialSettings s = Number(1, 0, {1});
    ASSERT_TRUE(WriteQTPFile(path, GenerateQTP(s, 2)));
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, ":020000000131CC\r\n:020000000231CB\r\n:00000001FF");
    EXPECT_FALSE(WriteQTPFile(dir + "/no/such/folder/parts.txt", "x"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1); // no leftovers
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace orvan
