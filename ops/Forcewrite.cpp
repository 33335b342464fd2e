#include "ops/Forcewrite.h"

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

    ctx.State.ExchangeOpen = true;
    d.Gauge(0);
    int shown = 0;
    const int limit = std::min(n + 5, ProgramBytes - 1);
    for (int i = 0; i <= limit; ++i) {
        TPacedStep s = SendPaced(ctx, copy[size_t(i)], 2);
        int r = -1;
        if (s == TPacedStep::Ok) s = ReceivePaced(ctx, 2, r);
        if (s == TPacedStep::Stopped) return;
        if (s == TPacedStep::TimedOut) return fail("Connect Timeout!!", TFailureClass::Writer);
        if (r == ReplyBlockEnd) {
            ctx.State.ExchangeOpen = false;
            d.Text("Label1", "Program memory Ok!!");
            d.Gauge(100);
            break;
        }
        if (r == ReplyWriteFail) return fail("Programming memory fail!!");
        if (r == ReplyNoChip) return fail("Nothing in socket or type error!");
        if (r == ReplyAdapterError) return fail("IC adapter board error!");
        if (r != ReplyAccepted) return fail("Unknow return value!!", TFailureClass::Writer);
        const int pc = n > 0 ? int(int64_t(i) * 100 / n) : 100;
        if (pc > shown) {
            shown = pc;
            d.Gauge(pc);
        }
    }

    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    if (ctx.StopRequested()) return;
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ctx.FailLine("Label2", r);
        d.Enabled("Button1", true);
        return;
    }
    const auto& rx = ctx.In.Buffers.TransferBuffer;
    bool same = true;
    for (int c = 0; c < n; ++c) {
        if ((copy[size_t(c)] & 0x60) == (rx[size_t(c)] & 0x60)) continue;
        const std::string at = "Data Verify error at " + HexText(unsigned(c / 2), 4) + "H";
        d.Text("Label2", at);
        ctx.NoteFailure(TFailureClass::Chip, at);
        const size_t e = size_t(c - c % 2);
        const unsigned chip = rx[e] + rx[e + 1] * 128u;
        unsigned buffer = copy[e] + copy[e + 1] * 128u;
        if (ctx.In.VerifyProtect) buffer |= 0xF9F;
        d.Text("Label3", DifferenceText(chip, buffer, 4));
        d.Visible("Label3", true);
        d.Enabled("Button1", true);
        same = false;
        break;
    }
    if (same) d.Text("Label2", "Data verify OK!!");
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
