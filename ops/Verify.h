// Verify and verify with protect: the worker behind the "Verify" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 title, Label2 OPTION (and the device and writer
// checks; initial "Verify ......"), Label4 protection and ID/checksum,
// Label5 program memory, EEInfo EEPROM (hidden until used), Label3 chip and
// buffer values of the first difference (hidden), Button1 "OK". Reads
// VerifyProtect and the status panel's checksum text; changes no buffer.
void VerifyThread(TOperationContext& ctx);

} // namespace orvan
