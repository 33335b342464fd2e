#include "ops/Blankcheck.h"

#include "ops/ChipSteps.h"
#include "ops/OpText.h"

namespace orvan {

void BlankCheckThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto done = [&] { d.Enabled("Button1", true); };

    if (ctx.GetICInfo() < 0) {
        d.Text("Label2", "Unknow IC Type!!");
        ctx.NoteFailure(TFailureClass::Chip, "Unknow IC Type!!");
        return done();
    }
    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    if (!WriterCheckPasses(ctx, p.CheckWriter(), "Label3", "Connect Timeout!!")) return done();

    if (ctx.In.EraseFirst) {
        d.Text("StaticText1", "Erase Flash Memory");
        d.Visible("Label1", true);
        d.Text("Label1", EraseStartText);
        if (const WriterResult r = EraseChip(ctx, p); r != WriterResult::Done) {
            ctx.FailLine("Label1", r);
            return done();
        }
        d.Text("Label1", EraseEndText);
    } else {
        d.Text("StaticText1", "Blank Check");
    }

    const TReadBack option = BlankCheckOption(ctx, p);
    if (option.Read != WriterResult::Done) {
        ctx.FailLine("Label2", option.Read);
        return done();
    }
    if (!option.Same()) {
        d.Text("Label2", OptionNotBlankText);
        ctx.NoteFailure(TFailureClass::Chip, OptionNotBlankText);
        return done();
    }
    d.Text("Label2", "OPTION ....... OK");

    const TReadBack id = BlankCheckID(ctx, p);
    if (id.Read != WriterResult::Done) {
        ctx.FailLine("Label3", id.Read);
        return done();
    }
    if (!id.Same()) {
        ctx.FailLine("Label3", IDNotBlankText, TFailureClass::Chip);
        return done();
    }
    d.Text("Label3", "ID Checksum ......... OK.");

    const TReadBack data = BlankCheckProgram(ctx, p, ctx.Device.ICMemBytes);
    if (data.Read != WriterResult::Done) {
        ctx.FailLine("Label4", data.Read);
        return done();
    }
    if (!data.Same()) {
        d.Text("Label4", "Data ....... Not Blank!!");
        ctx.NoteFailure(TFailureClass::Chip, "Data ....... Not Blank!!");
        d.Text("Label5", NotBlankAtText(ctx.In.Buffers, data.At));
        return done();
    }
    d.Text("Label4", "Data ......... OK.");
    ctx.Passed();
    done();
}

} // namespace orvan
