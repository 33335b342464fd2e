// Saving program memory as Intel HEX, the inverse of the record loaders:
// a file written here and opened again (File Open, convert) gives the same
// words. Words are little-endian at byte address 2n, as the loaders read
// them; blank words (3FFFh) are left out, since a load fills them in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvan {

struct TBufferBlock;
struct TDeviceState;

// What a program-memory file is written as, by the type after the name's
// first "." as the loaders take it: ".hex" PIC object code (the loader
// translates it into this family's words), ".ohx" the words as they stand,
// anything else BIN.
enum class TProgramFormat { Bin, PicHex, OrvanHex };
TProgramFormat ProgramFormatOf(std::string_view path);

// The word a ".hex" load makes of PIC word `c` for a model of `wordType`
// (Word12Bit or Word14Bit).
unsigned PicLoadedWord(uint32_t wordType, uint16_t c);

struct THexSave {
    std::string Text;
    // Word address of the first word no PIC word loads back to (a 12-bit
    // model's ".hex" cannot hold every word), -1 when all could be written.
    int Unwritable = -1;
};

// The device's words as Intel HEX records, 16 bytes a record, ended by
// ":00000001FF". `picCode`: each word as the PIC word the loader translates
// back into it.
THexSave HexFileText(const TBufferBlock& buffers, const TDeviceState& device, bool picCode);

// "Word 0A20 at 0013 has no PIC code that loads back to it: save as .ohx or .bin"
std::string UnwritableWordText(const TBufferBlock& buffers, int word);

// The bytes of the program-memory file `path` names, by its format; false
// with `error` when the format cannot hold the words.
bool ProgramFileBytes(const TBufferBlock& buffers, const TDeviceState& device,
                      std::string_view path, std::vector<uint8_t>& bytes, std::string& error);

} // namespace orvan
