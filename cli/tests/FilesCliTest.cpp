// orvan-cli with data and configuration files: status FILE, convert, --cfg.
#include "cli/tests/CliRunner.h"
#include "device/Checksum.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/PicPrograms.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace orvan::test {
namespace {

class CliFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(Dir.Path().empty()); }
    TCliResult Cli(const std::string& args) const { return RunCli(args, Dir.Path()); }
    TTempDir Dir;
};

TEST_F(CliFiles, StatusOfAGpasmBuiltFileShowsTheTranslatedChecksum) {
    if (!HaveTool("gpasm")) GTEST_SKIP() << "gpasm is not installed (Debian package gputils)";
    WriteFile(Dir / "prog.asm", Pic14Source);
    ASSERT_EQ(std::system(("cd '" + Dir.Path() +
                           "' && gpasm -p p16f84 prog.asm -o prog.hex >/dev/null 2>&1")
                              .c_str()),
              0);
    const TCliResult r = Cli("status -d OV117 prog.hex");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string sum = HexText(ExpectedChecksum(Pic14Words, 2048), 4);
    EXPECT_NE(r.Out.find("Checksum: " + sum + "\n"), std::string::npos) << r.Out;

    // convert writes the same words back as BIN, little-endian.
    const TCliResult c = Cli("convert -d OV117 prog.hex out.bin");
    ASSERT_EQ(c.Status, 0) << c.Err;
    const auto bin = ReadBytes(Dir / "out.bin");
    ASSERT_EQ(bin.size(), 4096u);
    for (std::size_t i = 0; i < 2048; ++i) {
        const unsigned want = i < Pic14Words.size() ? Pic14Words[i] : 0x3FFFu;
        ASSERT_EQ(bin[2 * i] | (bin[2 * i + 1] << 8), static_cast<int>(want)) << i;
    }
    const TCliResult again = Cli("status -d OV117 out.bin");
    EXPECT_NE(again.Out.find("Checksum: " + sum + "\n"), std::string::npos) << again.Out;
}

TEST_F(CliFiles, ConfigGivesTheModelAndTheData) {
    WriteFile(Dir / "code.ohx", Record(0, 0, {0x80, 0x10}) + "\n:00000001FF\n");
    auto ws = std::make_unique<TWorkspace>();
    ws->SelectDevice("OV128");
    ws->LoadedFileName = Dir / "code.ohx";
    ASSERT_TRUE(SaveCfgFile(*ws, Dir / "proj.cfg"));
    // OV128: 1024 words, word 0 = 1080h, the rest blank.
    const std::string sum = HexText(ExpectedChecksum({0x1080}, 1024), 4);
    // -d beside --cfg only confirms the file's model (another is refused).
    for (const char* args : {"status --cfg proj.cfg", "status -d ov128 --cfg proj.cfg"}) {
        const TCliResult r = Cli(args);
        ASSERT_EQ(r.Status, 0) << args << ": " << r.Err;
        EXPECT_EQ(r.Out.rfind("Device: OV128\n", 0), 0u) << r.Out;
        EXPECT_NE(r.Out.find("Checksum: " + sum + "\n"), std::string::npos) << r.Out;
    }
    const TCliResult c = Cli("convert --cfg proj.cfg code.ohx out.bin");
    ASSERT_EQ(c.Status, 0) << c.Err;
    EXPECT_EQ(ReadBytes(Dir / "out.bin").size(), 2048u);
}

TEST_F(CliFiles, FileErrorsPrintTheMessageAndExit4) {
    WriteBytes(Dir / "short.bin", std::vector<uint8_t>(4095, 0));
    WriteFile(Dir / "notes.txt", "x");
    WriteFile(Dir / "broken.ohx", Record(0, 0, {1, 2}, 1) + "\n");
    WriteFile(Dir / "bad.cfg", "nope");
    struct {
        const char* Args;
        std::string Err;
    } cases[] = {
        {"status -d OV117 missing.bin", "File don't exist!\n"},
        {"status -d OV117 short.bin", "File size unmatch!\n"},
        {"status -d OV117 notes.txt", "File type incorrect!\n"},
        {"status -d OV117 broken.ohx", "File data error at line 1 !\n"},
        {"convert -d OV117 short.bin out.bin", "File size unmatch!\n"},
        {"status --cfg bad.cfg", "'bad.cfg' file data error!\n"},
        {"status --cfg none.cfg", "File can't open!\n"},
    };
    for (const auto& c : cases) {
        const TCliResult r = Cli(c.Args);
        EXPECT_EQ(r.Status, 4) << c.Args;
        EXPECT_EQ(r.Err, c.Err) << c.Args;
        EXPECT_TRUE(r.Out.empty()) << c.Args;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir / "out.bin"));
    const TCliResult usage = Cli("convert -d OV117 only-one.bin");
    EXPECT_EQ(usage.Status, 2);
}

} // namespace
} // namespace orvan::test
