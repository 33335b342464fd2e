#include "buffer/DataFile.h"

#include "buffer/FileNames.h"
#include "buffer/PicTranslate.h"
#include "testlib/Files.h"

#include <gtest/gtest.h>

namespace orvan {
namespace {

using test::Record;

std::vector<uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

struct THexRun {
    THexResult Result;
    std::vector<uint8_t> Image = std::vector<uint8_t>(ProgramBytes);
};

THexRun RunHex(const std::string& text) {
    THexRun run;
    const auto bytes = Text(text);
    run.Result = HexToObj(bytes, run.Image);
    return run;
}

TEST(HexToObj, StoresDataAndStopsAtTheFirstEmptyRecord) {
    const THexRun r = RunHex(Record(0x0000, 0, {0x12, 0x34}) + "\r\n" + Record(0x0010, 0, {0xAB}) +
                             "\r\n:00000001FF\r\n" + Record(0x0020, 0, {0x55}) + "\r\n");
    EXPECT_EQ(r.Result.ErrorLine, 0);
    EXPECT_EQ(r.Result.Highest, 0x10);
    EXPECT_EQ(r.Image[0], 0x12);
    EXPECT_EQ(r.Image[1], 0x34);
    EXPECT_EQ(r.Image[0x10], 0xAB);
    EXPECT_EQ(r.Image[0x20], 0xFF); // after the end record
    EXPECT_EQ(r.Image[2], 0xFF);
}

TEST(HexToObj, AddressRecordsAreCheckedNotStoredAndJunkBeforeColonIsSkipped) {
    // Types 2-5 carry addresses, not program bytes; any other type is data.
    const THexRun r =
        RunHex("junk" + Record(0x0000, 4, {0x00, 0x00}) + "\n" + Record(0x0000, 2, {0x12, 0x34}) +
               "\n" + Record(0x0004, 5, {0x00, 0x00, 0x01, 0x00}) + "\n" +
               Record(0x0008, 7, {0x66}) + "\n\n  " + Record(0x0100, 0, {0x77}));
    EXPECT_EQ(r.Result.ErrorLine, 0);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(r.Image[size_t(i)], 0xFF) << i;
    EXPECT_EQ(r.Image[8], 0x66);
    EXPECT_EQ(r.Image[0x100], 0x77); // last record ends at end of file
    EXPECT_EQ(r.Result.Highest, 0x100);

    // A bad checksum on an address record is still reported.
    std::string bad = Record(0x0000, 4, {0x00, 0x00});
    bad[bad.size() - 1] = bad[bad.size() - 1] == '0' ? '1' : '0';
    EXPECT_EQ(RunHex(bad + "\n" + Record(0, 0, {1})).Result.ErrorLine, 1);
}

TEST(HexToObj, AddressesAtOrAbove32766AreCheckedButNotStored) {
    const THexRun r = RunHex(Record(0x7FFC, 0, {1, 2, 3, 4}) + "\n" + Record(0x9000, 0, {9}, 1));
    EXPECT_EQ(r.Image[32764], 1);
    EXPECT_EQ(r.Image[32765], 2); // the last byte of the buffer
    EXPECT_EQ(r.Result.Highest, ProgramBytes);
    EXPECT_EQ(r.Result.ErrorLine, 2); // the record out of range still had its checksum tested
}

TEST(HexToObj, FailingRecordsNameTheLastLine) {
    struct {
        const char* What;
        std::string Text;
        int Line;
        bool Stored; // first data byte of record 2 reached the image
    } cases[] = {
        {"checksum off by one", Record(0, 0, {1}) + "\n" + Record(2, 0, {2}, 1) + "\n", 2, true},
        {"two bad, the last counts",
         Record(0, 0, {1}, 3) + "\n" + Record(2, 0, {2}) + "\n" + Record(4, 0, {3}, 1), 3, true},
        {"cut short", Record(0, 0, {1}) + "\n:0400020001\n", 2, false},
        {"no checksum",
         Record(0, 0, {1}) + "\n:01000200"
                             "02\n",
         2, false},
        {"non-hex data", Record(0, 0, {1}) + "\n:010002000G00\n", 2, false},
        {"garbled length", Record(0, 0, {1}) + "\n:G1000200FD\n" + Record(4, 0, {3}), 2, false},
        {"lone colon at the end", Record(0, 0, {1}) + "\n:", 2, false},
    };
    for (const auto& c : cases) {
        const THexRun r = RunHex(c.Text);
        EXPECT_EQ(r.Result.ErrorLine, c.Line) << c.What;
        EXPECT_EQ(r.Image[0], 1) << c.What;
        if (c.Line == 2) {
            EXPECT_EQ(r.Image[2] == 2, c.Stored) << c.What;
        }
    }
}

TEST(HexToObj, EmptyAndRecordlessInput) {
    for (const char* text : {"", "\r\n\r\n", "no records here"}) {
        const THexRun r = RunHex(text);
        EXPECT_EQ(r.Result.Highest, 0);
        EXPECT_EQ(r.Result.ErrorLine, 0);
        EXPECT_EQ(r.Image[0], 0xFF);
    }
    EXPECT_EQ(RecordErrorText(12), "File data error at line 12 !");
}

TEST(WordPairs, ConversionOfTheByteImage) {
    std::vector<uint8_t> image{0xFF, 0xFF, 0x80, 0x10, 0x23, 0x29, 0xFF, 0x3F, 0x00, 0x00};
    ImageToWordPairs(image);
    EXPECT_EQ(image, (std::vector<uint8_t>{0x7F, 0x7F, 0x00, 0x21, 0x23, 0x52, 0x7F, 0x7F, 0, 0}));
    EXPECT_EQ(PairToWord(image[2], image[3]), 0x1080u);
    EXPECT_EQ(PairToWord(image[4], image[5]), 0x2923u);
}

TEST(FileNames, FirstDotOfTheFilesOwnName) {
    EXPECT_EQ(TypeAfterFirstDot("/home/u/my.project/prog.hex"), "HEX");
    EXPECT_EQ(TypeAfterFirstDot("/home/u/my.project/prog"), "");
    EXPECT_EQ(TypeAfterFirstDot("prog.tar.Hex"), "TAR.HEX");
    EXPECT_EQ(NameBeforeFirstDot("/a.b/c.d/prog.v2.bin"), "/a.b/c.d/prog");
    EXPECT_EQ(NameBeforeFirstDot("/a.b/prog"), "");
    EXPECT_EQ(CompanionCfgName("/w/my.proj/Prog.BIN"), "/w/my.proj/Prog.cfg");
}

} // namespace
} // namespace orvan
