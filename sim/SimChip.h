// The chip in the simulated writer's socket and its image file.
//
// Image file (text, one record per line, '#' starts a comment, hexadecimal
// values, missing records mean blank):
//   model OV128
//   socket full|empty
//   option  WWWW WWWW WWWW    OPTION word and its auxiliary group (3 words)
//   option2 WWWW WWWW WWWW    second configuration area (3 words)
//   id      WWWW x16          ID area (16 words; 8 are programmed)
//   program AAAA WWWW ...     program words from word address AAAA
//   eeprom  AAAA BB ...       EEPROM bytes from address AAAA (flash models)
// Words are 14-bit values (blank 3FFF); a fresh EEPROM reads FF.
#pragma once

#include "device/Catalogue.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvan::sim {

inline constexpr uint16_t BlankWord = 0x3FFF;
inline constexpr int OptionWords = 3;
inline constexpr int IDWords = 16;

struct TSimChip {
    std::string Model;
    TDeviceState Device;
    bool SocketFull = true;
    std::array<uint16_t, OptionWords> Option{};  // [0] the OPTION word
    std::array<uint16_t, OptionWords> Option2{}; // second configuration area
    std::array<uint16_t, IDWords> ID{};
    std::vector<uint16_t> Program;
    std::vector<uint8_t> EEPROM; // empty on OTP models

    // A blank chip of a catalogue model; false for an unknown model.
    bool MakeBlank(const std::string& model);
    bool IsFlash() const { return Device.ICTech == TechFlash; }
    // The security bit (OPTION bit 13) programmed: program memory reads
    // back only in bits 5, 6, 12 and 13.
    bool Protected() const { return (Option[0] & 0x2000) == 0; }
    // Erase: program memory, OPTION word and ID blank, EEPROM FF. The
    // auxiliary words are factory data and stay.
    void Erase();

    bool Load(const std::string& path, std::string& error);
    // Written to a temporary file and renamed over the old one.
    bool Save(const std::string& path, std::string& error) const;
    std::string ToText() const;
    bool FromText(const std::string& text, std::string& error);
};

} // namespace orvan::sim
