#include "production/SerialNo.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <initializer_list>

namespace orvan {
namespace {

bool ValidCount(int n) {
    return n >= 1 && n <= MaxSerialBytes;
}

// Tap bits of the 8n-bit shift register, by n.
const std::array<std::initializer_list<int>, MaxSerialBytes> Taps = {{
    {7, 3, 2, 1},
    {15, 4, 2, 1},
    {23, 3, 2, 0},
    {31, 6, 4, 2, 1, 0},
    {39, 4, 3, 2},
    {47, 6, 4, 3, 1, 0},
    {55, 6, 3, 1},
    {63, 3, 2, 0},
}};

} // namespace

bool IsRTIWWord(const TBufferBlock& buffers, const TDeviceState& device, int word) {
    if (word < 0 || word >= device.WordCount() || 2 * word + 1 >= ProgramBytes) return false;
    return (buffers.ProgramBuffer[size_t(2 * word + 1)] & 0xFE) == 0x62;
}

bool SerialWordsAreRTIW(const TSerialSettings& s, const TBufferBlock& buffers,
                        const TDeviceState& device) {
    if (!ValidCount(s.SerialByteCount)) return false;
    for (int i = 0; i < s.SerialByteCount; ++i)
        if (!IsRTIWWord(buffers, device, s.SerialStartAddr + i)) return false;
    return true;
}

bool WriteSerialNumber(const TSerialSettings& s, TBufferBlock& buffers,
                       const TDeviceState& device) {
    if (!s.SerialModeOn) return true;
    if (!SerialWordsAreRTIW(s, buffers, device)) return false;
    const int n = s.SerialByteCount;
    for (int i = 0; i < n; ++i) {
        const int element = s.SerialLsbFirst == 0 ? n - 1 - i : i;
        const unsigned b = unsigned(s.SerialBytes[size_t(element)]) & 0xFF;
        const size_t at = size_t(2 * (s.SerialStartAddr + i));
        buffers.ProgramBuffer[at] = uint8_t(b & 0x7F);
        buffers.ProgramBuffer[at + 1] = uint8_t((buffers.ProgramBuffer[at + 1] & 0xFE) | (b >> 7));
    }
    return true;
}

void SerialNoNext(TSerialSettings& s) {
    if (!ValidCount(s.SerialByteCount)) return;
    const int n = s.SerialByteCount;
    auto& e = s.SerialBytes;
    if (s.SerialRandom == 0) {
        e[0] += s.SerialIncrement;
        for (int j = 0; j + 1 < n; ++j)
            if (e[size_t(j)] >= 256) {
                e[size_t(j)] &= 0xFF;
                e[size_t(j + 1)] += 1;
            }
        e[size_t(n - 1)] &= 0xFF;
        return;
    }
    uint64_t reg = 0;
    for (int j = 0; j < n; ++j)
        reg |= uint64_t(e[size_t(j)] & 0xFF) << (8 * j);
    unsigned feedback = 1;
    for (int tap : Taps[size_t(n - 1)])
        feedback ^= unsigned(reg >> tap) & 1u;
    reg = (reg << 1) | feedback;
    for (int j = 0; j < n; ++j)
        e[size_t(j)] = int32_t((reg >> (8 * j)) & 0xFF);
}

} // namespace orvan
