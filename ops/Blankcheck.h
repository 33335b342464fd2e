// Erase (flash) and blank check: the worker behind the "Blank Check" dialog.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 title, Label1 erase (hidden until an erase starts),
// Label2 OPTION, Label3 ID and checksum (and writer-check failures),
// Label4 program memory, Label5 first non-blank word; Button1 "OK".
void BlankCheckThread(TOperationContext& ctx);

} // namespace orvan
