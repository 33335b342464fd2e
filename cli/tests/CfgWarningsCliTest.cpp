// status --cfg reports the data file it loads as status -d FILE does.
#include "buffer/PicTranslate.h"
#include "cli/tests/CliRunner.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace orvan::test {
namespace {

TEST(CliCfgWarnings, SameFileWarningsAsWithAModel) {
    TTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    // 12-bit code for a 14-bit model, 14-bit code for a 12-bit one, and a
    // record file with a bad checksum on line 2.
    WriteFile(dir / "twelve.hex", Record(0, 0, {0x12, 0x0C, 0x05, 0x0A}) + "\n:00000001FF\n");
    std::vector<uint8_t> obj(1024, 0xFF);
    obj[0] = 0x12, obj[1] = 0x30;
    WriteBytes(dir / "fourteen.obj", obj);
    WriteFile(dir / "damaged.ohx",
              Record(0, 0, {0x80, 0x10}) + "\n" + Record(2, 0, {0x23, 0x29}, 3) + "\n");
    const struct {
        const char* Model;
        const char* File;
        std::string Err;
        int Status;
    } cases[] = {
        {"OV117", "twelve.hex", std::string(Warning12BitText) + "\n", 0},
        {"OV101", "fourteen.obj", std::string(Warning14BitText) + "\n", 0},
        {"OV117", "damaged.ohx", "File data error at line 2 !\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const TCliResult direct =
            RunCli(std::string("status -d ") + c.Model + " " + c.File, dir.Path());
        EXPECT_EQ(direct.Err, c.Err);
        EXPECT_EQ(direct.Status, c.Status);

        auto ws = std::make_unique<TWorkspace>();
        ws->SelectDevice(c.Model);
        ws->LoadedFileName = dir / c.File;
        ASSERT_TRUE(SaveCfgFile(*ws, dir / "proj.cfg"));
        const TCliResult viaCfg = RunCli("status --cfg proj.cfg", dir.Path());
        EXPECT_EQ(viaCfg.Err, c.Err);
        EXPECT_EQ(viaCfg.Status, c.Status);
        EXPECT_EQ(viaCfg.Out, direct.Out);
    }
}

TEST(CliCfgWarnings, UnreadableDataFileIsNamed) {
    TTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::filesystem::create_directory(dir / "folder.bin");
    auto ws = std::make_unique<TWorkspace>();
    ws->LoadedFileName = dir / "folder.bin";
    ASSERT_TRUE(SaveCfgFile(*ws, dir / "proj.cfg"));
    const TCliResult r = RunCli("status --cfg proj.cfg", dir.Path());
    EXPECT_EQ(r.Status, 4); // a file error
    EXPECT_EQ(r.Err, "'" + (dir / "folder.bin") + "' file can't open!\n");
    EXPECT_TRUE(r.Out.empty());
}

} // namespace
} // namespace orvan::test
