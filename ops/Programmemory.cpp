#include "ops/Programmemory.h"

#include "ops/OpText.h"

#include <algorithm>

namespace orvan {

bool ProgramImageBlank(const uint8_t* program, int n) {
    return std::all_of(program, program + n, [](uint8_t b) { return (b & 0x1F) == 0x1F; });
}

void ProgramMemoryThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto fail = [&](const std::string& line, const std::string& text) {
        d.Fail(line, text);
        d.Enabled("Button1", true);
    };

    ctx.GetICInfo();
    const int n = std::min(ctx.Device.ICMemBytes, ProgramBytes);
    const auto& copy = ctx.In.Buffers.ProgramBuffer; // taken when the operation started
    if (ProgramImageBlank(copy.data(), n)) return fail("Label1", "Data memory are blank or error!");

    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(check, d, "Label1", "Connect Timeout!!")) {
        d.Enabled("Button1", true);
        return;
    }

    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        if (ctx.StopRequested()) return;
        return fail("Label1", StandardFailureLine(r));
    }

    // The writer now waits for the block; it ends it with B0 (or B1).
    ctx.State.ExchangeOpen = true;
    // Bytes past the device's memory come from the buffer as it stands
    // there; nothing is read past its end.
    const int limit = std::min(n + 5, ProgramBytes - 1);
    for (int k = 0; k <= limit; ++k) {
        TPacedStep s = SendPaced(ctx, copy[size_t(k)], 3);
        int r = -1;
        if (s == TPacedStep::Ok) s = ReceivePaced(ctx, 3, r);
        if (s == TPacedStep::Stopped) return;
        if (s == TPacedStep::TimedOut) return fail("Label1", "Connect Timeout!!");
        // The word's address, written out only where it is shown.
        auto address = [k] { return HexText(unsigned(k / 2), 4); };
        if (r == ReplyAccepted) {
            if (k % 32 == 0) d.Text("Label2", address());
            continue;
        }
        if (r == ReplyBlockEnd) {
            ctx.State.ExchangeOpen = false;
            d.Text("Label2", address());
            d.Text("Label1", "Program Ok!!");
            break;
        }
        if (r == ReplyWriteFail) {
            d.Text("Label2", address());
            return fail("Label1", "Programming fail !!");
        }
        if (r == ReplyNoChip) return fail("Label1", "Nothing in socket or type error!");
        return fail("Label1", "Unknow return value!!");
    }

    // A writer that took every byte without ending the block is left to
    // drop it before the read-back header.
    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    if (ctx.StopRequested()) return;
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        return fail("Label2", StandardFailureLine(r));
    }
    const auto& rx = ctx.In.Buffers.TransferBuffer;
    if (!std::equal(rx.begin(), rx.begin() + n, copy.begin()))
        return fail("Label2", "Data verify Fail!!");
    d.Text("Label2", "Data verify OK!!");
    d.Enabled("Button1", true);
}

} // namespace orvan
