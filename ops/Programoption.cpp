#include "ops/Programoption.h"

#include "ops/OpText.h"

namespace orvan {

void ProgramOptionThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto fail = [&](const std::string& text, TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine("Label1", text, why);
        d.Enabled("Button1", true);
    };
    auto failed = [&](WriterResult r) { fail(StandardFailureLine(r), FailureClassOf(r)); };

    switch (ctx.In.OptionStatus & 3) {
    case 1:
        return fail("Some Options are Blank !!");
    case 2:
        return fail("Some Options are Error !!");
    case 3:
        return fail("Some Options are Blank or Error!!");
    default:
        break;
    }

    ctx.GetICInfo();
    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label1", "Connect Timeout!!")) {
        d.Enabled("Button1", true);
        return;
    }

    TBufferBlock& b = ctx.In.Buffers;
    ctx.GetHeader(HeaderArea::Option, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        if (ctx.StopRequested()) return;
        return failed(r);
    }
    b.TransferBuffer[0] = b.OptionLo;
    b.TransferBuffer[1] = b.OptionHi;
    switch (const WriterResult r = p.WriteData(2, true)) {
    case WriterResult::BlockDone:
        break;
    case WriterResult::WriteFail:
        return fail("OPTION program fail !!");
    default:
        if (ctx.StopRequested()) return;
        return failed(r);
    }

    ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        return failed(r);
    }
    const TDeviceState& dev = ctx.Device;
    const auto& rx = b.TransferBuffer;
    if ((b.OptionLo & dev.OptAndLo) == (rx[0] & dev.OptAndLo) &&
        (b.OptionHi & dev.OptAndHi) == (rx[1] & dev.OptAndHi))
        d.Text("Label1", "OPTION program && verify OK!!");
    else
        ctx.FailLine("Label1", "OPTION verify Fail!!", TFailureClass::Chip);
    ctx.Passed();
    d.Enabled("Button1", true);
}

} // namespace orvan
