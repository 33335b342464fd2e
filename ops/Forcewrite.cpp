#include "ops/Forcewrite.h"

#include "ops/ChipSteps.h"
#include "ops/OpText.h"

#include <algorithm>

namespace orvan {

namespace {

// One run; `rec` (where runs are recorded) learns when the chip was reached.
void ForceWriteRun(TOperationContext& ctx, IRunRecord* rec, bool& offered) {
    TOpDialog& d = ctx.Dialog;
    auto both = [&] {
        offered = true;
        d.Enabled("Button1", true);
        d.Enabled("Button2", true);
    };
    auto fail = [&](const std::string& text, TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine("Label1", text, why);
        both();
    };

    d.Visible("Label1", true);
    d.Text("Label2", "");
    d.Text("Label3", "");
    d.Colour("Label1", TLineColour::Default);
    d.Text("Label1", "Program Memory...");
    ctx.GetICInfo();
    const int n = std::min(ctx.Device.ICMemBytes, ProgramBytes);

    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label1", "Connect Timeout!!")) return both();
    if (rec) rec->Reached();

    const auto& copy = ctx.In.Buffers.ProgramBuffer; // the run's own image
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::ProgramPulse);
    ctx.In.Buffers.CommandHeader[7] = 5; // the fixed pulse-width parameter
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        if (ctx.StopRequested()) return;
        return fail(StandardFailureLine(r), FailureClassOf(r));
    }

    d.Gauge(0);
    int shown = 0;
    const TStream s = StreamProgram(ctx, copy.data(), n, 2, [&](int k, bool answered) {
        const int pc = n > 0 ? int(int64_t(k) * 100 / n) : 100;
        if (!answered || pc <= shown) return;
        shown = pc;
        d.Gauge(pc);
    });
    switch (s.End) {
    case TStreamEnd::BlockEnd:
        d.Text("Label1", "Program memory Ok!!");
        d.Gauge(100);
        break;
    case TStreamEnd::AllSent:
        break;
    case TStreamEnd::Stopped:
        return;
    default:
        if (s.End == TStreamEnd::TimedOut && ctx.StopRequested()) return;
        FailStream(ctx, "Label1", s.End, "Programming memory fail!!", true);
        return both();
    }

    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    if (ctx.StopRequested()) return;
    const TReadBack back = ReadBackProgram(ctx, p, copy.data(), n, 0x60);
    if (back.Read != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ctx.FailLine("Label2", back.Read);
        d.Enabled("Button1", true);
        return;
    }
    if (back.Same()) {
        d.Text("Label2", DataVerifyOkText);
    } else {
        const std::string at = DataVerifyErrorText(back.At);
        d.Text("Label2", at);
        ctx.NoteFailure(TFailureClass::Chip, at);
        d.Text("Label3",
               WordDifferenceText(ctx.In.Buffers, copy.data(), back.At, ctx.In.VerifyProtect));
        d.Visible("Label3", true);
        d.Enabled("Button1", true);
    }
    ctx.Passed();

    d.Commit([](IOpTarget& t) { t.PassCount() = AdvancePassCount(t.PassCount()); });
    both();
}

} // namespace

void ForceWriteThread(TOperationContext& ctx) {
    const std::unique_ptr<IRunRecord> rec = NewRunRecord(ctx, "force-write");
    bool offered = false;
    ForceWriteRun(ctx, rec.get(), offered);
    if (!rec || !rec->Due()) return;
    rec->SetChecksum(ctx.In.ChecksumText);
    // Production without records does not go on: "Continue" waits for the
    // record.
    if (offered) ctx.Dialog.Enabled("Button2", false);
    if (rec->Write(ctx.Outcome.Pass, false) && offered) ctx.Dialog.Enabled("Button2", true);
}

} // namespace orvan
