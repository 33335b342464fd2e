// Small helpers shared by the operation workers: texts, and the paced
// byte steps of the workers that drive their own transfer loops.
#pragma once

#include "device/Checksum.h" // HexText
#include "ops/Operation.h"

#include <cstdint>
#include <string>

namespace orvan {

// The writer check every operation starts with: WriterMismatch and TimeOut
// end it ("Writer type is error!" or `timeoutText`, red, on `line`: the
// writer's fault); every other result lets it go on. True when the
// operation goes on.
bool WriterCheckPasses(TOperationContext& ctx, WriterResult r, const std::string& line,
                       const std::string& timeoutText);

// The pass count after one more passed chip (force write and auto program
// alike): the decimal text plus one. The count has at most nine digits:
// past 999999999 it starts again at "1", as does a text that is no number.
std::string AdvancePassCount(const std::string& passCount);

// "IC=" C "H, Buffer=" B "H" with both values as `digits` hex digits.
std::string DifferenceText(unsigned chip, unsigned buffer, int digits);

// One step of a worker's own byte loop, timed by the dialog's ticks.
enum class TPacedStep : uint8_t { Ok, TimedOut, Stopped };

// Ticks = 0, Timer1 on; waits for CTS until Ticks reaches `ticks`, then
// writes `b`. A write that does not complete, or a line that has gone,
// counts as a writer that stopped answering.
TPacedStep SendPaced(TOperationContext& ctx, uint8_t b, int ticks);
// Ticks = 0, Timer1 on; the next byte into `b`, waiting until Ticks
// reaches `ticks`.
TPacedStep ReceivePaced(TOperationContext& ctx, int ticks, int& b);

// Before a worker's first exchange: an earlier operation that was stopped
// inside a block has the line settle first. False on a stop request.
bool StartExchange(TOperationContext& ctx);

} // namespace orvan
