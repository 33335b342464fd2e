// The disassembler: program-memory words to an assembler listing in this
// family's 14-bit instruction set. The decode rules are one table of data;
// the listing is built in memory, line for line as the ".dis" file holds it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvan {

// No listing runs past this many words, whatever the device.
inline constexpr int MaxListedWords = 8192;

// How a rule turns the word's fields into the operand text.
enum class TDisOperand : uint8_t {
    None,    // no operand
    Fixed,   // the rule's own text (CPIO's port)
    RegBit,  // REG "," BIT
    Reg,     // REG
    RegDest, // REG ",R" (d = 1) or ",W" (d = 0)
    Long11,  // ((op AND 7) x 256 + k), 4 digits + "H"
    Call8,   // k, 4 digits + "H"
    Jump9,   // ((op AND 1) x 256 + k), 4 digits + "H"
    Literal, // k, 3 digits + "H"
};

// A word decodes by the first rule whose op range and k range hold it; a
// word no rule holds is not listed.
struct TDecodeRule {
    uint8_t OpLo, OpHi; // bits 13-8
    uint8_t KLo, KHi;   // bits 7-0
    const char* Mnemonic;
    TDisOperand Operand;
    const char* Fixed; // TDisOperand::Fixed only
};

std::span<const TDecodeRule> DecodeTable();

struct TDecoded {
    std::string Mnemonic; // ";TBD" for a word that does not decode
    std::string Operand;
    bool Listed = false;
};

TDecoded Decode(unsigned word);

// Register operand: the names of registers 0-7, else three hex digits + "H".
std::string reg_replace(unsigned f);
// Bit operand: "0".."7"; STATUS bits 0-4 by their flag names.
std::string add_bit(unsigned f, unsigned b);
// The listing's header lines: register and flag equates, then ORG 0000H.
std::span<const char* const> equ_table();

// One word's listing text without its label: mnemonic padded to 8,
// operand padded to 16, ";", address (4 digits), four spaces, word (4 digits).
std::string WordText(unsigned address, unsigned word);

// The whole listing of the first `memBytes` bytes of a word-pair program
// buffer (at most MaxListedWords words): header, the listed words with
// their labels and ORG marks after skipped runs, "        END".
std::vector<std::string> DisassembleLines(std::span<const uint8_t> program, int memBytes);

// The lines as the ".dis" file holds them: each ends in CR LF.
std::string ListingFileText(const std::vector<std::string>& lines);

// Writes the ".dis" file (replacing one of that name, never leaving half a
// file); false when it could not be written.
[[nodiscard]] bool SaveListing(const std::string& path, const std::vector<std::string>& lines);

} // namespace orvan
