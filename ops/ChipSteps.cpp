#include "ops/ChipSteps.h"

#include "ops/OpText.h"

#include <algorithm>

namespace orvan {
namespace {

// The first of `count` bytes read into the transfer buffer that `differs`
// says is not what it should be; -1 when none is.
template <class F> int FirstDifference(const TOperationContext& ctx, int count, F differs) {
    const auto& rx = ctx.In.Buffers.TransferBuffer;
    for (int i = 0; i < count; ++i)
        if (differs(i, rx[size_t(i)])) return i;
    return -1;
}

uint8_t ChecksumChar(const std::string& text, int i) {
    return i < int(text.size()) ? uint8_t(text[size_t(i)]) : uint8_t(' ');
}

} // namespace

std::string WriteFailureLine(WriterResult r, const std::string& cellText) {
    return r == WriterResult::WriteFail ? cellText : StandardFailureLine(r);
}

WriterResult EraseChip(TOperationContext& ctx, TWriterProtocol& p) {
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Erase);
    return p.SendHeader();
}

TReadBack BlankCheckOption(TOperationContext& ctx, TWriterProtocol& p) {
    return CompareOption(ctx, p, 0xFF, 0xFF);
}

TReadBack BlankCheckID(TOperationContext& ctx, TWriterProtocol& p) {
    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) return {r};
    return {WriterResult::Done,
            FirstDifference(ctx, 16, [](int, uint8_t b) { return b != Blank7; })};
}

TReadBack BlankCheckProgram(TOperationContext& ctx, TWriterProtocol& p, int n) {
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) return {r};
    return {WriterResult::Done,
            FirstDifference(ctx, n, [](int, uint8_t b) { return b != Blank7; })};
}

std::string NotBlankAtText(const TBufferBlock& b, int i) {
    const auto& rx = b.TransferBuffer;
    const std::string a = HexText(unsigned(i / 2), 4);
    if (i % 2 == 1)
        return "Error at " + a + "h = " + HexText(rx[size_t(i)] * 128u + rx[size_t(i - 1)], 4) +
               "h";
    return "Error at " + a + "h = 0x" + HexText(rx[size_t(i)] + rx[size_t(i + 1)] * 128u, 4);
}

bool OptionMatches(const TDeviceState& dev, uint8_t lo, uint8_t hi, const uint8_t* read) {
    return (lo & dev.OptAndLo) == (read[0] & dev.OptAndLo) &&
           (hi & dev.OptAndHi) == (read[1] & dev.OptAndHi);
}

TReadBack CompareOption(TOperationContext& ctx, TWriterProtocol& p, uint8_t lo, uint8_t hi) {
    ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done) return {r};
    const bool same = OptionMatches(ctx.Device, lo, hi, ctx.In.Buffers.TransferBuffer.data());
    return {WriterResult::Done, same ? -1 : 0};
}

WriterResult ProgramOptionWord(TOperationContext& ctx, TWriterProtocol& p) {
    TBufferBlock& b = ctx.In.Buffers;
    ctx.GetHeader(HeaderArea::Option, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) return r;
    b.TransferBuffer[0] = b.OptionLo;
    b.TransferBuffer[1] = b.OptionHi;
    return p.WriteData(2, true);
}

int AddressStep(int n) {
    constexpr int Words16 = 32, Updates = 100;
    const int steps = (n + Words16 * Updates - 1) / (Words16 * Updates);
    return Words16 * std::max(steps, 1);
}

bool ProgramImageBlank(const uint8_t* program, int n) {
    return std::all_of(program, program + n, [](uint8_t b) { return (b & 0x1F) == 0x1F; });
}

TStream StreamProgram(TOperationContext& ctx, const uint8_t* image, int n, int ticks,
                      const std::function<void(int k, bool answered)>& progress) {
    // Until the writer closes the block, a stream that ends here leaves it
    // waiting for more: the next exchange lets the line fall quiet first.
    ctx.State.ExchangeOpen = true;
    // Bytes past the device's memory come from the image as it stands
    // there; nothing is read past its end.
    const int last = std::min(n + 5, ProgramBytes - 1);
    for (int k = 0; k <= last; ++k) {
        // A writer that answers at once would never let the waits see a stop.
        if (ctx.StopRequested()) return {TStreamEnd::Stopped, k};
        int r = -1;
        try {
            ctx.Ticks.Restart();
            if (!WaitForCts(ctx.Port, ctx.Clock, ctx.Ticks.Deadline(ticks), ctx.Stop))
                return {TStreamEnd::TimedOut, k};
            if (ctx.Port.Write(&image[k], 1) != 1) return {TStreamEnd::TimedOut, k};
            if (progress) progress(k, false);
            ctx.Ticks.Restart();
            r = WaitForByte(ctx.Port, ctx.Clock, ctx.Ticks.Deadline(ticks), ctx.Stop);
        } catch (const ECommError&) {
            // The line went away in the middle of the stream.
            return {TStreamEnd::TimedOut, k};
        }
        switch (r) {
        case -1:
            return {TStreamEnd::TimedOut, k};
        case ReplyAccepted:
            if (progress) progress(k, true);
            continue;
        case ReplyBlockEnd:
            ctx.State.ExchangeOpen = false;
            return {TStreamEnd::BlockEnd, k};
        case ReplyWriteFail:
            return {TStreamEnd::WriteFail, k};
        case ReplyNoChip:
            return {TStreamEnd::NoChip, k};
        case ReplyAdapterError:
            return {TStreamEnd::AdapterError, k};
        default:
            return {TStreamEnd::UnknownReply, k};
        }
    }
    return {TStreamEnd::AllSent, last};
}

void FailStream(TOperationContext& ctx, const std::string& control, TStreamEnd end,
                const std::string& cellText, bool namesAdapter) {
    switch (end) {
    case TStreamEnd::WriteFail:
        return ctx.FailLine(control, cellText, TFailureClass::Chip);
    case TStreamEnd::NoChip:
        return ctx.FailLine(control, "Nothing in socket or type error!", TFailureClass::Chip);
    case TStreamEnd::AdapterError:
        if (namesAdapter)
            return ctx.FailLine(control, "IC adapter board error!", TFailureClass::Chip);
        [[fallthrough]];
    case TStreamEnd::UnknownReply:
        return ctx.FailLine(control, "Unknow return value!!", TFailureClass::Writer);
    case TStreamEnd::TimedOut:
        return ctx.FailLine(control, "Connect Timeout!!", TFailureClass::Writer);
    case TStreamEnd::BlockEnd:
    case TStreamEnd::AllSent:
    case TStreamEnd::Stopped:
        return;
    }
}

TReadBack ReadBackProgram(TOperationContext& ctx, TWriterProtocol& p, const uint8_t* image, int n,
                          uint8_t mask) {
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) return {r};
    return {WriterResult::Done, FirstDifference(ctx, n, [&](int i, uint8_t b) {
                return (image[i] & mask) != (b & mask);
            })};
}

std::string DataVerifyErrorText(int at) {
    return "Data Verify error at " + HexText(unsigned(at / 2), 4) + "H";
}

std::string WordDifferenceText(const TBufferBlock& b, const uint8_t* image, int at, bool protect) {
    const auto& rx = b.TransferBuffer;
    const size_t e = size_t(at - at % 2);
    const unsigned chip = rx[e] + rx[e + 1] * 128u;
    unsigned buffer = image[e] + image[e + 1] * 128u;
    if (protect) buffer |= 0xF9F;
    return DifferenceText(chip, buffer, 4);
}

WriterResult ProgramIDWords(TOperationContext& ctx, TWriterProtocol& p,
                            const std::function<void()>& dataStarts) {
    TBufferBlock& b = ctx.In.Buffers;
    ctx.GetHeader(HeaderArea::ID, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) return r;
    std::copy(b.IDBuffer.begin(), b.IDBuffer.end(), b.TransferBuffer.begin());
    for (int i = 0; i < 4; ++i)
        b.TransferBuffer[size_t(12 + i)] = ChecksumChar(ctx.In.ChecksumText, i);
    if (dataStarts) dataStarts();
    const auto& head = b.CommandHeader;
    return p.WriteData(2 * (head[3] + head[4] * 256) + 2, true);
}

std::string IDCellFailText(int failIndex, const std::string& idText) {
    const int w = failIndex / 2;
    if (w >= 5) return ChecksumProgramFailText;
    return idText + " at address " + HexText(unsigned(w), 4) + " !!";
}

TIDCheck VerifyIDWords(TOperationContext& ctx, TWriterProtocol& p) {
    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) return {r};
    const TBufferBlock& b = ctx.In.Buffers;
    unsigned flags = 0;
    for (size_t i = 0; i < 12; ++i)
        if (b.TransferBuffer[i] != b.IDBuffer[i]) flags |= 1;
    for (int i = 0; i < 4; ++i)
        if (b.TransferBuffer[size_t(12 + i)] != ChecksumChar(ctx.In.ChecksumText, i)) flags |= 2;
    return {WriterResult::Done, flags};
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

} // namespace orvan
