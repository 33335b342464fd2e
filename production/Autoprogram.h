// Auto program: one chip through erase (flash), blank check, ID and
// checksum, program memory with read-back and OPTION with read-back, then
// the pass count and the next serial number. The dialog starts it again
// for each chip ("Continue").
//
// A chip whose ID or OPTION read-back differs is not a pass: it is not
// counted, but it carries its serial number now, so the number is used up
// all the same and the next chip gets the next one.
#pragma once

#include "ops/Operation.h"

namespace orvan {

// Control that carries a message box's text instead of a line.
inline constexpr const char* MessageBoxControl = "MessageBox";

void AutoProgramThread(TOperationContext& ctx);

} // namespace orvan
