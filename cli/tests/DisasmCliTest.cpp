// orvan-cli disasm: the listing on standard output and the ".dis" file.
#include "cli/tests/CliRunner.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <regex>

namespace orvan::test {
namespace {

const char* HeaderText = ";Registers\n"
                         "IAR     EQU     00H\n"
                         "RTCC    EQU     01H\n"
                         "PCL     EQU     02H\n"
                         "STATUS  EQU     03H\n"
                         "MSR     EQU     04H\n"
                         "PORTA   EQU     05H\n"
                         "PORTB   EQU     06H\n"
                         "PORTC   EQU     07H\n"
                         ";\n"
                         "W       EQU     0H\n"
                         "R       EQU     1H\n"
                         ";Flags\n"
                         "CF      EQU     0H\n"
                         "HC      EQU     1H\n"
                         "ZF      EQU     2H\n"
                         "PF      EQU     3H\n"
                         "TF      EQU     4H\n"
                         ";\n"
                         "        ORG     0000H           ;Addr    Org-Code\n";

class CliDisasm : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(Dir.Path().empty()); }
    TCliResult Cli(const std::string& args) const { return RunCli(args, Dir.Path()); }
    TTempDir Dir;
};

TEST_F(CliDisasm, BlankDevicePrintsOnlyTheHeaderAndEnd) {
    for (const char* model : {"OV101", "OV132"}) {
        const TCliResult r = Cli(std::string("disasm -d ") + model);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Out, std::string(HeaderText) + "        END\n") << model;
        EXPECT_TRUE(r.Err.empty()) << r.Err;
    }
}

TEST_F(CliDisasm, LoadedFileListedAndSavedAsTheWindowWouldSaveIt) {
    // BIN words, little-endian: LDWI 55h, two blank words, CLRW, RET; the
    // rest of OV101's 512 words blank.
    std::vector<uint8_t> bin(1024);
    for (std::size_t i = 0; i < bin.size(); i += 2) {
        bin[i] = 0xFF;
        bin[i + 1] = 0x3F;
    }
    const uint8_t code[] = {0x55, 0x3A, 0xFF, 0x3F, 0xFF, 0x3F, 0x83, 0x10, 0x04, 0x10};
    std::copy(std::begin(code), std::end(code), bin.begin());
    WriteBytes(Dir / "prog.bin", bin);
    const TCliResult r = Cli("disasm -d OV101 prog.bin");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string expected = std::string(HeaderText) +
                                 "        LDWI    055H            ;0000    3A55\n"
                                 ";----------------------------\n"
                                 "        ORG     0003H\n"
                                 "        CLRW                    ;0003    1083\n"
                                 "        RET                     ;0004    1004\n"
                                 "        END\n";
    EXPECT_EQ(r.Out, expected);

    const TCliResult s = Cli("disasm -d OV101 prog.bin -o prog.dis");
    ASSERT_EQ(s.Status, 0) << s.Err;
    EXPECT_TRUE(s.Out.empty());
    const auto file = ReadBytes(Dir / "prog.dis");
    EXPECT_EQ(std::string(file.begin(), file.end()),
              std::regex_replace(expected, std::regex("\n"), "\r\n"));
}

TEST_F(CliDisasm, ErrorsAreReported) {
    // Usage: no model, two files.
    for (const char* args : {"disasm", "disasm -d OV101 a.bin b.bin", "disasm -d NOPE"}) {
        const TCliResult r = Cli(args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_TRUE(r.Out.empty()) << args;
    }
    // A missing data file, and an output that cannot be written.
    TCliResult r = Cli("disasm -d OV101 missing.bin");
    EXPECT_EQ(r.Status, 4);
    EXPECT_TRUE(r.Out.empty());
    EXPECT_FALSE(r.Err.empty());
    r = Cli("disasm -d OV101 -o no/such/folder/x.dis");
    EXPECT_EQ(r.Status, 4);
    EXPECT_EQ(r.Err, "File can't be saved!\n");

    r = Cli("--help");
    EXPECT_NE(r.Out.find("disasm -d MODEL"), std::string::npos);
}

} // namespace
} // namespace orvan::test
