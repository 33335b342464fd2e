#include "ops/Programmemory.h"

#include "ops/ChipSteps.h"
#include "ops/OpText.h"

#include <algorithm>

namespace orvan {

void ProgramMemoryThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto fail = [&](const std::string& line, const std::string& text,
                    TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine(line, text, why);
        d.Enabled("Button1", true);
    };
    auto failed = [&](const std::string& line, WriterResult r) {
        fail(line, StandardFailureLine(r), FailureClassOf(r));
    };

    ctx.GetICInfo();
    const int n = std::min(ctx.Device.ICMemBytes, ProgramBytes);
    const auto& copy = ctx.In.Buffers.ProgramBuffer; // taken when the operation started
    if (ProgramImageBlank(copy.data(), n)) return fail("Label1", ProgramBlankText);

    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label1", "Connect Timeout!!")) {
        d.Enabled("Button1", true);
        return;
    }

    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        if (ctx.StopRequested()) return;
        return failed("Label1", r);
    }

    const int step = AddressStep(n);
    const TStream s = StreamProgram(ctx, copy.data(), n, 3, [&](int k, bool answered) {
        if (answered && k % step == 0) d.Text("Label2", HexText(unsigned(k / 2), 4));
    });
    switch (s.End) {
    case TStreamEnd::BlockEnd:
        d.Text("Label2", HexText(unsigned(s.At / 2), 4));
        d.Text("Label1", "Program Ok!!");
        break;
    case TStreamEnd::AllSent:
        break;
    case TStreamEnd::Stopped:
        return;
    default:
        if (s.End == TStreamEnd::TimedOut && ctx.StopRequested()) return;
        if (s.End == TStreamEnd::WriteFail) d.Text("Label2", HexText(unsigned(s.At / 2), 4));
        FailStream(ctx, "Label1", s.End, "Programming fail !!", false);
        d.Enabled("Button1", true);
        return;
    }

    // A writer that took every byte without ending the block is left to
    // drop it before the read-back header.
    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    if (ctx.StopRequested()) return;
    const TReadBack back = ReadBackProgram(ctx, p, copy.data(), n);
    if (back.Read != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        return failed("Label2", back.Read);
    }
    if (!back.Same()) return fail("Label2", DataVerifyFailText);
    d.Text("Label2", DataVerifyOkText);
    ctx.Passed();
    d.Enabled("Button1", true);
}

} // namespace orvan
