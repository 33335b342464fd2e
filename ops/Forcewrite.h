// Force write ("Program Memory Without Check"): one run of the worker; the
// dialog's "Continue" (or orvan-cli's --count) starts the next.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Lines: StaticText1 "Program Memory Without Check", Label1 programming,
// CGauge1, Label2 read-back verdict, Label3 chip and buffer word of the
// first difference, Button1 "Exit", Button2 "Continue". A run that reached
// the read-back comparison advances the pass count by one (a commit).
void ForceWriteThread(TOperationContext& ctx);

} // namespace orvan
