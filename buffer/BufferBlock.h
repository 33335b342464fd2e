// The buffer block: OPTION, ID, program memory (word pairs), the command
// header with the transfer area right behind it, and the EEPROM image.
#pragma once

#include <array>
#include <cstdint>

namespace orvan {

inline constexpr int IDBytes = 32;
inline constexpr int AuxByteCount = 8;
inline constexpr int ProgramBytes = 32766;
inline constexpr int HeaderBytes = 10;
inline constexpr int TransferBytes = 32766;
inline constexpr int EEBufferBytes = 1024;
inline constexpr uint8_t Blank7 = 0x7F;

struct TBufferBlock {
    uint8_t OptionLo = Blank7;
    uint8_t OptionHi = Blank7;
    std::array<uint8_t, IDBytes> IDBuffer{};
    std::array<uint8_t, AuxByteCount> AuxBytes{}; // two groups of four, left as read
    std::array<uint8_t, ProgramBytes> ProgramBuffer{};
    std::array<uint8_t, HeaderBytes> CommandHeader{};
    std::array<uint8_t, TransferBytes> TransferBuffer{};
    std::array<uint8_t, EEBufferBytes> EEBuffer{};

    TBufferBlock() { SetBlank(); }

    // Start values: OPTION, ID and program 7Fh, EEPROM 00h.
    void SetBlank() {
        OptionLo = OptionHi = Blank7;
        IDBuffer.fill(Blank7);
        ProgramBuffer.fill(Blank7);
        EEBuffer.fill(0);
    }
};

// Word pair form: bits 0-6 first, then bits 7-13.
inline unsigned PairToWord(uint8_t first, uint8_t second) {
    return (second & 0x7Fu) * 128u + (first & 0x7Fu);
}
inline void WordToPair(unsigned w, uint8_t& first, uint8_t& second) {
    first = static_cast<uint8_t>(w & 0x7Fu);
    second = static_cast<uint8_t>((w >> 7) & 0x7Fu);
}

// Word n of a word-pair area (bytes 2n, 2n+1).
inline unsigned GetWord(const uint8_t* area, int n) {
    return PairToWord(area[2 * n], area[2 * n + 1]);
}
inline void SetWord(uint8_t* area, int n, unsigned w) {
    WordToPair(w, area[2 * n], area[2 * n + 1]);
}

} // namespace orvan
