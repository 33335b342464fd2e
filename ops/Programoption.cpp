#include "ops/Programoption.h"

#include "ops/ChipSteps.h"
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

    if (const WriterResult r = ProgramOptionWord(ctx, p); r != WriterResult::BlockDone) {
        if (r != WriterResult::WriteFail && ctx.StopRequested()) return;
        return fail(WriteFailureLine(r, OptionProgramFailText), FailureClassOf(r));
    }

    const TBufferBlock& b = ctx.In.Buffers;
    const TReadBack back = CompareOption(ctx, p, b.OptionLo, b.OptionHi);
    if (back.Read != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        return failed(back.Read);
    }
    if (back.Same())
        d.Text("Label1", OptionOkText);
    else
        ctx.FailLine("Label1", OptionVerifyFailText, TFailureClass::Chip);
    ctx.Passed();
    d.Enabled("Button1", true);
}

} // namespace orvan
