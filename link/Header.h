// The 10-byte command header that tells the writer which device, which
// memory area and which action the next exchange concerns.
#pragma once

#include "device/Catalogue.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvan {

// First argument of GetHeader.
namespace HeaderArea {
enum : unsigned { ProgramMemory = 0, Option = 1, ID = 2, EEPROM = 3, Option2 = 5 };
}
// Second argument of GetHeader.
namespace HeaderAction {
enum : unsigned { Program = 0, Read = 1, Erase = 2, ProgramPulse = 3 };
}

inline constexpr uint8_t OpProgramOTP = 0xA6;
inline constexpr uint8_t OpProgramPulse = 0xA7;
inline constexpr uint8_t OpRead = 0xA5;
inline constexpr uint8_t OpErase = 0xA8;

// Pulse widths in the header's units of 0.1 ms.
struct TPulseWidths {
    uint8_t Program = 12;
    uint8_t Erase = 80;
};

// From the hidden service edits: the programming edit counts in 0.2 ms and
// is doubled, the erase edit counts in 0.1 ms; a hidden edit gives the
// standard width. Texts outside the edits' ranges are limited as their
// change handlers would.
TPulseWidths PulseWidthsFromEdits(bool programVisible, std::string_view programText,
                                  bool eraseVisible, std::string_view eraseText);

// The edits' change rule: empty or 0 becomes "1", `limit` + 1 or more
// becomes `limit` (127 for the programming width, 255 for the erase width).
// Returns the text the edit must show; non-digits are dropped first.
std::string LimitWidthText(std::string_view text, int limit);

using THeader = std::array<uint8_t, 10>;

// The header for `area` and `action` from the device fields, the OPTION
// buffer bytes (oscillator rule) and the pulse widths.
THeader BuildHeader(unsigned area, unsigned action, const TDeviceState& device, uint8_t optionLo,
                    uint8_t optionHi, const TPulseWidths& widths);

} // namespace orvan
