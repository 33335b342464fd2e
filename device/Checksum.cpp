#include "device/Checksum.h"

#include "device/OptionDecode.h"

#include <cstdio>

namespace orvan {

TChecksums CalChecksum(const TDeviceState& device, int catalogueRow, const uint8_t* program,
                       uint8_t& optionLo, uint8_t& optionHi) {
    unsigned data = 0;
    unsigned protect = 0;
    for (int i = 0; i + 1 < device.ICMemBytes; i += 2) {
        const unsigned w = (program[i + 1] & 0x7Fu) * 128u + (program[i] & 0x7Fu);
        data += WordByteSum(w);
        protect += WordByteSum(w | 0x0F9Fu);
    }
    TChecksums sums;
    sums.DataChecksum = static_cast<uint16_t>(data & 0xFFFFu);
    sums.ProtectSum = static_cast<uint16_t>(protect & 0xFFFFu);
    ApplyOptionMasks(catalogueRow, optionLo, optionHi);
    const unsigned opt =
        sums.DataChecksum + (optionLo & 0x7Fu) + 128u * (optionHi & 1u) + (optionHi >> 1);
    sums.OptionSum = static_cast<uint16_t>(opt & 0xFFFFu);
    return sums;
}

std::string HexText(unsigned value, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*X", digits, value);
    return buf;
}

} // namespace orvan
