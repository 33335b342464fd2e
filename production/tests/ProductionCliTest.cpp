// A production run end to end: the real orvan-cli against the real
// writer-sim, which puts a fresh chip in the socket after each completed
// run and keeps each used chip as chip.img.1, chip.img.2, ...
#include "buffer/DataFile.h"
#include "device/Checksum.h"
#include "production/SerialNo.h"
#include "session/FileCommands.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"
#include "sim/SimChip.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

namespace orvan::sim::test {
using namespace orvan::test;
namespace {

constexpr int SerialAt = 0x10;
constexpr const char* Model = "OV128";
constexpr const char* Option = "3AAA";

// A program of the model's size with four RTIW words at 0010h, as BIN.
std::string ProgramBin() {
    return orvan::test::RtiwProgramBin(Model, SerialAt, 4, 0x0100, 37);
}

struct Production : ::testing::Test {
    TTempDir Dir;
    std::unique_ptr<TSimProcess> Sim;

    void SetUp() override { WriteFile(Dir.File("prog.bin"), ProgramBin()); }
    void StartSim(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--model", Model, "--fresh-chip", "--image", "chip.img",
                                 "--ports-map", "ports.map"});
        Sim = std::make_unique<TSimProcess>(Dir.Path(), args);
        ASSERT_TRUE(Sim->Started());
    }
    TRunResult Cli(std::vector<std::string> args) { return test::Run(Dir.Path(), ORVAN_CLI, args); }
    TRunResult Auto(std::vector<std::string> more) {
        std::vector<std::string> args{"-P",       "Com1", "-d",   Model,
                                      "--option", Option, "auto", "prog.bin"};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    }
    // The used chip number k, or nullopt when there is none.
    std::optional<TSimChip> UsedChip(int k) {
        TSimChip chip;
        std::string error;
        const std::string path = Dir.File("chip.img." + std::to_string(k));
        if (!std::filesystem::exists(path) || !chip.Load(path, error)) return std::nullopt;
        return chip;
    }
    static std::string Serial(const TSimChip& chip, int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += HexText(chip.Program[size_t(SerialAt + i)] & 0xFFu, 2);
        return text;
    }
    static std::string IDChecksum(const TSimChip& chip) {
        std::string text;
        for (size_t w = 6; w < 8; ++w) {
            text += char(chip.ID[w] & 0x7F);
            text += char((chip.ID[w] >> 7) & 0x7F);
        }
        return text;
    }
    // The checksum of the program with `number` (MSB first) in its RTIW words.
    std::string ExpectedChecksum(const std::string& number) {
        TWorkspace ws;
        ws.SelectDevice(Model);
        EXPECT_TRUE(OpenDataFile(ws, Dir.File("prog.bin"), {}).Ok);
        TSerialSettings& s = ws.Serial;
        s.SerialModeOn = true;
        s.SerialStartAddr = SerialAt;
        s.SerialByteCount = int(number.size() / 2);
        for (int j = 0; j < s.SerialByteCount; ++j)
            s.SerialBytes[size_t(j)] =
                std::stoi(number.substr(number.size() - size_t(2 * j + 2), 2), nullptr, 16);
        WordToPair(0x3AAA, ws.Buffers.OptionLo, ws.Buffers.OptionHi);
        SerialNo2Memory(ws);
        return ws.Panel.Checksum;
    }
};

TEST_F(Production, ThreeChipsFromAQTPFile) {
    TRunResult r = Cli({"-d", Model, "qtp", "prog.bin", "-o", "parts.txt", "--serial-addr", "10",
                        "--serial-bytes", "1", "--serial-value", "1", "--parts", "3"});
    ASSERT_EQ(r.Status, 0) << r.Out;
    EXPECT_EQ(ReadFile(Dir.File("parts.txt")),
              ":020010000131BC\r\n:020010000231BB\r\n:020010000331BA\r\n:00000001FF");

    StartSim();
    r = Auto({"--qtp", "parts.txt", "--count", "5"});
    EXPECT_EQ(Lines(r.Out),
              (std::vector<std::string>{"QTP record 1: a new series starts",
                                        "chip 1 serial 01 PASS", "chip 2 serial 02 PASS",
                                        "chip 3 serial 03 PASS", "QTP Program Finished!",
                                        "Pass Count : 3", "Passes 3, fails 0, yield 100.0%"}));
    EXPECT_EQ(r.Status, 0);
    std::set<std::string> checksums;
    for (int k = 1; k <= 3; ++k) {
        const auto chip = UsedChip(k);
        ASSERT_TRUE(chip) << k;
        const std::string number = HexText(unsigned(k), 2);
        EXPECT_EQ(Serial(*chip, 1), number);
        EXPECT_EQ(IDChecksum(*chip), ExpectedChecksum(number));
        checksums.insert(IDChecksum(*chip));
        EXPECT_EQ(chip->Option[0], 0x3AAA);
    }
    EXPECT_EQ(checksums.size(), 3u);
    EXPECT_FALSE(UsedChip(4));
}

// A chip that failed after its number went on (here in the middle of its
// data) uses the number up: the next chip gets the next one.
TEST_F(Production, AChipThatFailedWithItsNumberOnUsesItUp) {
    StartSim({"--bad-reply", "100:42"});
    const TRunResult r = Auto(
        {"--count", "2", "--serial-addr", "0010", "--serial-bytes", "2", "--serial-value", "0041"});
    EXPECT_EQ(Lines(r.Out),
              (std::vector<std::string>{"Serial No. 0041: a new series starts",
                                        "chip 1 serial 0041 FAIL: Unknow return value!!",
                                        "chip 2 serial 0042 PASS", "Pass Count : 1",
                                        "Passes 1, fails 1, yield 50.0%"}));
    EXPECT_EQ(r.Status, 3); // the writer's fault, not the chip's
    const auto chip = UsedChip(1);
    ASSERT_TRUE(chip);
    EXPECT_EQ(Serial(*chip, 2), "0042");
    EXPECT_FALSE(UsedChip(2));
}

TEST_F(Production, OptionThatDoesNotHoldIsNotCounted) {
    StartSim({"--weak-option", "0002"});
    const TRunResult r = Auto(
        {"--count", "2", "--serial-addr", "0010", "--serial-bytes", "1", "--serial-value", "7F"});
    EXPECT_EQ(Lines(r.Out),
              (std::vector<std::string>{"Serial No. 7F: a new series starts",
                                        "chip 1 serial 7F FAIL: OPTION verify Fail!!",
                                        "chip 2 serial 80 FAIL: OPTION verify Fail!!",
                                        "Pass Count : 0", "Passes 0, fails 2, yield 0.0%"}));
    // Each chip still carries its own number.
    ASSERT_TRUE(UsedChip(2));
    EXPECT_EQ(Serial(*UsedChip(1), 1), "7F");
    EXPECT_EQ(Serial(*UsedChip(2), 1), "80");
}

TEST_F(Production, TwentyRandomNumbersNoTwoAlike) {
    StartSim();
    const TRunResult r = Auto({"--count", "20", "--random", "--serial-addr", "0010",
                               "--serial-bytes", "2", "--serial-value", "0000"});
    ASSERT_EQ(r.Status, 0) << r.Out;
    const auto lines = Lines(r.Out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "Pass Count : 20");
    EXPECT_EQ(lines.back(), "Passes 20, fails 0, yield 100.0%");
    std::set<std::string> numbers;
    for (int k = 1; k <= 20; ++k) {
        const auto chip = UsedChip(k);
        ASSERT_TRUE(chip) << k;
        numbers.insert(Serial(*chip, 2));
        EXPECT_NE(r.Out.find("chip " + std::to_string(k) + " serial " + Serial(*chip, 2) + " PASS"),
                  std::string::npos)
            << k;
    }
    EXPECT_EQ(numbers.size(), 20u);
}

TEST_F(Production, ProgramIDAndRefusals) {
    StartSim();
    TRunResult r =
        Cli({"-P", "Com1", "-d", Model, "program-id", "prog.bin", "--id-hex", "41 42 80 FF 9"});
    EXPECT_EQ(r.Status, 0) << r.Out;
    EXPECT_NE(r.Out.find("ID: 41 42 00 7F 1F 7F 7F 7F 7F 7F 7F 7F\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Program Ok!!\nID & Checksum verify OK!!\n"), std::string::npos);
    TSimChip chip;
    std::string error;
    ASSERT_TRUE(chip.Load(Dir.File("chip.img"), error)) << error;
    EXPECT_EQ(chip.ID[0], 0x41 | 0x42 << 7);

    // Serial words that are not RTIW words, or run past the program memory.
    for (const char* addr : {"0012", "03FF"}) {
        r = Auto({"--serial-addr", addr, "--serial-bytes", "3", "--serial-value", "1"});
        EXPECT_EQ(r.Status, 2);
        EXPECT_NE(r.Out.find("The program memory is not 'RTIW'. Serial No. will be disable!"),
                  std::string::npos)
            << addr;
    }
    r = Cli({"-d", Model, "qtp", "prog.bin", "-o", "no/such/dir/parts.txt", "--serial-addr", "10",
             "--serial-bytes", "1", "--serial-value", "1", "--parts", "3"});
    EXPECT_EQ(r.Status, 4);
    EXPECT_NE(r.Out.find("File can't be saved!"), std::string::npos);
    r = Cli({"-d", Model, "qtp", "prog.bin", "-o", "p.txt", "--serial-addr", "10", "--serial-bytes",
             "9", "--serial-value", "1", "--parts", "3"});
    EXPECT_NE(r.Out.find("\"No. of Byte\" is not a valid value!!"), std::string::npos);
    r = Cli({"-d", Model, "qtp", "prog.bin", "-o", "p.txt", "--serial-addr", "10", "--serial-bytes",
             "1", "--serial-value", "1", "--parts", "100001"});
    EXPECT_NE(r.Out.find("\"No. of Parts\" value overflow!"), std::string::npos);
}

} // namespace
} // namespace orvan::sim::test
