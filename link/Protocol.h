// The six exchange primitives every operation talks to the writer through,
// and the result codes they return. One byte per write: the writer paces
// the host with CTS and answers every step with one status or data byte;
// only the blocks it sends on its own are read in runs. Waits sleep in the
// port's poll, never spin.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "link/Clock.h"
#include "link/Port.h"

#include <array>
#include <cstdint>
#include <stop_token>
#include <string>

namespace orvan {

// Values are fixed: operations and stored logs compare against them.
enum class [[nodiscard]] WriterResult : uint8_t{
    NoChip = 1,          AdapterError = 2,   WriterClass1 = 3, WriterClass2 = 4,
    WriterUniversal = 5, WriterMismatch = 6, BadReply = 7,     TimeOut = 8,
    WriteFail = 9,       Done = 10,          Ready = 11,       BlockDone = 12,
};

inline int ToInt(WriterResult r) {
    return static_cast<int>(r);
}

// The operation windows' standard message for a result; empty where a
// result has none (the successes, and WriteFail, whose text is the
// operation's own).
std::string WriterResultMessage(WriterResult r);
// The line an operation shows for a result other than the one it expected:
// the messages of NoChip, AdapterError and TimeOut, else "Writer Error!!".
std::string StandardFailureLine(WriterResult r);

// Bytes the host sends.
inline constexpr uint8_t WriterPoll = 0xA0;
inline constexpr uint8_t HeaderStart = 0xA1;
inline constexpr uint8_t WriterIdRequest = 0xAD;

// Bytes the writer sends.
inline constexpr uint8_t ReplyBlockEnd = 0xB0;
inline constexpr uint8_t ReplyWriteFail = 0xB1;
inline constexpr uint8_t ReplyType1 = 0xB2;
inline constexpr uint8_t ReplyType2 = 0xB3;
inline constexpr uint8_t ReplyUniversal = 0xB4;
inline constexpr uint8_t ReplyAccepted = 0xB5;
inline constexpr uint8_t ReplyEndMark = 0xB8;
inline constexpr uint8_t ReplyAdapterError = 0xFD;
inline constexpr uint8_t ReplyNoChip = 0xFE;

inline constexpr int WriterIdChars = 12;

// What the primitives keep between calls.
struct TProtocolState {
    int32_t FailIndex = 0;
    // Up to 12 characters, zero-terminated; empty while not known.
    std::array<char, WriterIdChars + 1> WriterIdText{};
    // The last exchange ended inside a header or a data block (stopped,
    // failed, timed out): the writer may still be in that block, so the next
    // exchange first lets the line fall quiet.
    bool ExchangeOpen = false;

    std::string WriterId() const { return std::string(WriterIdText.data()); }
    void ClearWriterId() { WriterIdText.fill(0); }
};

// Slice of one sleep in the port while a stream or the quiet line is awaited;
// bounds how late a time-out or a stop request is noticed. A reply to a
// byte just sent is awaited in slices of ReplySliceMs (Port.h).
inline constexpr int WaitSliceMs = 10;
// Pause when a stream of data bytes has run dry for a moment: about eleven
// byte times at 115200 baud, far inside the driver's receive buffer.
inline constexpr int StreamPauseMs = 1;

// How long the line stays quiet before the writer is taken to have dropped a
// half-received header or block: the writer forgets one after a gap of a
// second, and a little more covers the two clocks' disagreement.
inline constexpr int QuietLineMs = 1100;
// The longest SettleLine waits for that: a line that never falls quiet is
// no writer to talk to.
inline constexpr int SettleLimitMs = 10000;

// When `state.ExchangeOpen`: discards whatever the writer still sends and
// waits until the line has been quiet for QuietLineMs, then clears the
// flag. Returns at once when the flag is clear; a stop request, a line
// that has gone, or SettleLimitMs passed end the wait with the flag still set. Every primitive
// calls it first, and so do the operations' own streaming loops.
void SettleLine(IPort& port, IClock& clock, TProtocolState& state, const std::stop_token& stop);

// Building blocks for the operations' own streaming loops, which time the
// writer by their own deadline (milliseconds on `clock`).
// True once CTS is on; false at the deadline or on a stop request.
bool WaitForCts(IPort& port, IClock& clock, int64_t deadlineMs, const std::stop_token& stop);
// The writer's reply to a byte just sent, or -1 at the deadline or on a stop
// request. A reply is never there yet, so the wait comes first and takes the
// byte as it ends (IPort::WaitRead): one system call a reply on a termios
// line. A silent writer's stop request is seen within ReplySliceMs.
int WaitForByte(IPort& port, IClock& clock, int64_t deadlineMs, const std::stop_token& stop);

// A block the writer sends without waiting for the host, taken from the port
// in runs: a read takes every byte there (up to what the caller may
// consume), and a port that has run dry gets a short pause before the poll,
// so that the host wakes once for a run of bytes rather than once a byte.
// Bytes taken and not handed out go with the stream.
class TByteStream {
  public:
    static constexpr int ChunkBytes = 256;

    TByteStream(IPort& port, IClock& clock, const std::stop_token& stop)
        : Port(port), Clock(clock), Stop(stop) {}

    // The next byte, or -1 on a stop request or once `waitMs()` (the longest
    // the next sleep in the port may take) is 0. A read takes at most `max`
    // bytes from the port. `reply`: the byte answers one just sent, so the
    // wait comes first and without the pause.
    template <class F> int Next(int max, bool reply, F&& waitMs) {
        if (Pos < Len) return Chunk[static_cast<size_t>(Pos++)];
        // A read that emptied the port: the next bytes are still on the line.
        bool tryRead = !reply && !Drained;
        bool paused = reply;
        for (;;) {
            if (tryRead && Fill(max)) return Chunk[static_cast<size_t>(Pos++)];
            if (Stop.stop_requested()) return -1;
            const int wait = waitMs();
            if (wait <= 0) return -1;
            if (!paused) {
                Clock.SleepMs(StreamPauseMs);
                paused = tryRead = true;
                continue;
            }
            tryRead = Port.WaitInput(wait);
            // A closed port fails at once, as a read on it does.
            if (!tryRead && !Port.Enabled()) tryRead = true;
        }
    }

  private:
    bool Fill(int max);

    IPort& Port;
    IClock& Clock;
    const std::stop_token& Stop;
    std::array<uint8_t, ChunkBytes> Chunk{};
    int Pos = 0, Len = 0;
    bool Drained = false; // the last read took fewer bytes than it asked for
};

class TWriterProtocol {
  public:
    TWriterProtocol(IPort& port, TBufferBlock& buffers, const TDeviceState& device,
                    TProtocolState& state, IClock& clock = SystemClock(),
                    std::stop_token stop = {});

    // Poll (0xA0): the writer's type against the device's ICWriterType.
    WriterResult CheckWriter();
    // The 10 bytes of CommandHeader, then one reply.
    WriterResult SendHeader();
    // CommandHeader, then 7-bit data into TransferBuffer until the end mark
    // (untilEnd) or n bytes.
    WriterResult Read7BitData(int n, bool untilEnd);
    // CommandHeader, then n raw bytes into TransferBuffer.
    WriterResult Read8BitData(int n);
    // CommandHeader byte 0 alone, then n 7-bit bytes.
    WriterResult ReadWriterID(int n);
    // TransferBuffer bytes, one reply each, until the writer ends the block
    // (at most n + 5 bytes with `extra`, n + 1 without). A writer that misses
    // two replies in a row has stopped answering: TimeOut.
    WriterResult WriteData(int n, bool extra);

  private:
    int Stamp();
    bool StopRequested() const { return Stop.stop_requested(); }
    bool CtsGate(int start);
    bool SendByte(uint8_t b);
    int NextByte(int start); // the reply, or -1 on time-out or stop
    int NextByte(TByteStream& in, int start, int max, bool first);
    void Purge();
    bool SendHeaderBytes(bool pause);
    WriterResult Read7BitLoop(int n, bool untilEnd);
    // Settles the line, marks the exchange open and runs `body(closed)`,
    // which sets `closed` when the writer is known to be out of the block.
    template <class F> WriterResult Exchange(F&& body);

    IPort& Port;
    TBufferBlock& Buffers;
    const TDeviceState& Device;
    TProtocolState& State;
    IClock& Clock;
    std::stop_token Stop;
    bool LastEndMark = false; // the last 7-bit loop ended on the end mark
};

} // namespace orvan
