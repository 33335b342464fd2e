#include "production/Programid.h"

#include "ops/OpText.h"

namespace orvan {

namespace {

uint8_t ChecksumChar(const std::string& text, int i) {
    return i < int(text.size()) ? uint8_t(text[size_t(i)]) : uint8_t(' ');
}

} // namespace

void BuildIDImage(TOperationContext& ctx) {
    TBufferBlock& b = ctx.In.Buffers;
    std::copy(b.IDBuffer.begin(), b.IDBuffer.end(), b.TransferBuffer.begin());
    for (int i = 0; i < 4; ++i)
        b.TransferBuffer[size_t(12 + i)] = ChecksumChar(ctx.In.ChecksumText, i);
}

unsigned IDVerifyFlags(const TOperationContext& ctx) {
    const TBufferBlock& b = ctx.In.Buffers;
    unsigned flags = 0;
    for (size_t i = 0; i < 12; ++i)
        if (b.TransferBuffer[i] != b.IDBuffer[i]) flags |= 1;
    for (int i = 0; i < 4; ++i)
        if (b.TransferBuffer[size_t(12 + i)] != ChecksumChar(ctx.In.ChecksumText, i)) flags |= 2;
    return flags;
}

std::string IDVerifyText(unsigned flags) {
    switch (flags) {
    case 0:
        return "ID && Checksum verify OK!!";
    case 1:
        return "ID verify fail!!";
    case 2:
        return "Checksum verify fail!!";
    default:
        return "ID && Checksum verify fail!!";
    }
}

void ProgramIDThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto done = [&] { d.Enabled("Button1", true); };
    auto fail = [&](const char* line, const std::string& text,
                    TFailureClass why = TFailureClass::Chip) {
        ctx.FailLine(line, text, why);
        done();
    };
    auto failed = [&](const char* line, WriterResult r) {
        fail(line, StandardFailureLine(r), FailureClassOf(r));
    };

    ctx.GetICInfo();
    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    TWriterProtocol p = ctx.Protocol();
    if (!WriterCheckPasses(ctx, p.CheckWriter(), "Label1", "Connect Timeout!!")) return done();

    ctx.GetHeader(HeaderArea::ID, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) return failed("Label1", r);

    BuildIDImage(ctx);
    const auto& head = ctx.In.Buffers.CommandHeader;
    const int count = 2 * (head[3] + head[4] * 256) + 2;
    switch (const WriterResult r = p.WriteData(count, true)) {
    case WriterResult::BlockDone:
        break;
    case WriterResult::WriteFail: {
        const int w = ctx.State.FailIndex / 2;
        if (w >= 5) return fail("Label1", "Checksum program fail !!");
        return fail("Label1", "Program ID fail at address " + HexText(unsigned(w), 4) + " !!");
    }
    default:
        return failed("Label1", r);
    }
    d.Text("Label1", "Program Ok!!");
    done();

    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done)
        return failed("Label2", r);
    const unsigned flags = IDVerifyFlags(ctx);
    if (flags == 0)
        d.Text("Label2", IDVerifyText(flags));
    else
        ctx.FailLine("Label2", IDVerifyText(flags), TFailureClass::Chip);
    ctx.Passed();
    done();
}

} // namespace orvan
