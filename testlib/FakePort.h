// An in-process stand-in for a serial line with a scripted writer behind it,
// for unit tests of the protocol and of the operations. Replies are tied to
// the index of the byte the host sends; CTS follows a rule; every byte sent
// is recorded. Time is a manual clock: waiting for input moves it, so
// time-outs take no real time.
#pragma once

#include "link/Clock.h"
#include "link/Port.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace orvan {

class TFakePort final : public IPort {
  public:
    explicit TFakePort(TManualClock& clock) : Clock(clock) {}

    // --- Script ------------------------------------------------------------
    // After the host's byte number `sentIndex` (0-based over the port's
    // life) the writer answers `bytes`, `delayMs` later.
    void ReplyTo(size_t sentIndex, std::vector<uint8_t> bytes, int delayMs = 0);
    // The same with a delay of its own for each byte (delay after the send).
    void ReplyToTimed(size_t sentIndex, std::vector<std::pair<int, uint8_t>> timedBytes);
    // Answers decided per byte: called for every byte the host sends (after
    // any ReplyTo entry for it has been queued); returns the answer.
    std::function<std::vector<uint8_t>(uint8_t sent, size_t sentIndex)> Writer;
    // Bytes already waiting (stale input a primitive must discard).
    void Preload(std::vector<uint8_t> bytes);
    // CTS as a function of the count of bytes sent so far; default on.
    std::function<bool(size_t sentCount)> CtsRule;
    // The line goes away: Write of byte number `sentIndex` throws ECommError.
    long ThrowOnWriteIndex = -1;
    // WaitInput throws ECommError once this many bytes were sent.
    long ThrowOnWaitAfter = -1;
    // Write reports a stalled line (-1) for this byte index.
    long StallWriteIndex = -1;
    bool Open = true;

    // --- Record ------------------------------------------------------------
    std::vector<uint8_t> Sent;
    int PurgeInCount = 0;
    int PurgeOutCount = 0;
    int64_t LastSendMs = -1;
    // CTS queries while CTS was low (the gate must sleep between them).
    long CtsLowPolls = 0;

    // --- IPort -------------------------------------------------------------
    bool Enabled() const override { return Open; }
    int Write(const void* buffer, int count) override;
    int Read(void* buffer, int count) override;
    int InQueCount() override;
    int OutQueCount() override { return Open ? 0 : -1; }
    void PurgeIn() override;
    void PurgeOut() override { ++PurgeOutCount; }
    bool GetModemState(int line) override;
    bool WaitInput(int timeoutMs) override;

  private:
    struct TPending {
        int64_t AtMs;
        uint8_t Byte;
    };
    using TTimed = std::vector<std::pair<int, uint8_t>>;
    void Queue(const std::vector<uint8_t>& bytes, int delayMs);
    void QueueTimed(const TTimed& bytes);
    size_t Available() const;

    TManualClock& Clock;
    std::map<size_t, TTimed> Script;
    std::deque<TPending> Input;
};

} // namespace orvan
