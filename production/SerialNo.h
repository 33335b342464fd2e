// Serial numbers in the program memory: the RTIW words that carry them,
// writing the current number into the buffer, and the next number.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "production/SerialSettings.h"

#include <optional>
#include <string>

namespace orvan {

inline constexpr const char* NotRTIWText = "The program memory is not 'RTIW'";
inline constexpr const char* NotRTIWDisableText =
    "The program memory is not 'RTIW'. Serial No. will be disable!";

// Word `word` of the program buffer is an RTIW instruction (3100h-31FFh) and
// lies inside the device's program memory.
bool IsRTIWWord(const TBufferBlock& buffers, const TDeviceState& device, int word);

// Every one of the n serial words from SerialStartAddr is an RTIW word, and
// n is 1..8. A number that would run past the program memory is refused.
bool SerialWordsAreRTIW(const TSerialSettings& s, const TBufferBlock& buffers,
                        const TDeviceState& device);

// Writes the number into its RTIW words when serial mode is on (the words
// keep their opcode). Does nothing, and returns false, where the words are
// not all RTIW words inside the program memory.
bool WriteSerialNumber(const TSerialSettings& s, TBufferBlock& buffers, const TDeviceState& device);

// Advances SerialBytes to the next number: by SerialIncrement with carry
// and silent wrap, or one step of the shift register.
void SerialNoNext(TSerialSettings& s);

} // namespace orvan
