#include "buffer/PicTranslate.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace orvan {
namespace {

struct TEntryCase {
    int Entry;
    uint16_t Pic;
    uint16_t Expected;
};

// One word per entry, operand bits chosen so every moved field shows.
constexpr TEntryCase Pic5xCases[] = {
    {0, 0x0040, 0x1080},  {1, 0x0000, 0x1000},  {2, 0x0004, 0x1001},  {3, 0x0002, 0x1003},
    {4, 0x0003, 0x1002},  {5, 0x0075, 0x1115},  {6, 0x0035, 0x1195},  {7, 0x0006, 0x1006},
    {8, 0x01EB, 0x1B8B},  {9, 0x016B, 0x128B},  {10, 0x026B, 0x1F8B}, {11, 0x00EB, 0x1D8B},
    {12, 0x02EB, 0x1E8B}, {13, 0x02AB, 0x198B}, {14, 0x03EB, 0x1A8B}, {15, 0x012B, 0x138B},
    {16, 0x022B, 0x188B}, {17, 0x036B, 0x158B}, {18, 0x032B, 0x168B}, {19, 0x00AB, 0x1C8B},
    {20, 0x03AB, 0x178B}, {21, 0x01AB, 0x148B}, {22, 0x04B3, 0x0293}, {23, 0x05B3, 0x0A93},
    {24, 0x06B3, 0x0693}, {25, 0x07B3, 0x0E93}, {26, 0x0EA7, 0x34A7}, {27, 0x09A7, 0x30A7},
    {28, 0x0DA7, 0x35A7}, {29, 0x0CA7, 0x3AA7}, {30, 0x08A7, 0x31A7}, {31, 0x0FA7, 0x36A7},
    {32, 0x0BC5, 0x33C5},
};

constexpr TEntryCase Pic6x7xCases[] = {
    {0, 0x0135, 0x1080},  {1, 0x0040, 0x1000},  {2, 0x0064, 0x1001},  {3, 0x0062, 0x1003},
    {4, 0x0063, 0x1002},  {5, 0x0009, 0x1009},  {6, 0x0008, 0x1004},  {7, 0x01DA, 0x115A},
    {8, 0x00DA, 0x11DA},  {9, 0x0066, 0x1006},  {10, 0x07B3, 0x1BB3}, {11, 0x05B3, 0x12B3},
    {12, 0x09B3, 0x1FB3}, {13, 0x03B3, 0x1DB3}, {14, 0x0BB3, 0x1EB3}, {15, 0x0AB3, 0x19B3},
    {16, 0x0FB3, 0x1AB3}, {17, 0x04B3, 0x13B3}, {18, 0x08B3, 0x18B3}, {19, 0x0DB3, 0x15B3},
    {20, 0x0CB3, 0x16B3}, {21, 0x02B3, 0x1CB3}, {22, 0x0EB3, 0x17B3}, {23, 0x06B3, 0x14B3},
    {24, 0x12D6, 0x02D6}, {25, 0x16D6, 0x0AD6}, {26, 0x1AD6, 0x06D6}, {27, 0x1ED6, 0x0ED6},
    {28, 0x39B3, 0x34B3}, {29, 0x38B3, 0x35B3}, {30, 0x3AB3, 0x36B3}, {31, 0x3FE9, 0x37E9},
    {32, 0x3DE9, 0x38E9}, {33, 0x33C4, 0x3AC4}, {34, 0x37C4, 0x31C4}, {35, 0x25A5, 0x25A5},
    {36, 0x2DA5, 0x2DA5},
};

// Finds the entry that claims `c` by walking the table's test order.
int ClaimingEntry(const TPicTable& t, uint16_t c) {
    for (uint8_t j : t.TestOrder) {
        const TPicRule& r = t.Rules[j];
        const bool hit = r.Match == TPicMatch::Range ? (c >= r.RangeLo && c <= r.RangeHi)
                                                     : (c & r.Mask) == (r.PicCode & r.Mask);
        if (hit) return j;
    }
    return -1;
}

TEST(PicTranslate, EveryEntryOfBothTables) {
    ASSERT_EQ(Pic5xTable().Rules.size(), std::size(Pic5xCases));
    ASSERT_EQ(Pic6x7xTable().Rules.size(), std::size(Pic6x7xCases));
    for (const auto& c : Pic5xCases) {
        EXPECT_EQ(Pic5xWord(c.Pic), c.Expected) << "12-bit entry " << c.Entry;
        EXPECT_EQ(ClaimingEntry(Pic5xTable(), c.Pic), c.Entry) << "12-bit entry " << c.Entry;
    }
    for (const auto& c : Pic6x7xCases) {
        EXPECT_EQ(Pic6x7xWord(c.Pic), c.Expected) << "14-bit entry " << c.Entry;
        EXPECT_EQ(ClaimingEntry(Pic6x7xTable(), c.Pic), c.Entry) << "14-bit entry " << c.Entry;
    }
}

TEST(PicTranslate, TestOrderIsAPermutationInTheDocumentedSequence) {
    for (const TPicTable* t : {&Pic5xTable(), &Pic6x7xTable()}) {
        std::set<int> seen(t->TestOrder.begin(), t->TestOrder.end());
        EXPECT_EQ(seen.size(), t->Rules.size());
        EXPECT_EQ(*seen.rbegin(), static_cast<int>(t->Rules.size()) - 1);
    }
    // TRIS is tried first in both; the 14-bit literal high-byte entries come
    // before the bit entries, and the FC00h literal entries before FE00h.
    EXPECT_EQ(Pic5xTable().TestOrder.front(), 7);
    EXPECT_EQ(Pic6x7xTable().TestOrder.front(), 9);
    const std::vector<int> tail14(Pic6x7xTable().TestOrder.end() - 13,
                                  Pic6x7xTable().TestOrder.end());
    EXPECT_EQ(tail14, (std::vector<int>{28, 29, 30, 24, 25, 26, 27, 33, 34, 31, 32, 35, 36}));
}

TEST(PicTranslate, WordsTwoRulesCouldClaim) {
    // ANDLW and XORLW also pass the GOTO test (bits 9 and 11 set): their own
    // entries come first.
    EXPECT_EQ(Pic5xWord(0x0E55), 0x3455);
    EXPECT_EQ(Pic5xWord(0x0F12), 0x3612);
    EXPECT_EQ(Pic5xWord(0x0A23), 0x3223); // a real GOTO
    EXPECT_EQ(Pic5xWord(0x0B23), 0x3323);
    // 0FFFh is XORLW FFh; it is mapped before the table is searched.
    EXPECT_EQ(Pic5xWord(0x0FFF), 0x36FF);
    // Nothing claims these.
    EXPECT_EQ(Pic5xWord(0xFFFF), 0xFFFF);
    EXPECT_EQ(Pic5xWord(0x0041), 0x0041);
    EXPECT_EQ(Pic5xWord(0x0001), 0x0001);
    EXPECT_EQ(Pic6x7xWord(0xFFFF), 0xFFFF);
    EXPECT_EQ(Pic6x7xWord(0x0001), 0x0001);
    EXPECT_EQ(Pic6x7xWord(0x0068), 0x0068);
    // NOP takes any word with only bits 5 and 6 set.
    for (uint16_t c : {0x0000, 0x0020, 0x0040, 0x0060})
        EXPECT_EQ(Pic6x7xWord(c), 0x1000) << c;
    // TRIS ranges and their edges.
    EXPECT_EQ(Pic5xWord(0x0005), 0x1005);
    EXPECT_EQ(Pic5xWord(0x0007), 0x1007);
    EXPECT_EQ(Pic5xWord(0x0008), 0x0008);
    EXPECT_EQ(Pic6x7xWord(0x0065), 0x1005);
    EXPECT_EQ(Pic6x7xWord(0x0067), 0x1007);
    // The documented examples.
    EXPECT_EQ(Pic6x7xWord(0x2923), 0x2923);
    EXPECT_EQ(Pic6x7xWord(0x1585), 0x0985);
}

// Sums over all 65536 words against an independent model of the rule table.
TEST(PicTranslate, WholeWordRangeMatchesTheRuleModel) {
    uint32_t sum5 = 0, sum6 = 0;
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        sum5 += Pic5xWord(static_cast<uint16_t>(c)) * (c + 1);
        sum6 += Pic6x7xWord(static_cast<uint16_t>(c)) * (c + 1);
    }
    EXPECT_EQ(sum5, 4097670192u);
    EXPECT_EQ(sum6, 1978595084u);
}

TEST(PicTranslate, ImageIsTranslatedOverTheGivenLength) {
    std::array<uint8_t, 8> image{0x40, 0x00, 0xFF, 0xFF, 0x12, 0x0C, 0x12, 0x0C};
    Pic5xToOrvan(image, 5); // covers the word holding byte 4, not the last one
    EXPECT_EQ(image, (std::array<uint8_t, 8>{0x80, 0x10, 0xFF, 0xFF, 0x12, 0x3A, 0x12, 0x0C}));
    std::array<uint8_t, 3> odd{0x23, 0x29, 0x55};
    Pic6x7xToOrvan(odd, 100); // longer than the image: stops at its end
    EXPECT_EQ(odd, (std::array<uint8_t, 3>{0x23, 0x29, 0x55}));
}

TEST(PicTranslate, FormatWarnings) {
    std::vector<uint8_t> twelve{0x12, 0x0C, 0xFF, 0xFF, 0x25, 0x0A}; // MOVLW, blank, GOTO
    std::vector<uint8_t> fourteen{0x12, 0x30, 0xFF, 0xFF};           // MOVLW 14-bit
    EXPECT_FALSE(Pic5xFormatWarning(twelve, twelve.size()));
    EXPECT_EQ(Pic5xFormatWarning(fourteen, fourteen.size()).value_or(""), Warning14BitText);
    EXPECT_EQ(Pic6x7xFormatWarning(twelve, twelve.size()).value_or(""), Warning12BitText);
    EXPECT_FALSE(Pic6x7xFormatWarning(fourteen, fourteen.size()));
    // Only the device's bytes are scanned.
    std::vector<uint8_t> late{0x12, 0x0C, 0x12, 0x30};
    EXPECT_FALSE(Pic5xFormatWarning(late, 2));
    EXPECT_EQ(Pic6x7xFormatWarning(late, 2).value_or(""), Warning12BitText);
    // Bits 14-15 set do not make a 14-bit word.
    std::vector<uint8_t> high{0x00, 0x70};
    EXPECT_FALSE(Pic5xFormatWarning(high, 2));
}

} // namespace
} // namespace orvan
