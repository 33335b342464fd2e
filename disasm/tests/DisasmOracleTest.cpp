// gpasm and gpdasm as the outside oracle: a 14-bit PIC program is assembled,
// loaded as PIC HEX (translated while it loads) and disassembled. At every
// address gpdasm lists, our listing must show the translation-table partner
// of the PIC instruction, with the same operand values; every other address
// is left out, and a listing that resumes after a gap starts with an ORG mark.
#include "buffer/DataFile.h"
#include "buffer/PicTranslate.h"
#include "disasm/Disassembler.h"
#include "session/FileCommands.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

namespace orvan {
namespace {

using test::HaveTool;
using test::TTempDir;

// Every 14-bit PIC instruction, with registers, bits and destinations across
// their ranges, in four blocks separated by unused memory.
std::string OracleSource() {
    std::ostringstream s;
    s << "        processor 16f877a\n        radix hex\n        org 0\n";
    s << "        goto 0x100\n        nop\n        clrw\n        clrwdt\n        sleep\n"
         "        retfie\n        return\n        option\n        tris 5\n        tris 6\n"
         "        tris 7\n";
    const char* fileOps[] = {"addwf", "andwf", "comf", "decf", "decfsz", "incf",  "incfsz",
                             "iorwf", "movf",  "rlf",  "rrf",  "subwf",  "swapf", "xorwf"};
    const unsigned regs[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05,
                             0x06, 0x07, 0x08, 0x20, 0x55, 0x7F};
    s << "        org 0x40\n";
    for (std::size_t i = 0; i < std::size(fileOps); ++i)
        for (unsigned d = 0; d < 2; ++d)
            s << "        " << fileOps[i] << " 0x" << std::hex
              << regs[(i + d * 5) % std::size(regs)] << "," << d << "\n";
    for (unsigned f : regs)
        s << "        clrf 0x" << std::hex << f << "\n        movwf 0x" << f << "\n";
    s << "        org 0x100\n";
    const char* bitOps[] = {"bcf", "bsf", "btfsc", "btfss"};
    for (const char* op : bitOps)
        for (unsigned b = 0; b < 8; ++b)
            s << "        " << op << " 0x03," << b << "\n        " << op << " 0x" << std::hex
              << regs[(b + 8) % std::size(regs)] << "," << b << "\n";
    const char* literalOps[] = {"addlw", "andlw", "iorlw", "movlw", "retlw", "sublw", "xorlw"};
    for (const char* op : literalOps)
        for (unsigned k : {0x00u, 0x01u, 0x7Fu, 0x80u, 0xFFu})
            s << "        " << op << " 0x" << std::hex << k << "\n";
    s << "        org 0x7F0\n";
    for (unsigned target : {0x000u, 0x0FFu, 0x100u, 0x1FFu, 0x400u, 0x7FFu})
        s << "        call 0x" << std::hex << target << "\n        goto 0x" << target << "\n";
    s << "        end\n";
    return s.str();
}

struct TPicLine {
    unsigned Word = 0;
    std::string Mnemonic; // upper case
    std::vector<unsigned> Values;
};

// gpdasm's lines "0005:  1683  bsf     0x03, 0x5" by address.
std::map<unsigned, TPicLine> ParseGpdasm(const std::string& text) {
    std::map<unsigned, TPicLine> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        unsigned addr = 0, word = 0;
        char mnem[32] = {};
        int used = 0;
        if (std::sscanf(line.c_str(), "%x:  %x  %31s%n", &addr, &word, mnem, &used) != 3) continue;
        TPicLine p;
        p.Word = word;
        for (const char* c = mnem; *c; ++c)
            p.Mnemonic += static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        std::istringstream ops(line.substr(static_cast<std::size_t>(used)));
        std::string op;
        while (std::getline(ops, op, ',')) {
            const auto start = op.find_first_not_of(' ');
            if (start == std::string::npos) continue;
            p.Values.push_back(static_cast<unsigned>(std::stoul(op.substr(start), nullptr, 0)));
        }
        out[addr] = p;
    }
    return out;
}

// Our operand back to numbers: register and flag names, W/R, ports, "NNNH".
std::vector<unsigned> OperandValues(const std::string& operand, const std::string& mnemonic) {
    static const std::map<std::string, unsigned> names = {
        {"IAR", 0},   {"RTCC", 1},  {"PCL", 2},   {"STATUS", 3}, {"MSR", 4},
        {"PORTA", 5}, {"PORTB", 6}, {"PORTC", 7}, {"W", 0},      {"R", 1},
        {"PA", 0x65}, {"PB", 0x66}, {"PC", 0x67}};
    static const std::map<std::string, unsigned> flags = {
        {"CF", 0}, {"HC", 1}, {"ZF", 2}, {"PF", 3}, {"TF", 4}};
    std::vector<unsigned> values;
    std::istringstream in(operand);
    std::string t;
    bool second = false;
    while (std::getline(in, t, ',')) {
        const bool bitOperand = second && mnemonic.rfind("BT", 0) == 0
                                    ? true
                                    : second && (mnemonic == "BCR" || mnemonic == "BSR");
        if (bitOperand && flags.count(t))
            values.push_back(flags.at(t));
        else if (names.count(t))
            values.push_back(names.at(t));
        else if (!t.empty() && t.back() == 'H')
            values.push_back(
                static_cast<unsigned>(std::stoul(t.substr(0, t.size() - 1), nullptr, 16)));
        else
            values.push_back(static_cast<unsigned>(std::stoul(t)));
        second = true;
    }
    return values;
}

std::string PartnerOf(const std::string& picMnemonic) {
    for (const TPicRule& r : Pic6x7xTable().Rules)
        if (picMnemonic == r.PicMnemonic) return r.NewMnemonic;
    return "?" + picMnemonic;
}

bool RunShell(const std::string& cmd) {
    return std::system(cmd.c_str()) == 0;
}

TEST(DisasmOracle, GpasmProgramListsTheTranslationPartners) {
    if (!HaveTool("gpasm") || !HaveTool("gpdasm"))
        GTEST_SKIP() << "gpasm/gpdasm are not installed (Debian package gputils)";
    TTempDir dir;
    test::WriteFile(dir / "prog.asm", OracleSource());
    ASSERT_TRUE(
        RunShell("cd '" + dir.Path() + "' && gpasm -w 2 prog.asm -o prog.hex >/dev/null 2>&1"));
    ASSERT_TRUE(RunShell("gpdasm -p p16f877a '" + (dir / "prog.hex") + "' > '" + (dir / "pic.txt") +
                         "' 2>/dev/null"));
    const auto picBytes = test::ReadBytes(dir / "pic.txt");
    const std::map<unsigned, TPicLine> pic =
        ParseGpdasm(std::string(picBytes.begin(), picBytes.end()));
    ASSERT_GT(pic.size(), 150u);

    auto ws = std::make_unique<TWorkspace>();
    ASSERT_TRUE(ws->SelectDevice("OV117")); // 2048 words, 14-bit
    const TFileResult r = OpenDataFile(*ws, dir / "prog.hex", {});
    ASSERT_TRUE(r.Ok);
    const auto lines = DisassembleLines(ws->Buffers.ProgramBuffer, ws->Device.ICMemBytes);

    std::map<unsigned, std::string> listed; // address -> line
    std::vector<unsigned> orgMarks;
    const std::size_t header = equ_table().size();
    for (std::size_t i = header; i + 1 < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("        ORG     ", 0) == 0) {
            ASSERT_EQ(lines[i - 1], ";----------------------------");
            orgMarks.push_back(static_cast<unsigned>(std::stoul(l.substr(16, 4), nullptr, 16)));
        } else if (l[0] == ' ') {
            listed[static_cast<unsigned>(std::stoul(l.substr(33, 4), nullptr, 16))] = l;
        }
    }
    EXPECT_EQ(lines.back(), "        END");

    std::vector<unsigned> expectedOrgs;
    unsigned previous = 0;
    for (const auto& [addr, p] : pic) {
        SCOPED_TRACE(testing::Message() << std::hex << "address " << addr << " " << p.Mnemonic);
        if (addr > 0 && (addr != previous + 1)) expectedOrgs.push_back(addr);
        previous = addr;
        ASSERT_TRUE(listed.count(addr));
        const std::string& l = listed.at(addr);
        const std::string mnemonic = l.substr(8, l.find(' ', 8) - 8);
        const std::string operand = l.substr(16, l.find(' ', 16) - 16);
        EXPECT_EQ(mnemonic, PartnerOf(p.Mnemonic));
        char word[8];
        std::snprintf(word, sizeof word, "%04X", Pic6x7xWord(static_cast<uint16_t>(p.Word)));
        EXPECT_EQ(l.substr(41), word);
        if (p.Mnemonic == "CLRW" || p.Mnemonic == "NOP") continue; // operand not encoded
        EXPECT_EQ(OperandValues(operand, mnemonic), p.Values) << l;
    }
    EXPECT_EQ(listed.size(), pic.size());
    EXPECT_EQ(orgMarks, expectedOrgs);
}

} // namespace
} // namespace orvan
