#include "link/Protocol.h"

#include <algorithm>

namespace orvan {

std::string WriterResultMessage(WriterResult r) {
    switch (r) {
    case WriterResult::NoChip:
        return "Nothing in socket or type error!!";
    case WriterResult::AdapterError:
        return "IC adapter board error!!";
    case WriterResult::WriterMismatch:
        return "Writer type is error!";
    case WriterResult::BadReply:
        return "Writer Error!!";
    case WriterResult::TimeOut:
        return "Connect Timeout!!";
    default:
        return "";
    }
}

std::string StandardFailureLine(WriterResult r) {
    switch (r) {
    case WriterResult::NoChip:
    case WriterResult::AdapterError:
    case WriterResult::TimeOut:
        return WriterResultMessage(r);
    default:
        return "Writer Error!!";
    }
}

bool WaitForCts(IPort& port, IClock& clock, int64_t deadlineMs, const std::stop_token& stop) {
    for (;;) {
        if (port.GetModemState(1)) return true;
        if (stop.stop_requested() || clock.NowMs() >= deadlineMs) return false;
        clock.SleepMs(1);
    }
}

namespace {

// A reply to a byte just sent is never there yet, so the wait comes first,
// and it takes the byte as it ends: one call a reply. -1 on a stop request
// or once `waitMs()` (the longest the next sleep may take) is 0.
template <class F> int AwaitReply(IPort& port, const std::stop_token& stop, F&& waitMs) {
    for (;;) {
        if (stop.stop_requested()) return -1;
        const int wait = waitMs();
        if (wait <= 0) return -1;
        uint8_t b = 0;
        if (port.WaitRead(&b, 1, wait) == 1) return b;
    }
}

} // namespace

int WaitForByte(IPort& port, IClock& clock, int64_t deadlineMs, const std::stop_token& stop) {
    return AwaitReply(port, stop, [&] {
        return static_cast<int>(std::clamp<int64_t>(deadlineMs - clock.NowMs(), 0, ReplySliceMs));
    });
}

bool TByteStream::Fill(int max) {
    const int want = std::clamp(max, 1, ChunkBytes);
    const int n = Port.Read(Chunk.data(), want);
    Pos = 0;
    Len = std::max(n, 0);
    Drained = Len < want;
    return Len > 0;
}

void SettleLine(IPort& port, IClock& clock, TProtocolState& state, const std::stop_token& stop) {
    if (!state.ExchangeOpen) return;
    try {
        const int64_t began = clock.NowMs();
        int64_t quietSince = began;
        for (;;) {
            // Whatever the writer still sends belongs to the abandoned block.
            uint8_t sink[256];
            while (port.Read(sink, sizeof sink) > 0)
                quietSince = clock.NowMs();
            if (stop.stop_requested() || clock.NowMs() - began >= SettleLimitMs) return;
            const int64_t left = quietSince + QuietLineMs - clock.NowMs();
            if (left <= 0) break;
            port.WaitInput(static_cast<int>(std::min<int64_t>(left, WaitSliceMs)));
        }
    } catch (const ECommError&) {
        // The line is gone: nothing was settled, and the exchange that
        // follows fails at once on the closed port.
        return;
    }
    state.ExchangeOpen = false;
}

TWriterProtocol::TWriterProtocol(IPort& port, TBufferBlock& buffers, const TDeviceState& device,
                                 TProtocolState& state, IClock& clock, std::stop_token stop)
    : Port(port), Buffers(buffers), Device(device), State(state), Clock(clock),
      Stop(std::move(stop)) {}

int TWriterProtocol::Stamp() {
    return SecondsField(Clock.NowMs());
}

bool TWriterProtocol::CtsGate(int start) {
    for (;;) {
        if (Port.GetModemState(1)) return true;
        if (StopRequested() || TimedOut(start, Stamp())) return false;
        Clock.SleepMs(1);
    }
}

// A write that does not complete means a stalled line: the step has failed.
bool TWriterProtocol::SendByte(uint8_t b) {
    return Port.Write(&b, 1) == 1;
}

int TWriterProtocol::NextByte(int start) {
    return AwaitReply(Port, Stop, [&] { return TimedOut(start, Stamp()) ? 0 : ReplySliceMs; });
}

// `first`: the writer's answer to the header, waited for as a reply; the
// rest of the block is taken in runs.
int TWriterProtocol::NextByte(TByteStream& in, int start, int max, bool first) {
    return in.Next(max, first, [&] { return TimedOut(start, Stamp()) ? 0 : WaitSliceMs; });
}

void TWriterProtocol::Purge() {
    Port.PurgeIn();
    Port.PurgeOut();
}

// A port that fails mid-exchange (the line went away) ends the primitive
// as a writer that stopped answering would.
template <class F> WriterResult TWriterProtocol::Exchange(F&& body) {
    try {
        SettleLine(Port, Clock, State, Stop);
        if (State.ExchangeOpen) return WriterResult::TimeOut; // stopped while settling
        State.ExchangeOpen = true;
        bool closed = false;
        const WriterResult r = body(closed);
        State.ExchangeOpen = !closed;
        return r;
    } catch (const ECommError&) {
        State.ExchangeOpen = true;
        return WriterResult::TimeOut;
    }
}

bool TWriterProtocol::SendHeaderBytes(bool pause) {
    for (uint8_t b : Buffers.CommandHeader) {
        if (!CtsGate(Stamp()) || !SendByte(b)) return false;
        if (pause) {
            // Two clock reads: a breath between header bytes for the writer.
            (void)Clock.NowMs();
            (void)Clock.NowMs();
        }
    }
    return true;
}

// An unexpected reply means host and writer disagree on where they are in
// the exchange: the writer may be inside a block, so it stays open.
WriterResult TWriterProtocol::CheckWriter() {
    return Exchange([&](bool& closed) {
        Purge();
        if (!CtsGate(Stamp()) || !SendByte(WriterPoll)) return WriterResult::TimeOut;
        const int r = NextByte(Stamp());
        closed = r >= 0;
        switch (r) {
        case -1:
            return WriterResult::TimeOut;
        case ReplyType1:
            return Device.ICWriterType == 1 ? WriterResult::WriterClass1
                                            : WriterResult::WriterMismatch;
        case ReplyType2:
            return Device.ICWriterType == 2 ? WriterResult::WriterClass2
                                            : WriterResult::WriterMismatch;
        case ReplyUniversal:
            return WriterResult::WriterUniversal;
        default:
            closed = false;
            return WriterResult::BadReply;
        }
    });
}

// Ready closes the header's exchange: the block that follows is the next
// primitive's (or the operation's own loop's) to open.
WriterResult TWriterProtocol::SendHeader() {
    return Exchange([&](bool& closed) {
        Purge();
        if (!SendHeaderBytes(true)) return WriterResult::TimeOut;
        const int r = NextByte(Stamp());
        closed = r >= 0;
        switch (r) {
        case -1:
            return WriterResult::TimeOut;
        case ReplyAccepted:
            return WriterResult::Ready;
        case ReplyEndMark:
            return WriterResult::Done;
        case ReplyAdapterError:
            return WriterResult::AdapterError;
        case ReplyNoChip:
            return WriterResult::NoChip;
        default:
            closed = false;
            return WriterResult::BadReply;
        }
    });
}

WriterResult TWriterProtocol::Read8BitData(int n) {
    return Exchange([&](bool& closed) {
        Purge();
        if (!SendHeaderBytes(false)) return WriterResult::TimeOut;
        n = std::clamp(n, 0, TransferBytes);
        int start = Stamp();
        TByteStream in(Port, Clock, Stop);
        for (int i = 0; i < n;) {
            const int b = NextByte(in, start, n - i, i == 0);
            if (b < 0) return WriterResult::TimeOut;
            Buffers.TransferBuffer[static_cast<size_t>(i++)] = static_cast<uint8_t>(b);
            start = Stamp();
        }
        closed = true;
        return WriterResult::Done;
    });
}

WriterResult TWriterProtocol::Read7BitLoop(int n, bool untilEnd) {
    const int stored = std::clamp(n, 0, TransferBytes);
    LastEndMark = false;
    WriterResult result = WriterResult::Done;
    int i = 0;
    int start = Stamp();
    TByteStream in(Port, Clock, Stop);
    for (bool first = true;; first = false) {
        // A read that stops at n leaves what follows in the port.
        const int max = untilEnd ? TByteStream::ChunkBytes : n - i;
        const int b = NextByte(in, start, max, first);
        if (b < 0) return WriterResult::TimeOut;
        if (b == ReplyEndMark) {
            LastEndMark = true;
            // One byte short of n still counts as complete.
            if (i < n - 1) result = WriterResult::BadReply;
            break;
        }
        if (b == ReplyAdapterError) return WriterResult::AdapterError;
        if (b == ReplyNoChip) return WriterResult::NoChip;
        if (b & 0x80) return WriterResult::BadReply;
        if (i < stored) {
            Buffers.TransferBuffer[static_cast<size_t>(i++)] = static_cast<uint8_t>(b);
            start = Stamp();
        }
        // Bytes beyond n are dropped and do not renew the stamp.
        if (i >= n && !untilEnd) break;
    }
    return result;
}

namespace {

// A read is over for the writer once it sent its end mark, its error code or
// every byte asked for. An early end mark (BadReply) ended it too; a stray
// byte with bit 7 set did not.
bool ReadClosed(WriterResult r, bool sawEndMark) {
    return r == WriterResult::Done || r == WriterResult::NoChip ||
           r == WriterResult::AdapterError || (r == WriterResult::BadReply && sawEndMark);
}

} // namespace

WriterResult TWriterProtocol::Read7BitData(int n, bool untilEnd) {
    return Exchange([&](bool& closed) {
        Purge();
        if (!SendHeaderBytes(false)) return WriterResult::TimeOut;
        const WriterResult r = Read7BitLoop(n, untilEnd);
        closed = ReadClosed(r, LastEndMark);
        return r;
    });
}

WriterResult TWriterProtocol::ReadWriterID(int n) {
    return Exchange([&](bool& closed) {
        Purge();
        if (!CtsGate(Stamp()) || !SendByte(Buffers.CommandHeader[0])) return WriterResult::TimeOut;
        const WriterResult r = Read7BitLoop(n, false);
        closed = ReadClosed(r, LastEndMark);
        return r;
    });
}

WriterResult TWriterProtocol::WriteData(int n, bool extra) {
    return Exchange([&](bool& closed) {
        Purge();
        WriterResult result = WriterResult::BlockDone;
        const int limit = std::min(n + 5, TransferBytes);
        int missed = 0; // reply time-outs in a row
        for (int i = 0; i < limit; ++i) {
            if (!CtsGate(Stamp())) return WriterResult::TimeOut;
            if (!SendByte(Buffers.TransferBuffer[static_cast<size_t>(i)]))
                return WriterResult::TimeOut;
            const int r = NextByte(Stamp());
            if (r < 0) {
                // A writer that misses one reply may have lost a byte on the
                // line; one that misses two has stopped answering, and
                // offering it the rest at 3 s a byte helps nobody.
                if (StopRequested() || ++missed >= 2) return WriterResult::TimeOut;
                // Recorded; a later error reply replaces it, the block goes on.
                result = WriterResult::TimeOut;
                continue;
            }
            missed = 0;
            if (r == ReplyAccepted) {
            } else if (r == ReplyBlockEnd) {
                if (i < n - 1) result = WriterResult::BadReply;
                closed = true;
                break;
            } else if (r == ReplyWriteFail) {
                State.FailIndex = i;
                result = WriterResult::WriteFail;
                closed = true;
                break;
            } else if (r == ReplyAdapterError) {
                result = WriterResult::AdapterError;
                closed = true;
                break;
            } else if (r == ReplyNoChip) {
                result = WriterResult::NoChip;
                closed = true;
                break;
            } else {
                result = WriterResult::BadReply;
                break;
            }
            if (!extra && i >= n) break;
        }
        return result;
    });
}

} // namespace orvan
