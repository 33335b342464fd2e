// Program checksums shown in the status panel.
#pragma once

#include "device/Catalogue.h"

#include <cstdint>
#include <string>

namespace orvan {

struct TChecksums {
    uint16_t DataChecksum = 0; // "Checksum:"
    uint16_t ProtectSum = 0;   // "Protect Sum:"
    uint16_t OptionSum = 0;    // "OPTION Sum:"
};

// Byte sum of a 14-bit word: its low 8 bits plus its upper 6 bits.
inline unsigned WordByteSum(unsigned w) {
    return (w & 0xFFu) + (w >> 8);
}

// Sums over the first device.ICMemBytes bytes of `program` (word pairs) and
// the OPTION word; masks the OPTION bytes in place as the display does.
TChecksums CalChecksum(const TDeviceState& device, int catalogueRow, const uint8_t* program,
                       uint8_t& optionLo, uint8_t& optionHi);

// Upper-case hexadecimal with at least `digits` digits.
std::string HexText(unsigned value, int digits);

} // namespace orvan
