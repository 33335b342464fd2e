// Real tools as oracles: gpasm writes the PIC HEX files, srec_cat writes
// Intel HEX from binary images.
#include "buffer/DataFile.h"
#include "session/FileCommands.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/PicPrograms.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace orvan {
namespace {

using test::HaveTool;
using test::TTempDir;

bool RunTool(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

void CheckGpasmProgram(const char* processor, const char* source, const char* model,
                       const std::vector<uint16_t>& expected) {
    if (!HaveTool("gpasm")) GTEST_SKIP() << "gpasm is not installed (Debian package gputils)";
    TTempDir dir;
    test::WriteFile(dir / "prog.asm", source);
    ASSERT_TRUE(
        RunTool("cd '" + dir.Path() + "' && gpasm -p " + processor + " prog.asm -o prog.hex"));
    auto ws = std::make_unique<TWorkspace>();
    ASSERT_TRUE(ws->SelectDevice(model));
    TFileOptions options;
    options.ShowFormatWarnings = true;
    const TFileResult r = OpenDataFile(*ws, dir / "prog.hex", options);
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Messages.empty()) << r.Messages[0];
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), static_cast<int>(i)), expected[i])
            << model << " word " << i;
    const int words = ws->Device.WordCount();
    for (int i = static_cast<int>(expected.size()); i < words; ++i)
        ASSERT_EQ(GetWord(ws->Buffers.ProgramBuffer.data(), i), 0x3FFFu) << model << " word " << i;
    EXPECT_EQ(ws->DataChecksum, test::ExpectedChecksum(expected, words));
}

TEST(GpasmOracle, TwelveBitProgram) {
    CheckGpasmProgram("p16c54", test::Pic12Source, "OV101", test::Pic12Words);
}

TEST(GpasmOracle, FourteenBitProgram) {
    CheckGpasmProgram("p16f84", test::Pic14Source, "OV117", test::Pic14Words);
}

TEST(SrecOracle, HexToObjRebuildsRandomImages) {
    if (!HaveTool("srec_cat")) GTEST_SKIP() << "srec_cat is not installed (Debian package srecord)";
    TTempDir dir;
    std::mt19937 rng(5);
    struct {
        std::size_t Size;
        unsigned Offset;
        const char* Options;
    } cases[] = {
        {1, 0, "-obs=16"},          {300, 0x100, "-obs=32"}, {4096, 0, "-obs=255"},
        {12288, 0x2000, "-obs=16"}, {32766, 0, "-obs=64"},   {999, 0x7F00, "-obs=7"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> data(c.Size);
        for (auto& b : data)
            b = static_cast<uint8_t>(rng());
        test::WriteBytes(dir / "in.bin", data);
        ASSERT_TRUE(RunTool("srec_cat '" + (dir / "in.bin") + "' -binary -offset " +
                            std::to_string(c.Offset) + " -o '" + (dir / "out.hex") +
                            "' -intel -address-length=2 " + c.Options));
        const auto text = test::ReadBytes(dir / "out.hex");
        std::vector<uint8_t> image(ProgramBytes);
        const THexResult r = HexToObj(text, image);
        EXPECT_EQ(r.ErrorLine, 0) << c.Size;
        const std::size_t end = c.Offset + c.Size;
        EXPECT_EQ(r.Highest, static_cast<int>(std::min<std::size_t>(end - 1, ProgramBytes)));
        for (std::size_t i = 0; i < image.size(); ++i) {
            const uint8_t want = i >= c.Offset && i < end ? data[i - c.Offset] : 0xFF;
            ASSERT_EQ(image[i], want) << "size " << c.Size << " byte " << i;
        }
    }
    // srec_cat's default output starts with an extended-address record: the
    // image is rebuilt just the same.
    ASSERT_TRUE(RunTool("srec_cat '" + (dir / "in.bin") + "' -binary -offset 0x100 -o '" +
                        (dir / "out.hex") + "' -intel"));
    const auto text = test::ReadBytes(dir / "out.hex");
    ASSERT_NE(std::string(text.begin(), text.end()).find(":02000004"), std::string::npos);
    std::vector<uint8_t> image(ProgramBytes);
    EXPECT_EQ(HexToObj(text, image).ErrorLine, 0);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[1], 0xFF);
    EXPECT_EQ(image[0x100], test::ReadBytes(dir / "in.bin")[0]);
}

} // namespace
} // namespace orvan
