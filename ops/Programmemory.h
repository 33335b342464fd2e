// Program memory: the worker behind the "Program Memory" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 "Program memory", Label1 programming (initial
// "Program....."), Label2 word address reached, then the read-back verdict
// (initial "0000"), Button1 "OK". Sends from, and compares with, the copy of
// ProgramBuffer taken when the operation started; changes nothing in the
// main window.
void ProgramMemoryThread(TOperationContext& ctx);

} // namespace orvan
