#include "ops/Verify.h"

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

    ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done)
        return readFailed(r, "Label2");
    if ((b.OptionLo & dev.OptAndLo) == (rx[0] & dev.OptAndLo) &&
        (b.OptionHi & dev.OptAndHi) == (rx[1] & dev.OptAndHi))
        d.Text("Label2", "OPTION verify OK!!");
    else
        ctx.FailLine("Label2", "OPTION verify Fail!!", TFailureClass::Chip);

    // OPTION bit 13 still 1: the chip is not protected.
    if (protect && (rx[1] & 0x40)) return fail("Label4", "IC no protected!!");

    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done)
        return readFailed(r, "Label4");
    bool idFlag = false, sumFlag = false;
    for (size_t k = 0; k < 12; ++k)
        if (rx[k] != b.IDBuffer[k]) idFlag = true;
    // The chip keeps the checksum as the four characters the panel shows.
    const std::string& sum = ctx.In.ChecksumText;
    for (size_t k = 0; k < 4; ++k) {
        const uint8_t c = k < sum.size() ? uint8_t(sum[k]) : 0;
        if (rx[12 + k] != c) sumFlag = true;
    }
    if (!idFlag && !sumFlag)
        d.Text("Label4", "ID && Checksum verify OK!!");
    else
        ctx.FailLine("Label4",
                     idFlag && sumFlag ? "ID && Checksum verify fail!!"
                     : idFlag          ? "ID verify fail!!"
                                       : "Checksum verify fail!!",
                     TFailureClass::Chip);

    const int n = std::min(dev.ICMemBytes, ProgramBytes);
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done)
        return readFailed(r, "Label5");
    const uint8_t mask = protect ? 0x60 : 0x7F;
    const auto& pb = b.ProgramBuffer;
    for (int i = 0; i < n; ++i) {
        if ((pb[size_t(i)] & mask) == (rx[size_t(i)] & mask)) continue;
        const std::string at = "Data Verify error at " + HexText(unsigned(i / 2), 4) + "H";
        d.Text("Label5", at);
        ctx.NoteFailure(TFailureClass::Chip, at);
        const size_t e = size_t(i - i % 2);
        const unsigned chip = rx[e] + rx[e + 1] * 128u;
        unsigned buffer = pb[e] + pb[e + 1] * 128u;
        if (protect) buffer |= 0xF9F;
        d.Text("Label3", DifferenceText(chip, buffer, 4));
        d.Visible("Label3", true);
        return done();
    }
    d.Text("Label5", "Data verify OK!!");

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
