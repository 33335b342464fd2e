#include "ops/Verify.h"

#include "ops/ChipSteps.h"
#include "ops/OpText.h"

namespace orvan {

void VerifyThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto done = [&] { d.Enabled("Button1", true); };
    auto fail = [&](const std::string& line, const std::string& text,
                    TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine(line, text, why);
        done();
    };
    const bool protect = ctx.In.VerifyProtect;

    d.Text("StaticText1", protect ? "Verify with Protect" : "Verify");
    if (ctx.GetICInfo() < 0) return fail("Label2", "Unknow IC Type!!");
    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label2", "Connect Timeout!!")) return done();

    const TBufferBlock& b = ctx.In.Buffers;
    const TDeviceState& dev = ctx.Device;
    const auto& rx = b.TransferBuffer;
    auto readFailed = [&](WriterResult r, const std::string& line) {
        if (ctx.StopRequested()) return;
        fail(line, StandardFailureLine(r), FailureClassOf(r));
    };

    const TReadBack option = CompareOption(ctx, p, b.OptionLo, b.OptionHi);
    if (option.Read != WriterResult::Done) return readFailed(option.Read, "Label2");
    if (option.Same())
        d.Text("Label2", "OPTION verify OK!!");
    else
        ctx.FailLine("Label2", OptionVerifyFailText, TFailureClass::Chip);

    // OPTION bit 13 still 1: the chip is not protected.
    if (protect && (rx[1] & 0x40)) return fail("Label4", "IC no protected!!");

    // The chip keeps the checksum as the four characters the panel shows.
    const TIDCheck id = VerifyIDWords(ctx, p);
    if (id.Read != WriterResult::Done) return readFailed(id.Read, "Label4");
    if (id.Flags == 0)
        d.Text("Label4", IDVerifyText(id.Flags));
    else
        ctx.FailLine("Label4", IDVerifyText(id.Flags), TFailureClass::Chip);

    const int n = std::min(dev.ICMemBytes, ProgramBytes);
    const uint8_t* pb = b.ProgramBuffer.data();
    const TReadBack data = ReadBackProgram(ctx, p, pb, n, protect ? 0x60 : 0x7F);
    if (data.Read != WriterResult::Done) return readFailed(data.Read, "Label5");
    if (!data.Same()) {
        const std::string at = DataVerifyErrorText(data.At);
        d.Text("Label5", at);
        ctx.NoteFailure(TFailureClass::Chip, at);
        d.Text("Label3", WordDifferenceText(b, pb, data.At, protect));
        d.Visible("Label3", true);
        return done();
    }
    d.Text("Label5", DataVerifyOkText);

    if (dev.IsFlash()) {
        d.Visible("EEInfo", true);
        const int e = std::min(dev.EEBytes(), EEBufferBytes);
        ctx.GetHeader(HeaderArea::EEPROM, HeaderAction::Read);
        if (const WriterResult r = p.Read8BitData(e); r != WriterResult::Done)
            return readFailed(r, "EEInfo");
        for (int k = 0; k < e; ++k) {
            if (rx[size_t(k)] == b.EEBuffer[size_t(k)]) continue;
            const std::string at = "EEPROM Data Verify error at " + HexText(unsigned(k), 4) + "H";
            d.Text("EEInfo", at);
            ctx.NoteFailure(TFailureClass::Chip, at);
            d.Text("Label3", DifferenceText(rx[size_t(k)], b.EEBuffer[size_t(k)], 2));
            d.Visible("Label3", true);
            return done();
        }
        d.Text("EEInfo", "EEPROM Data Verify OK!!");
    }
    ctx.Passed();
    done();
}

} // namespace orvan
