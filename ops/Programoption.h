// Program OPTION: the worker behind the "Program OPTION" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 "OPTION", Label1 every verdict (initial
// "Programming....."), Button1 "OK". Changes nothing in the main window.
void ProgramOptionThread(TOperationContext& ctx);

} // namespace orvan
