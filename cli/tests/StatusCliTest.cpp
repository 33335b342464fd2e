#include "cli/tests/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace orvan::test {
namespace {

TEST(CliStatus, BlankOV101Panel) {
    const TCliResult r = RunCli("status -d OV101");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "Device: OV101\n"
                     "OSC Type: Blank\n"
                     "PRD: (greyed)\n"
                     "OST: Blank\n"
                     "WDT: Blank\n"
                     "PED: Blank\n"
                     "Security: Disable\n"
                     "Checksum: 7C00\n"
                     "OPTION Sum: 7D2E\n"
                     "Protect Sum: 7C00\n");
}

TEST(CliStatus, OptionWordIsDecodedAndMasked) {
    const TCliResult r = RunCli("status -d OV128 --option 1666");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find("MCLR HI: Enable\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("PUT: 0mS\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Security: Enable\n"), std::string::npos) << r.Out;
}

TEST(CliStatus, BadInputIsAUsageError) {
    for (const char* args :
         {"status -d OV999", "status -d OV101 --option 12", "status -d OV101 --option 4000",
          "status -d OV101 --option 12G4", "status", "frobnicate", "status -d"}) {
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_TRUE(r.Out.empty()) << args;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << args << ": " << r.Err;
    }
}

TEST(CliDevices, OneLinePerModelInOrder) {
    const TCliResult r = RunCli("devices");
    ASSERT_EQ(r.Status, 0);
    std::istringstream in(r.Out);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 37u);
    EXPECT_EQ(lines[0], "OV101 512 1 12 OTP 1");
    EXPECT_EQ(lines[27], "OV128 1024 10 14 flash 1");
    EXPECT_EQ(lines[31], "OV132 6144 14 14 OTP 2");
}

TEST(CliHelp, DescribesEverySubcommand) {
    const TCliResult r = RunCli("--help");
    ASSERT_EQ(r.Status, 0);
    for (const char* cmd : {"devices", "status", "convert", "connect", "about", "--cfg", "-P"})
        EXPECT_NE(r.Out.find(cmd), std::string::npos) << cmd;
}

} // namespace
} // namespace orvan::test
