// The decode table, the operand texts, the line format and whole listings.
#include "disasm/Disassembler.h"
#include "buffer/BufferBlock.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace orvan {
namespace {

struct TCase {
    unsigned Word;
    const char* Mnemonic; // nullptr: not listed
    const char* Operand;
};

// The boundaries between ops and the ranges that do not decode, worked out
// by hand from the instruction set.
const TCase Boundaries[] = {
    {0x0000, "BCR", "IAR,0"},     {0x03FF, "BCR", "07FH,7"},    {0x0400, "BTSC", "IAR,0"},
    {0x07FF, "BTSC", "07FH,7"},   {0x0800, "BSR", "IAR,0"},     {0x0BFF, "BSR", "07FH,7"},
    {0x0C00, "BTSS", "IAR,0"},    {0x0FFF, "BTSS", "07FH,7"},   {0x1000, "NOP", ""},
    {0x1001, "CLRWT", ""},        {0x1002, "SLEEP", ""},        {0x1003, "TMODE", ""},
    {0x1004, "RET", ""},          {0x1005, "CPIO", "PA"},       {0x1006, "CPIO", "PB"},
    {0x1007, "CPIO", "PC"},       {0x1008, nullptr, nullptr},   {0x1009, "RTFI", ""},
    {0x100A, nullptr, nullptr},   {0x107F, nullptr, nullptr},   {0x1080, "CLRW", ""},
    {0x1083, "CLRW", ""},         {0x10FF, "CLRW", ""},         {0x1100, "CLRR", "IAR"},
    {0x117F, "CLRR", "07FH"},     {0x1180, "STWR", "IAR"},      {0x11A0, "STWR", "020H"},
    {0x11FF, "STWR", "07FH"},     {0x1200, "ANDWR", "IAR,W"},   {0x12FF, "ANDWR", "07FH,R"},
    {0x1385, "IORWR", "PORTA,R"}, {0x1406, "XORWR", "PORTB,W"}, {0x1587, "RLR", "PORTC,R"},
    {0x1608, "RRR", "008H,W"},    {0x1781, "SWAPR", "RTCC,R"},  {0x1802, "LDR", "PCL,W"},
    {0x1983, "INCR", "STATUS,R"}, {0x1A04, "INCRSZ", "MSR,W"},  {0x1BA0, "ADDWR", "020H,R"},
    {0x1C7F, "SUBWR", "07FH,W"},  {0x1D90, "DECR", "010H,R"},   {0x1E11, "DECRSZ", "011H,W"},
    {0x1FFF, "COMR", "07FH,R"},   {0x2000, "LCALL", "0000H"},   {0x2123, "LCALL", "0123H"},
    {0x27FF, "LCALL", "07FFH"},   {0x2800, "LJUMP", "0000H"},   {0x2FFF, "LJUMP", "07FFH"},
    {0x3000, "CALL", "0000H"},    {0x30FF, "CALL", "00FFH"},    {0x3100, "RTIW", "000H"},
    {0x31FF, "RTIW", "0FFH"},     {0x3200, "JUMP", "0000H"},    {0x32FF, "JUMP", "00FFH"},
    {0x3300, "JUMP", "0100H"},    {0x33FF, "JUMP", "01FFH"},    {0x3400, "ANDWI", "000H"},
    {0x35AB, "IORWI", "0ABH"},    {0x36FF, "XORWI", "0FFH"},    {0x3701, "ADDWI", "001H"},
    {0x38FF, "SUBWI", "0FFH"},    {0x3900, nullptr, nullptr},   {0x39FF, nullptr, nullptr},
    {0x3A00, "LDWI", "000H"},     {0x3A55, "LDWI", "055H"},     {0x3AFF, "LDWI", "0FFH"},
    {0x3B00, nullptr, nullptr},   {0x3C12, nullptr, nullptr},   {0x3FFF, nullptr, nullptr},
};

TEST(DecodeTable, BoundariesBetweenOps) {
    for (const TCase& c : Boundaries) {
        const TDecoded d = Decode(c.Word);
        SCOPED_TRACE(c.Word);
        if (!c.Mnemonic) {
            EXPECT_FALSE(d.Listed);
            EXPECT_EQ(d.Mnemonic, ";TBD");
            continue;
        }
        EXPECT_TRUE(d.Listed);
        EXPECT_EQ(d.Mnemonic, c.Mnemonic);
        EXPECT_EQ(d.Operand, c.Operand);
    }
}

TEST(DecodeTable, EveryEntryHoldsExactlyItsRange) {
    // Each word of the 14-bit space belongs to at most one entry, and that
    // entry is the one Decode uses.
    std::map<unsigned, std::size_t> owner;
    const auto table = DecodeTable();
    ASSERT_FALSE(table.empty());
    for (std::size_t j = 0; j < table.size(); ++j) {
        const TDecodeRule& r = table[j];
        SCOPED_TRACE(r.Mnemonic);
        ASSERT_LE(r.OpLo, r.OpHi);
        ASSERT_LE(r.KLo, r.KHi);
        ASSERT_LE(r.OpHi, 0x3F);
        for (unsigned op = r.OpLo; op <= r.OpHi; ++op)
            for (unsigned k = r.KLo; k <= r.KHi; ++k) {
                const unsigned w = op * 256 + k;
                ASSERT_TRUE(owner.emplace(w, j).second) << std::hex << w << " claimed twice";
                const TDecoded d = Decode(w);
                ASSERT_TRUE(d.Listed) << std::hex << w;
                ASSERT_EQ(d.Mnemonic, r.Mnemonic) << std::hex << w;
            }
    }
    // Everything else does not decode: 1008h, 100Ah-107Fh, 39xxh and 3B00h-3FFFh.
    std::set<unsigned> expectedGaps;
    expectedGaps.insert(0x1008);
    for (unsigned w = 0x100A; w <= 0x107F; ++w)
        expectedGaps.insert(w);
    for (unsigned w = 0x3900; w <= 0x39FF; ++w)
        expectedGaps.insert(w);
    for (unsigned w = 0x3B00; w <= 0x3FFF; ++w)
        expectedGaps.insert(w);
    for (unsigned w = 0; w <= 0x3FFF; ++w) {
        const bool gap = expectedGaps.count(w) != 0;
        ASSERT_EQ(owner.count(w) == 0, gap) << std::hex << w;
        ASSERT_EQ(Decode(w).Listed, !gap) << std::hex << w;
    }
}

TEST(Operands, RegistersAndStatusFlags) {
    const char* names[] = {"IAR", "RTCC", "PCL", "STATUS", "MSR", "PORTA", "PORTB", "PORTC"};
    for (unsigned f = 0; f < 8; ++f)
        EXPECT_EQ(reg_replace(f), names[f]);
    EXPECT_EQ(reg_replace(8), "008H");
    EXPECT_EQ(reg_replace(0x20), "020H");
    EXPECT_EQ(reg_replace(0x7F), "07FH");

    // STATUS bits 0-4 by name, 5-7 by number; other registers always by number.
    const char* flags[] = {"CF", "HC", "ZF", "PF", "TF", "5", "6", "7"};
    for (unsigned b = 0; b < 8; ++b) {
        EXPECT_EQ(add_bit(3, b), flags[b]);
        EXPECT_EQ(add_bit(4, b), std::to_string(b));
        EXPECT_EQ(add_bit(0x83, b), flags[b]) << "f is bits 6-0";
    }
    // The bit number comes from op bits 0-1 and word bit 7.
    EXPECT_EQ(Decode(0x0C03).Operand, "STATUS,CF");
    EXPECT_EQ(Decode(0x0C83).Operand, "STATUS,HC");
    EXPECT_EQ(Decode(0x0D03).Operand, "STATUS,ZF");
    EXPECT_EQ(Decode(0x0D83).Operand, "STATUS,PF");
    EXPECT_EQ(Decode(0x0E03).Operand, "STATUS,TF");
    EXPECT_EQ(Decode(0x0E83).Operand, "STATUS,5");
    EXPECT_EQ(Decode(0x0F03).Operand, "STATUS,6");
    EXPECT_EQ(Decode(0x0F83).Operand, "STATUS,7");
    EXPECT_EQ(Decode(0x0AA0).Operand, "020H,5");
    EXPECT_EQ(Decode(0x0506).Operand, "PORTB,2");
}

TEST(LineFormat, PaddedColumnsAddressAndWord) {
    EXPECT_EQ(WordText(0, 0x3A55), "LDWI    055H            ;0000    3A55");
    EXPECT_EQ(WordText(0x1FFF, 0x1000), "NOP                     ;1FFF    1000");
    EXPECT_EQ(WordText(0x12, 0x0D03), "BTSS    STATUS,ZF       ;0012    0D03");
    EXPECT_EQ(WordText(0xABC, 0x2FFF), "LJUMP   07FFH           ;0ABC    2FFF");
    EXPECT_EQ(WordText(5, 0x1A04), "INCRSZ  MSR,W           ;0005    1A04");
}

std::vector<uint8_t> Program(const std::vector<unsigned>& words, int total) {
    std::vector<uint8_t> p(static_cast<std::size_t>(total) * 2, Blank7);
    for (std::size_t i = 0; i < words.size(); ++i)
        SetWord(p.data(), static_cast<int>(i), words[i]);
    return p;
}

std::vector<std::string> Header() {
    return std::vector<std::string>(equ_table().begin(), equ_table().end());
}

TEST(Listing, HeaderLinesAreTheEquTable) {
    const std::vector<std::string> expected = {
        ";Registers",
        "IAR     EQU     00H",
        "RTCC    EQU     01H",
        "PCL     EQU     02H",
        "STATUS  EQU     03H",
        "MSR     EQU     04H",
        "PORTA   EQU     05H",
        "PORTB   EQU     06H",
        "PORTC   EQU     07H",
        ";",
        "W       EQU     0H",
        "R       EQU     1H",
        ";Flags",
        "CF      EQU     0H",
        "HC      EQU     1H",
        "ZF      EQU     2H",
        "PF      EQU     3H",
        "TF      EQU     4H",
        ";",
        "        ORG     0000H           ;Addr    Org-Code",
    };
    EXPECT_EQ(Header(), expected);
}

TEST(Listing, BlankBufferGivesHeaderAndEnd) {
    const auto p = Program({}, 512);
    std::vector<std::string> expected = Header();
    expected.push_back("        END");
    EXPECT_EQ(DisassembleLines(p, 1024), expected);
    EXPECT_EQ(DisassembleLines(p, 0), expected);
}

TEST(Listing, OrgMarksAfterSkippedRuns) {
    // Words 0-3 blank, 4 listed.
    auto p = Program({0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF, 0x3A55}, 16);
    std::vector<std::string> expected = Header();
    expected.insert(expected.end(),
                    {";----------------------------", "        ORG     0004H",
                     "        LDWI    055H            ;0004    3A55", "        END"});
    EXPECT_EQ(DisassembleLines(p, 32), expected);

    // Word 0 listed never has a mark; an undecodable word that is not blank
    // opens a run as well; a run at the end is followed by END alone.
    p = Program({0x1000, 0x1008, 0x1004, 0x1004, 0x3900, 0x3FFF, 0x2803, 0x3FFF}, 8);
    expected = Header();
    expected.insert(
        expected.end(),
        {"        NOP                     ;0000    1000", ";----------------------------",
         "        ORG     0002H", "        RET                     ;0002    1004",
         "        RET                     ;0003    1004", ";----------------------------",
         "        ORG     0006H", "        LJUMP   0003H           ;0006    2803", "        END"});
    EXPECT_EQ(DisassembleLines(p, 16), expected);
}

TEST(Listing, SmallKnownProgramLineForLine) {
    // A delay loop with a subroutine placed after a gap.
    auto p = Program(
        {0x3A10, 0x11A0, 0x2008, 0x0D03, 0x2800, 0x3FFF, 0x3FFF, 0x3FFF, 0x1EA0, 0x2808, 0x1004},
        32);
    std::vector<std::string> expected = Header();
    expected.insert(expected.end(), {
                                        "        LDWI    010H            ;0000    3A10",
                                        "        STWR    020H            ;0001    11A0",
                                        "        LCALL   0008H           ;0002    2008",
                                        "        BTSS    STATUS,ZF       ;0003    0D03",
                                        "        LJUMP   0000H           ;0004    2800",
                                        ";----------------------------",
                                        "        ORG     0008H",
                                        "        DECRSZ  020H,R          ;0008    1EA0",
                                        "        LJUMP   0008H           ;0009    2808",
                                        "        RET                     ;000A    1004",
                                        "        END",
                                    });
    EXPECT_EQ(DisassembleLines(p, 64), expected);
}

TEST(Listing, StopsAtTheDeviceSizeTheBufferAndTheWordLimit) {
    auto p = Program({0x1000, 0x1000, 0x1000}, 3);
    // Only the device's words count.
    EXPECT_EQ(DisassembleLines(p, 2).size(), Header().size() + 2);
    // A size past the buffer lists only what the buffer holds; an odd byte
    // count lists whole words only.
    EXPECT_EQ(DisassembleLines(p, 100).size(), Header().size() + 4);
    EXPECT_EQ(DisassembleLines(p, 5).size(), Header().size() + 3);
    EXPECT_EQ(DisassembleLines(p, -4).size(), Header().size() + 1);

    // The whole buffer of NOPs: 8192 words, never more.
    std::vector<uint8_t> full(ProgramBytes);
    for (int i = 0; i < ProgramBytes / 2; ++i)
        SetWord(full.data(), i, 0x1000);
    const auto lines = DisassembleLines(full, ProgramBytes);
    ASSERT_EQ(lines.size(), Header().size() + MaxListedWords + 1);
    EXPECT_EQ(lines[lines.size() - 2], "        NOP                     ;1FFF    1000");
}

TEST(ListingFile, CrLfAfterEveryLineAndReplacesAnOldFile) {
    const std::vector<std::string> lines = {";Registers", "        END"};
    EXPECT_EQ(ListingFileText(lines), ";Registers\r\n        END\r\n");

    const test::TTempDir dir;
    const std::string path = dir.File("out.dis");
    test::WriteFile(path, "an older and much longer listing that must not survive in part\n");
    ASSERT_TRUE(SaveListing(path, lines));
    EXPECT_EQ(test::ReadFile(path), ";Registers\r\n        END\r\n");
    // A folder that does not exist: refused, not reported as saved.
    EXPECT_FALSE(SaveListing(dir.File("missing/out.dis"), lines));
}

} // namespace
} // namespace orvan
