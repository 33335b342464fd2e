// The serial-number dialog's rules without the dialog: its fields as text,
// the normalising done when a field is left, and what OK and "QTP File"
// check and store. The desktop dialog and orvan-cli both use them.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "production/SerialSettings.h"

#include <string>

namespace orvan {

inline constexpr const char* NoOfByteInvalidText = "\"No. of Byte\" is not a valid value!!";
inline constexpr const char* IncrementInvalidText = " \"Increment\" is not a valid value!!";
inline constexpr const char* StartValueOverflowText = "Start value overflow!!";
inline constexpr const char* NoOfPartOverflowText = "\"No. of Parts\" value overflow!";
inline constexpr int MaxQTPParts = 100000;

struct TSerialEntry {
    std::string StartAddress; // hex, up to 4 characters
    std::string NoOfByte;     // 1..8
    std::string StartValue;   // hex, up to 2n characters
    std::string Increment;    // 1..255
    std::string NoOfPart = "1";
    int Random = 0;   // RadioGroup1
    int LsbFirst = 0; // RadioGroup2
};

// The fields as FormCreate fills them from the settings.
TSerialEntry EntryFromSettings(const TSerialSettings& s);

// Leaving StartAddress: "0" in front up to four characters.
std::string PadStartAddress(std::string text);
// Leaving NoOfByte or StartValue: the last 2n characters, "0" in front up
// to 2n; with pseudo-random numbers all F becomes all 0 (a state the
// register never leaves).
std::string FitStartValue(std::string text, int n, bool random);
// Leaving Increment or NoOfPart: 0 becomes "1".
std::string ZeroToOne(std::string text);

struct TSerialCheck {
    bool Ok = false;
    std::string Message;         // to show when not Ok
    bool ErrorBox = false;       // caption "Error", stop icon
    bool ClearIncrement = false; // the Increment field is emptied
};

// OK: checks the entry against the program's RTIW words for `device`; when
// it passes the settings are stored with serial mode on. A failed RTIW
// check switches serial mode off.
TSerialCheck AcceptSerialEntry(TSerialSettings& settings, const TBufferBlock& buffers,
                               const TDeviceState& device, const TSerialEntry& e);

// "QTP File" up to the file dialog: checks and stores the settings (serial
// mode is not switched on) and gives the number of parts.
TSerialCheck PrepareQTPEntry(TSerialSettings& settings, const TBufferBlock& buffers,
                             const TDeviceState& device, const TSerialEntry& e, int& parts);

} // namespace orvan
