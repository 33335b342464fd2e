// What the writer protocol needs of a serial line. The termios component
// (TCustomComm) implements it for real lines and pseudo-terminals; tests
// implement it with a scripted writer.
#pragma once

#include <stdexcept>
#include <string>

namespace orvan {

// The serial component's only error. Message: text + " (Error: %d) ".
class ECommError : public std::runtime_error {
  public:
    ECommError(const std::string& text, int code)
        : std::runtime_error(text + " (Error: " + std::to_string(code) + ") "), ErrorCode(code) {}
    int ErrorCode;
};

// The longest one wait for a reply sleeps before the waiter looks at its
// stop request and deadline again: a termios line sleeps in its read for
// whole tenths of a second (VTIME).
inline constexpr int ReplySliceMs = 100;

class IPort {
  public:
    virtual ~IPort() = default;

    virtual bool Enabled() const = 0;
    // Bytes written, or -1 when the write did not complete within WriteTimeout.
    virtual int Write(const void* buffer, int count) = 0;
    // Returns at once with the bytes waiting (0 when none), -1 on a stalled read.
    virtual int Read(void* buffer, int count) = 0;
    virtual int InQueCount() = 0;  // -1 when closed
    virtual int OutQueCount() = 0; // -1 when closed
    virtual void PurgeIn() = 0;
    virtual void PurgeOut() = 0;
    // 1 CTS, 2 DSR, 3 RING, 4 RLSD; any other line, a closed port or a failed query: false.
    virtual bool GetModemState(int line) = 0;

    // Sleeps until input is waiting or `timeoutMs` has passed; true when input
    // is waiting. Lets the protocol keep its byte-by-byte pacing without
    // spinning. Throws ECommError when the line has gone away.
    virtual bool WaitInput(int timeoutMs) = 0;

    // WaitInput, then Read: the bytes taken, 0 when none came in the wait
    // (which may end early). The wait for every reply of a stream goes
    // through here, so a line that can sleep in its read takes a reply in
    // one system call instead of a poll and a read.
    virtual int WaitRead(void* buffer, int count, int timeoutMs) {
        // A closed port fails at once, as a read on it does.
        if (!WaitInput(timeoutMs) && Enabled()) return 0;
        return Read(buffer, count);
    }
};

} // namespace orvan
