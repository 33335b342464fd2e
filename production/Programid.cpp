#include "production/Programid.h"

#include "ops/ChipSteps.h"
#include "ops/OpText.h"

namespace orvan {

const TOpLayout& ProgramIDLayout() {
    using R = TLayoutLine::TRole;
    static const TOpLayout layout{"TProgramIDForm",
                                  "Program ID Checksum",
                                  {{"StaticText1", "ID and Checksum", true},
                                   {"Label1", "Programming.....", true},
                                   {"Label2", "", true},
                                   {"Button1", "OK", false, R::Button}},
                                  ProgramIDThread};
    return layout;
}

void ProgramIDThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto done = [&] { d.Enabled("Button1", true); };
    auto failed = [&](const char* line, const std::string& text, WriterResult r) {
        ctx.FailLine(line, text, FailureClassOf(r));
        done();
    };

    ctx.GetICInfo();
    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    TWriterProtocol p = ctx.Protocol();
    if (!WriterCheckPasses(ctx, p.CheckWriter(), "Label1", "Connect Timeout!!")) return done();

    if (const WriterResult r = ProgramIDWords(ctx, p); r != WriterResult::BlockDone)
        return failed("Label1",
                      WriteFailureLine(r, IDCellFailText(ctx.State.FailIndex, "Program ID fail")),
                      r);
    d.Text("Label1", "Program Ok!!");
    done();

    const TIDCheck id = VerifyIDWords(ctx, p);
    if (id.Read != WriterResult::Done)
        return failed("Label2", StandardFailureLine(id.Read), id.Read);
    if (id.Flags == 0)
        d.Text("Label2", IDVerifyText(id.Flags));
    else
        ctx.FailLine("Label2", IDVerifyText(id.Flags), TFailureClass::Chip);
    ctx.Passed();
    done();
}

} // namespace orvan
