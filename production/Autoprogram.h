// Auto program: one chip through erase (flash), blank check, ID and
// checksum, program memory with read-back and OPTION with read-back, then
// the pass count and the next serial number. The dialog starts it again
// for each chip ("Continue").
//
// A chip whose ID or OPTION read-back differs is not a pass: it is not
// counted, but it carries its serial number now, so the number is used up
// all the same and the next chip gets the next one.
#pragma once

#include "ops/OpLayout.h"
#include "ops/Operation.h"

#include <string>

namespace orvan {

// Control that carries a message box's text instead of a line.
inline constexpr const char* MessageBoxControl = "MessageBox";
// The dialog's own line under the others: this dialog's chips, as recorded.
inline constexpr const char* YieldLineControl = "YieldLine";
// The dialog's own failure line for the writer's line: lost during a run,
// or not opened again before the next chip.
inline constexpr const char* LinkLineControl = "LinkLine";

void AutoProgramThread(TOperationContext& ctx);

// The "Auto Program" dialog: title, the records line, the erase line
// (hidden), blank check, program, verify and OPTION lines, the link line,
// the yield line;
// "Exit" and "Continue".
const TOpLayout& AutoProgramLayout();
// "Line lost: " and why the line went, for the link line.
std::string LineLostText(const std::string& reason);
// The line a run fails with when the OPTION word is blank or bad
// (TOptionPanel::OptionStatus), or null when it is neither.
const char* OptionStatusText(int optionStatus);
// "This run: N passed, M failed, yield Y" for the dialog's recorded chips.
std::string YieldLineText(int passes, int fails);

} // namespace orvan
