// Program EEPROM: the worker behind the "Program EEPROM" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 "Program EEPROM", Label1 programming (initial
// "Program..."), Label3 read-back verdict (hidden until programmed),
// Label2 chip and buffer byte of the first difference (hidden), ButtonOk.
// Each EEPROM byte is sent with its address. Changes nothing in the main
// window.
void ProgramEEThread(TOperationContext& ctx);

} // namespace orvan
