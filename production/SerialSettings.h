// Serial-number settings of production runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orvan {

inline constexpr int MaxSerialBytes = 8;

struct TSerialSettings {
    bool SerialModeOn = false;
    int32_t SerialStartAddr = 0;                       // word address of the first RTIW word
    int32_t SerialByteCount = 1;                       // n, 1..8
    std::array<int32_t, MaxSerialBytes> SerialBytes{}; // element 0 least significant
    int32_t SerialIncrement = 1;                       // 1..255
    int32_t SerialRandom = 0;                          // 0 "Sequential", 1 "Pseudo-random"
    int32_t SerialLsbFirst = 0;                        // 0 "MSB->LSB", 1 "LSB->MSB"

    // Elements n-1 down to 0 as two upper-case hex digits each ("00" at start).
    std::string HexText() const;
};

} // namespace orvan
