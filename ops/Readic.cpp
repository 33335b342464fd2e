#include "ops/Readic.h"

#include "ops/OpText.h"

#include <algorithm>
#include <vector>

namespace orvan {
namespace {

// The texts of the results a read step reports on its own lines: NoChip,
// AdapterError and TimeOut on `line`, anything else "Writer Error!!" on
// `otherLine`.
void ReadFailure(TOperationContext& ctx, WriterResult r, const std::string& line,
                 const std::string& otherLine, const std::string& timeoutText) {
    if (r == WriterResult::TimeOut)
        ctx.FailLine(line, timeoutText, TFailureClass::Writer);
    else if (r == WriterResult::NoChip || r == WriterResult::AdapterError)
        ctx.FailLine(line, WriterResultMessage(r), TFailureClass::Chip);
    else
        ctx.FailLine(otherLine, "Writer Error!!", TFailureClass::Writer);
}

enum class TPhase : uint8_t { Done, Failed, Stopped };

// ReceivePaced for a block the writer streams: the bytes come in runs.
TPacedStep ReceiveStreamed(TOperationContext& ctx, TByteStream& in, bool first, int& b) {
    if (ctx.StopRequested()) return TPacedStep::Stopped;
    ctx.Ticks.Restart();
    const int64_t deadline = ctx.Ticks.Deadline(3);
    try {
        b = in.Next(TByteStream::ChunkBytes, first, [&] {
            return int(std::clamp<int64_t>(deadline - ctx.Clock.NowMs(), 0, WaitSliceMs));
        });
    } catch (const ECommError&) {
        return TPacedStep::TimedOut;
    }
    if (b >= 0) return TPacedStep::Ok;
    return ctx.StopRequested() ? TPacedStep::Stopped : TPacedStep::TimedOut;
}

// The program-memory phase: the worker sends the header and takes the
// stream itself, driving the gauge. On success `area` holds the bytes.
TPhase ReadProgramMemory(TOperationContext& ctx, std::vector<uint8_t>& area) {
    TOpDialog& d = ctx.Dialog;
    const int n = ctx.Device.ICMemBytes;
    ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    d.Gauge(0);
    const auto header = ctx.In.Buffers.CommandHeader;

    SettleLine(ctx.Port, ctx.Clock, ctx.State, ctx.Stop);
    if (ctx.StopRequested()) return TPhase::Stopped;
    ctx.State.ExchangeOpen = true;
    for (uint8_t b : header) {
        const TPacedStep s = SendPaced(ctx, b, 3);
        if (s == TPacedStep::Stopped) return TPhase::Stopped;
        if (s == TPacedStep::TimedOut) {
            ctx.FailLine("Label3", "Connect Timeout!! (5)", TFailureClass::Writer);
            return TPhase::Failed;
        }
    }

    std::fill(area.begin(), area.begin() + std::min<int>(n, ReadAreaBytes), 0);
    int i = 0;
    int shown = 0; // the gauge's maximum so far
    TByteStream in(ctx.Port, ctx.Clock, ctx.Stop);
    for (bool first = true;; first = false) {
        int b = -1;
        const TPacedStep s = ReceiveStreamed(ctx, in, first, b);
        if (s == TPacedStep::Stopped) return TPhase::Stopped;
        if (s == TPacedStep::TimedOut) {
            ctx.FailLine("Label3", "Connect Timeout!! (6)", TFailureClass::Writer);
            return TPhase::Failed;
        }
        if (b < 0x80) {
            // Up to eleven bytes past the device's memory are taken and
            // ignored; the area is larger than any device by more than that.
            if (i <= n + 10 && i < ReadAreaBytes) {
                const int p = n > 0 ? int(int64_t(i) * 100 / n) : 100;
                if (p > shown) {
                    shown = p;
                    d.Gauge(p);
                }
                area[size_t(i++)] = uint8_t(b);
            }
        } else if (b == ReplyNoChip || b == ReplyAdapterError) {
            ctx.FailLine("Label3",
                         WriterResultMessage(b == ReplyNoChip ? WriterResult::NoChip
                                                              : WriterResult::AdapterError),
                         TFailureClass::Chip);
            return TPhase::Failed;
        } else if (b == ReplyEndMark) {
            ctx.State.ExchangeOpen = false;
            if (i < n) {
                ctx.FailLine("Label3", "Read error!!", TFailureClass::Chip);
                return TPhase::Failed;
            }
            return TPhase::Done;
        }
    }
}

} // namespace

void ReadICThread(TOperationContext& ctx) {
    TOpDialog& d = ctx.Dialog;
    auto done = [&] { d.Enabled("Button1", true); };

    if (ctx.GetICInfo() < 0) {
        ctx.FailLine("Label1", "Unknow IC Type!!", TFailureClass::Chip);
        return done();
    }
    if (!StartExchange(ctx)) return;
    TWriterProtocol p = ctx.Protocol();
    const WriterResult check = p.CheckWriter();
    if (ctx.StopRequested()) return;
    if (!WriterCheckPasses(ctx, check, "Label1", "Connect Timeout!! (1)")) return done();

    const auto& rx = ctx.In.Buffers.TransferBuffer;
    TBufferBlock& own = ctx.In.Buffers;

    // OPTION and the first aux group.
    ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(6, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ReadFailure(ctx, r, "Label1", "Label2", "Connect Timeout!! (2)");
        return done();
    }
    d.Text("Label1", "Read OPTION OK!");
    // The worker's own copy follows too: later headers take the oscillator
    // rule from the OPTION just read.
    own.OptionLo = rx[0];
    own.OptionHi = rx[1];
    std::copy(rx.begin() + 2, rx.begin() + 6, own.AuxBytes.begin());
    {
        const uint8_t lo = rx[0], hi = rx[1];
        const std::array<uint8_t, 4> aux{rx[2], rx[3], rx[4], rx[5]};
        d.Commit([lo, hi, aux](IOpTarget& t) {
            TBufferBlock& b = t.BufferBlock();
            b.OptionLo = lo;
            b.OptionHi = hi;
            std::copy(aux.begin(), aux.end(), b.AuxBytes.begin());
        });
    }

    // The second configuration area: only its aux group is kept.
    ctx.GetHeader(HeaderArea::Option2, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(6, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ReadFailure(ctx, r, "Label1", "Label2", "Connect Timeout!! (3)");
        return done();
    }
    {
        const std::array<uint8_t, 4> aux{rx[2], rx[3], rx[4], rx[5]};
        std::copy(aux.begin(), aux.end(), own.AuxBytes.begin() + 4);
        d.Commit([aux](IOpTarget& t) {
            std::copy(aux.begin(), aux.end(), t.BufferBlock().AuxBytes.begin() + 4);
        });
    }

    ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ReadFailure(ctx, r, "Label2", "Label2", "Connect Timeout!! (4)");
        return done();
    }
    {
        std::array<uint8_t, IDBytes> id{};
        std::copy(rx.begin(), rx.begin() + IDBytes, id.begin());
        own.IDBuffer = id;
        d.Commit([id](IOpTarget& t) { t.BufferBlock().IDBuffer = id; });
    }
    d.Text("Label2", "Read ID and Checksum OK!");

    std::vector<uint8_t> area(ReadAreaBytes, 0);
    switch (ReadProgramMemory(ctx, area)) {
    case TPhase::Stopped:
        return;
    case TPhase::Failed:
        return done();
    case TPhase::Done:
        break;
    }
    const int n = std::min(ctx.Device.ICMemBytes, ProgramBytes);
    d.Gauge(100);
    area.resize(size_t(n));
    std::copy(area.begin(), area.end(), own.ProgramBuffer.begin());
    d.Commit([data = std::move(area)](IOpTarget& t) {
        std::copy(data.begin(), data.end(), t.BufferBlock().ProgramBuffer.begin());
        t.ProgramRead();
    });
    d.Text("Label3", "Read Data OK");
    done();

    if (!ctx.Device.IsFlash()) return ctx.Passed();
    const int e = std::min(ctx.Device.EEBytes(), EEBufferBytes);
    ctx.GetHeader(HeaderArea::EEPROM, HeaderAction::Read);
    d.Visible("EEInfo", true);
    if (const WriterResult r = p.Read8BitData(e); r != WriterResult::Done) {
        if (ctx.StopRequested()) return;
        ReadFailure(ctx, r, "EEInfo", "EEInfo", "Connect Timeout!! (7)");
        return;
    }
    std::vector<uint8_t> ee(rx.begin(), rx.begin() + e);
    d.Commit([ee = std::move(ee)](IOpTarget& t) {
        std::copy(ee.begin(), ee.end(), t.BufferBlock().EEBuffer.begin());
    });
    d.Text("EEInfo", "Read EEPROM OK!");
    ctx.Passed();
}

} // namespace orvan
