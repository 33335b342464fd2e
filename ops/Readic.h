// Read device: the worker behind the "Read" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 "Read", Label1 OPTION (and the device and writer
// checks), Label2 ID and checksum, Label3 program memory, EEInfo EEPROM
// (hidden until read), CGauge1, Button1 "OK".
//
// Commits, each where the chip's data is stored: OPTION and the first aux
// group, the second aux group, IDBuffer, then ProgramBuffer with ReadDone
// and the checksums, then EEBuffer. The entry clears ReadDone before the
// dialog and, when it is set afterwards, sets RefreshPending and rebuilds
// the buffer windows.
void ReadICThread(TOperationContext& ctx);

// The receive area of the program-memory phase.
inline constexpr int ReadAreaBytes = 32768;

} // namespace orvan
