#include "ops/Blankcheck.h"

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
        d.Text("Label1", "Erase flash memory...");
        ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Erase);
        const WriterResult r = p.SendHeader();
        if (r != WriterResult::Done) {
            ctx.FailLine("Label1", r);
            return done();
        }
        d.Text("Label1", "Erase End");
    } else {
        d.Text("StaticText1", "Blank Check");
    }

    const auto& rx = ctx.In.Buffers.TransferBuffer;
    ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done) {
        ctx.FailLine("Label2", r);
        return done();
    }
    const TDeviceState& dev = ctx.Device;
    if ((rx[0] & dev.OptAndLo) != dev.OptAndLo || (rx[1] & dev.OptAndHi) != dev.OptAndHi) {
        d.Text("Label2", "OPTION ....... Not Blank!!");
        ctx.NoteFailure(TFailureClass::Chip, "OPTION ....... Not Blank!!");
        return done();
    }
    d.Text("Label2", "OPTION ....... OK");

    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) {
        ctx.FailLine("Label3", r);
        return done();
    }
    // Only the ID words and the stored checksum count; the rest of the area
    // is read but not looked at.
    for (int i = 0; i < 16; ++i)
        if (rx[size_t(i)] != Blank7) {
            ctx.FailLine("Label3", "ID Checksum ....... Not Blank!!", TFailureClass::Chip);
            return done();
        }
    d.Text("Label3", "ID Checksum ......... OK.");

    const int n = dev.ICMemBytes;
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) {
        ctx.FailLine("Label4", r);
        return done();
    }
    for (int i = 0; i < n; ++i) {
        if (rx[size_t(i)] == Blank7) continue;
        d.Text("Label4", "Data ....... Not Blank!!");
        ctx.NoteFailure(TFailureClass::Chip, "Data ....... Not Blank!!");
        const std::string a = HexText(unsigned(i / 2), 4);
        if (i % 2 == 1)
            d.Text("Label5", "Error at " + a + "h = " +
                                 HexText(rx[size_t(i)] * 128u + rx[size_t(i - 1)], 4) + "h");
        else
            d.Text("Label5", "Error at " + a + "h = 0x" +
                                 HexText(rx[size_t(i)] + rx[size_t(i + 1)] * 128u, 4));
        return done();
    }
    d.Text("Label4", "Data ......... OK.");
    ctx.Passed();
    done();
}

} // namespace orvan
