#include "ops/Programee.h"

#include "ops/OpText.h"

#include <algorithm>

namespace orvan {

void ProgramEEThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto fail = [&](const std::string& line, const std::string& text,
                    TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine(line, text, why);
        d.Enabled("ButtonOk", true);
    };
    auto failed = [&](const std::string& line, WriterResult r) {
        fail(line, StandardFailureLine(r), FailureClassOf(r));
    };

    ctx.GetICInfo();
    // Two stream bytes per EEPROM byte, and the stream lives in the
    // transfer area: no device comes near either bound.
    const int e = std::min({ctx.Device.EEBytes(), EEBufferBytes, (TransferBytes - 5) / 2});
    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label1", "Connect Timeout!!")) {
        d.Enabled("ButtonOk", true);
        return;
    }

    TBufferBlock& b = ctx.In.Buffers;
    ctx.GetHeader(HeaderArea::EEPROM, HeaderAction::ProgramPulse);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        if (ctx.StopRequested()) return;
        return failed("Label1", r);
    }
    for (int a = 0; a < e; ++a) {
        b.TransferBuffer[size_t(2 * a)] = b.EEBuffer[size_t(a)];
        b.TransferBuffer[size_t(2 * a + 1)] = uint8_t(a & 0xFF);
    }
    switch (const WriterResult r = p.WriteData(2 * e, true)) {
    case WriterResult::BlockDone:
        break;
    case WriterResult::WriteFail:
        return fail("Label1", "EEPROM program fail at " +
                                  HexText(unsigned(ctx.State.FailIndex / 2), 4) + "H");
    default:
        if (ctx.StopRequested()) return;
        return failed("Label1", r);
    }
    d.Text("Label1", "EEPROM Program Ok!!");
    d.Visible("Label3", true);

    ctx.GetHeader(HeaderArea::EEPROM, HeaderAction::Read);
    if (const WriterResult r = p.Read8BitData(e); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        return failed("Label3", r);
    }
    const auto& rx = b.TransferBuffer;
    for (int a = 0; a < e; ++a) {
        if (rx[size_t(a)] == b.EEBuffer[size_t(a)]) continue;
        const std::string at = "Data Verify error at " + HexText(unsigned(a), 4) + "H";
        d.Text("Label3", at);
        ctx.NoteFailure(TFailureClass::Chip, at);
        d.Text("Label2", DifferenceText(rx[size_t(a)], b.EEBuffer[size_t(a)], 2));
        d.Visible("Label2", true);
        d.Enabled("ButtonOk", true);
        return;
    }
    d.Text("Label3", "EEPROM Data Verify OK!!");
    ctx.Passed();
    d.Enabled("ButtonOk", true);
}

} // namespace orvan
