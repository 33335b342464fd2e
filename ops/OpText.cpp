#include "ops/OpText.h"

namespace orvan {

bool WriterCheckPasses(TOperationContext& ctx, WriterResult r, const std::string& line,
                       const std::string& timeoutText) {
    if (r == WriterResult::WriterMismatch) {
        ctx.FailLine(line, "Writer type is error!", TFailureClass::Writer);
        return false;
    }
    if (r == WriterResult::TimeOut) {
        ctx.FailLine(line, timeoutText, TFailureClass::Writer);
        return false;
    }
    return true;
}

std::string AdvancePassCount(const std::string& passCount) {
    bool digits = !passCount.empty() && passCount.size() <= 9;
    for (char c : passCount)
        digits = digits && c >= '0' && c <= '9';
    const long long next = digits ? std::stoll(passCount) + 1 : 1;
    return std::to_string(next > 999999999 ? 1 : next);
}

std::string DifferenceText(unsigned chip, unsigned buffer, int digits) {
    return "IC=" + HexText(chip, digits) + "H, Buffer=" + HexText(buffer, digits) + "H";
}

TPacedStep SendPaced(TOperationContext& ctx, uint8_t b, int ticks) {
    // A writer that answers at once would never let the waits see a stop.
    if (ctx.StopRequested()) return TPacedStep::Stopped;
    ctx.Ticks.Restart();
    try {
        if (!WaitForCts(ctx.Port, ctx.Clock, ctx.Ticks.Deadline(ticks), ctx.Stop))
            return ctx.StopRequested() ? TPacedStep::Stopped : TPacedStep::TimedOut;
        if (ctx.Port.Write(&b, 1) != 1) return TPacedStep::TimedOut;
    } catch (const ECommError&) {
        return TPacedStep::TimedOut;
    }
    return TPacedStep::Ok;
}

TPacedStep ReceivePaced(TOperationContext& ctx, int ticks, int& b) {
    if (ctx.StopRequested()) return TPacedStep::Stopped;
    ctx.Ticks.Restart();
    try {
        b = WaitForByte(ctx.Port, ctx.Clock, ctx.Ticks.Deadline(ticks), ctx.Stop);
    } catch (const ECommError&) {
        return TPacedStep::TimedOut;
    }
    if (b >= 0) return TPacedStep::Ok;
    return ctx.StopRequested() ? TPacedStep::Stopped : TPacedStep::TimedOut;
}

bool StartExchange(TOperationContext& ctx) {
    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    return !ctx.StopRequested();
}

} // namespace orvan
