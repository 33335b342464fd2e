// Intel HEX out and back in: File Open of a written file gives the words
// that were saved, and saving them again gives the same file.
#include "buffer/SaveHex.h"

#include "session/FileCommands.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace orvan {
namespace {

TEST(SaveHex, LoadsBackToTheSameWords) {
    test::TTempDir dir;
    // 12- and 14-bit models; runs of words that end inside a record, blank
    // gaps, and the model's last word.
    const struct {
        const char* Model;
        const char* Name;
        int Used;
    } cases[] = {
        {"OV101", "a.hex", 1},  {"OV103", "b.hex", 9},    {"OV114", "c.hex", 1023},
        {"OV117", "d.hex", 17}, {"OV128", "e.hex", 1024}, {"OV132", "f.hex", 6143},
        {"OV102", "g.ohx", 7},  {"OV129", "h.ohx", 2047},
    };
    std::mt19937 rng(7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto ws = std::make_unique<TWorkspace>();
        ASSERT_TRUE(ws->SelectDevice(c.Model));
        ws->GetICInfo();
        const bool pic = ProgramFormatOf(c.Name) == TProgramFormat::PicHex;
        const bool twelve = ws->Device.ICWordType == Word12Bit;
        const int words = ws->Device.WordCount();
        for (int n = 0; n < c.Used; ++n) {
            unsigned w = rng() & 0x3FFF;
            // A 12-bit ".hex" holds what a load can make of 12-bit PIC code.
            if (pic && twelve) w = PicLoadedWord(Word12Bit, uint16_t(rng() & 0x0FFF));
            if (rng() % 5 == 0) w = 0x3FFF;
            SetWord(ws->Buffers.ProgramBuffer.data(), n, w);
        }
        SetWord(ws->Buffers.ProgramBuffer.data(), words - 1, 0x1000);
        const THexSave saved = HexFileText(ws->Buffers, ws->Device, pic);
        ASSERT_EQ(saved.Unwritable, -1);
        test::WriteFile(dir / c.Name, saved.Text);

        auto back = std::make_unique<TWorkspace>();
        ASSERT_TRUE(back->SelectDevice(c.Model));
        const TFileResult r = OpenDataFile(*back, dir / c.Name, {});
        ASSERT_TRUE(r.Ok && !r.RecordError);
        for (int n = 0; n < words; ++n)
            ASSERT_EQ(GetWord(back->Buffers.ProgramBuffer.data(), n),
                      GetWord(ws->Buffers.ProgramBuffer.data(), n))
                << "word " << n;
        back->GetICInfo();
        EXPECT_EQ(HexFileText(back->Buffers, back->Device, pic).Text, saved.Text);
    }
}

// A 12-bit load turns every PIC word with bits 9 and 11 set into a jump:
// some words have no ".hex" form, and saying so beats a file that loads
// back different.
TEST(SaveHex, AWordNoPicCodeLoadsBackToIsRefused) {
    auto ws = std::make_unique<TWorkspace>();
    ASSERT_TRUE(ws->SelectDevice("OV101"));
    ws->GetICInfo();
    SetWord(ws->Buffers.ProgramBuffer.data(), 0x13, 0x0A20);
    EXPECT_EQ(HexFileText(ws->Buffers, ws->Device, true).Unwritable, 0x13);
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ProgramFileBytes(ws->Buffers, ws->Device, "chip.hex", bytes, error));
    EXPECT_EQ(error,
              "Word 0A20 at 0013 has no PIC code that loads back to it: save as .ohx or .bin");
    EXPECT_TRUE(ProgramFileBytes(ws->Buffers, ws->Device, "chip.ohx", bytes, error));
}

} // namespace
} // namespace orvan
