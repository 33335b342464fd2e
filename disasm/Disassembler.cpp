#include "disasm/Disassembler.h"

#include "buffer/BufferBlock.h"
#include "buffer/FileNames.h"

#include <algorithm>
#include <array>

namespace orvan {

namespace {

using O = TDisOperand;

constexpr TDecodeRule Rules[] = {
    {0x00, 0x03, 0x00, 0xFF, "BCR", O::RegBit, ""},
    {0x04, 0x07, 0x00, 0xFF, "BTSC", O::RegBit, ""},
    {0x08, 0x0B, 0x00, 0xFF, "BSR", O::RegBit, ""},
    {0x0C, 0x0F, 0x00, 0xFF, "BTSS", O::RegBit, ""},
    {0x10, 0x10, 0x00, 0x00, "NOP", O::None, ""},
    {0x10, 0x10, 0x01, 0x01, "CLRWT", O::None, ""},
    {0x10, 0x10, 0x02, 0x02, "SLEEP", O::None, ""},
    {0x10, 0x10, 0x03, 0x03, "TMODE", O::None, ""},
    {0x10, 0x10, 0x04, 0x04, "RET", O::None, ""},
    {0x10, 0x10, 0x05, 0x05, "CPIO", O::Fixed, "PA"},
    {0x10, 0x10, 0x06, 0x06, "CPIO", O::Fixed, "PB"},
    {0x10, 0x10, 0x07, 0x07, "CPIO", O::Fixed, "PC"},
    {0x10, 0x10, 0x09, 0x09, "RTFI", O::None, ""},
    {0x10, 0x10, 0x80, 0xFF, "CLRW", O::None, ""},
    {0x11, 0x11, 0x00, 0x7F, "CLRR", O::Reg, ""},
    {0x11, 0x11, 0x80, 0xFF, "STWR", O::Reg, ""},
    {0x12, 0x12, 0x00, 0xFF, "ANDWR", O::RegDest, ""},
    {0x13, 0x13, 0x00, 0xFF, "IORWR", O::RegDest, ""},
    {0x14, 0x14, 0x00, 0xFF, "XORWR", O::RegDest, ""},
    {0x15, 0x15, 0x00, 0xFF, "RLR", O::RegDest, ""},
    {0x16, 0x16, 0x00, 0xFF, "RRR", O::RegDest, ""},
    {0x17, 0x17, 0x00, 0xFF, "SWAPR", O::RegDest, ""},
    {0x18, 0x18, 0x00, 0xFF, "LDR", O::RegDest, ""},
    {0x19, 0x19, 0x00, 0xFF, "INCR", O::RegDest, ""},
    {0x1A, 0x1A, 0x00, 0xFF, "INCRSZ", O::RegDest, ""},
    {0x1B, 0x1B, 0x00, 0xFF, "ADDWR", O::RegDest, ""},
    {0x1C, 0x1C, 0x00, 0xFF, "SUBWR", O::RegDest, ""},
    {0x1D, 0x1D, 0x00, 0xFF, "DECR", O::RegDest, ""},
    {0x1E, 0x1E, 0x00, 0xFF, "DECRSZ", O::RegDest, ""},
    {0x1F, 0x1F, 0x00, 0xFF, "COMR", O::RegDest, ""},
    {0x20, 0x27, 0x00, 0xFF, "LCALL", O::Long11, ""},
    {0x28, 0x2F, 0x00, 0xFF, "LJUMP", O::Long11, ""},
    {0x30, 0x30, 0x00, 0xFF, "CALL", O::Call8, ""},
    {0x31, 0x31, 0x00, 0xFF, "RTIW", O::Literal, ""},
    {0x32, 0x33, 0x00, 0xFF, "JUMP", O::Jump9, ""},
    {0x34, 0x34, 0x00, 0xFF, "ANDWI", O::Literal, ""},
    {0x35, 0x35, 0x00, 0xFF, "IORWI", O::Literal, ""},
    {0x36, 0x36, 0x00, 0xFF, "XORWI", O::Literal, ""},
    {0x37, 0x37, 0x00, 0xFF, "ADDWI", O::Literal, ""},
    {0x38, 0x38, 0x00, 0xFF, "SUBWI", O::Literal, ""},
    {0x3A, 0x3A, 0x00, 0xFF, "LDWI", O::Literal, ""},
};

constexpr const char* RegisterNames[] = {"IAR", "RTCC",  "PCL",   "STATUS",
                                         "MSR", "PORTA", "PORTB", "PORTC"};
constexpr const char* StatusFlagNames[] = {"CF", "HC", "ZF", "PF", "TF"};
constexpr unsigned StatusRegister = 3;

constexpr const char* EquLines[] = {
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

constexpr const char* LabelText = "      "; // every word's label: six spaces
constexpr const char* OrgDashes = ";----------------------------";
constexpr const char* EndLine = "        END";

// Upper-case hexadecimal, at least `digits` digits.
std::string Hex(unsigned value, int digits) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), Digits[value & 0xFu]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(s.size()) < digits)
        s.insert(0, static_cast<std::size_t>(digits) - s.size(), '0');
    return s;
}

void PadTo(std::string& s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
}

const TDecodeRule* FindRule(unsigned op, unsigned k) {
    for (const TDecodeRule& r : Rules)
        if (op >= r.OpLo && op <= r.OpHi && k >= r.KLo && k <= r.KHi) return &r;
    return nullptr;
}

std::string OperandText(const TDecodeRule& r, unsigned op, unsigned k) {
    const unsigned f = k & 0x7Fu;
    const unsigned d = (k >> 7) & 1u;
    switch (r.Operand) {
    case O::None:
        return {};
    case O::Fixed:
        return r.Fixed;
    case O::RegBit:
        return reg_replace(f) + "," + add_bit(f, (op & 3u) * 2u + d);
    case O::Reg:
        return reg_replace(f);
    case O::RegDest:
        return reg_replace(f) + (d ? ",R" : ",W");
    case O::Long11:
        return Hex((op & 7u) * 256u + k, 4) + "H";
    case O::Call8:
        return Hex(k, 4) + "H";
    case O::Jump9:
        return Hex((op & 1u) * 256u + k, 4) + "H";
    case O::Literal:
        return Hex(k, 3) + "H";
    }
    return {};
}

} // namespace

std::span<const TDecodeRule> DecodeTable() {
    return Rules;
}

std::string reg_replace(unsigned f) {
    f &= 0x7Fu;
    if (f < std::size(RegisterNames)) return RegisterNames[f];
    return Hex(f, 3) + "H";
}

std::string add_bit(unsigned f, unsigned b) {
    if ((f & 0x7Fu) == StatusRegister && b < std::size(StatusFlagNames)) return StatusFlagNames[b];
    return std::to_string(b);
}

std::span<const char* const> equ_table() {
    return EquLines;
}

TDecoded Decode(unsigned word) {
    const unsigned op = (word >> 8) & 0x3Fu;
    const unsigned k = word & 0xFFu;
    TDecoded out;
    if (const TDecodeRule* r = FindRule(op, k)) {
        out.Mnemonic = r->Mnemonic;
        out.Operand = OperandText(*r, op, k);
        out.Listed = true;
    } else {
        out.Mnemonic = ";TBD";
        out.Operand = op == 0x10 ? ";100xH" : Hex(op, 3) + "xxH";
    }
    return out;
}

std::string WordText(unsigned address, unsigned word) {
    word &= 0x3FFFu;
    const TDecoded d = Decode(word);
    std::string line = d.Mnemonic;
    PadTo(line, 8);
    line += d.Operand;
    PadTo(line, 8 + 16);
    line += ';';
    line += Hex(address, 4);
    line += "    ";
    line += Hex(word >> 8, 2);
    line += Hex(word & 0xFFu, 2);
    return line;
}

std::vector<std::string> DisassembleLines(std::span<const uint8_t> program, int memBytes) {
    const int words =
        std::clamp(std::min(memBytes, static_cast<int>(program.size())) / 2, 0, MaxListedWords);
    std::vector<std::string> lines(equ_table().begin(), equ_table().end());
    lines.reserve(lines.size() + static_cast<std::size_t>(words) + 64);
    bool insideSkippedRun = false;
    for (int i = 0; i < words; ++i) {
        const unsigned word = GetWord(program.data(), i);
        const std::string text = WordText(static_cast<unsigned>(i), word);
        const bool skipped = text.find(";TBD") != std::string::npos;
        if (skipped) {
            insideSkippedRun = true;
            continue;
        }
        if (insideSkippedRun) {
            insideSkippedRun = false;
            lines.emplace_back(OrgDashes);
            lines.push_back("        ORG     " + Hex(static_cast<unsigned>(i), 4) + "H");
        }
        lines.push_back(std::string(LabelText) + "  " + text);
    }
    lines.emplace_back(EndLine);
    return lines;
}

std::string ListingFileText(const std::vector<std::string>& lines) {
    std::string text;
    std::size_t size = 0;
    for (const std::string& l : lines)
        size += l.size() + 2;
    text.reserve(size);
    for (const std::string& l : lines) {
        text += l;
        text += "\r\n";
    }
    return text;
}

bool SaveListing(const std::string& path, const std::vector<std::string>& lines) {
    const std::string text = ListingFileText(lines);
    return WriteFileAtomic(path, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace orvan
