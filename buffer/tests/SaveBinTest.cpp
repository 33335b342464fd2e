#include "buffer/SaveBin.h"

#include "buffer/DataFile.h"
#include "session/FileCommands.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

namespace orvan {
namespace {

TEST(SaveBin, BlankOV101IsTheRepeatingPair) {
    auto ws = std::make_unique<TWorkspace>();
    const auto bytes = BinFileBytes(*ws);
    ASSERT_EQ(bytes.size(), 1024u);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        ASSERT_EQ(bytes[i], 0xFF) << i;
        ASSERT_EQ(bytes[i + 1], 0x3F) << i;
    }
}

TEST(SaveBin, WordsAreLowByteFirst) {
    auto ws = std::make_unique<TWorkspace>();
    SetWord(ws->Buffers.ProgramBuffer.data(), 0, 0x1080);
    SetWord(ws->Buffers.ProgramBuffer.data(), 1, 0x2923);
    SetWord(ws->Buffers.ProgramBuffer.data(), 511, 0x0000);
    const auto bytes = BinFileBytes(*ws);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x10);
    EXPECT_EQ(bytes[2], 0x23);
    EXPECT_EQ(bytes[3], 0x29);
    EXPECT_EQ(bytes[1022], 0x00);
    EXPECT_EQ(bytes[1023], 0x00);
}

TEST(SaveBin, SaveAndReopenGivesTheSameWords) {
    test::TTempDir dir;
    std::mt19937 rng(11);
    for (const char* model : {"OV101", "OV117", "OV132"}) {
        auto ws = std::make_unique<TWorkspace>();
        ws->SelectDevice(model);
        const int words = ws->Device.WordCount();
        for (int w = 0; w < words; ++w)
            SetWord(ws->Buffers.ProgramBuffer.data(), w, rng() & 0x3FFF);
        ws->CalChecksum();
        const std::string path = dir / (std::string(model) + ".bin");
        ASSERT_TRUE(SaveBin(*ws, path));
        EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(2 * words));
        auto back = std::make_unique<TWorkspace>();
        back->SelectDevice(model);
        ASSERT_TRUE(OpenDataFile(*back, path, {}).Ok) << model;
        for (int w = 0; w < words; ++w)
            ASSERT_EQ(GetWord(back->Buffers.ProgramBuffer.data(), w),
                      GetWord(ws->Buffers.ProgramBuffer.data(), w))
                << model << " word " << w;
        EXPECT_EQ(back->Panel.Checksum, ws->Panel.Checksum) << model;
    }
    EXPECT_FALSE(SaveBin(*std::make_unique<TWorkspace>(), dir / "missing/dir/x.bin"));
}

} // namespace
} // namespace orvan
