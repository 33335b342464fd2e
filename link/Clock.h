// The protocol's time-out clock. A stamp is a seconds field 0..59; a wait has
// timed out when 3 or more seconds have elapsed, so a step gets between two
// and three real seconds. The field comes from a monotonic clock so that a
// wall-clock step cannot cut a wait short; tests inject a manual clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace orvan {

class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds on a clock that never goes backwards.
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

class TSteadyClock final : public IClock {
  public:
    int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void SleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// The process's steady clock (stateless, shared by every link).
inline IClock& SystemClock() {
    static TSteadyClock clock;
    return clock;
}

// Seconds field (0..59) of a clock reading.
inline int SecondsField(int64_t ms) {
    return static_cast<int>((ms / 1000) % 60);
}

// Elapsed seconds between two stamps, across one minute wrap.
inline int ElapsedSeconds(int start, int now) {
    return now < start ? now + 60 - start : now - start;
}

inline constexpr int TimeOutSeconds = 3;

inline bool TimedOut(int start, int now) {
    return ElapsedSeconds(start, now) >= TimeOutSeconds;
}

// A clock that moves only when told to: SleepMs and Advance move it.
class TManualClock final : public IClock {
  public:
    explicit TManualClock(int64_t startMs = 0) : Ms(startMs) {}
    int64_t NowMs() override { return Ms; }
    void SleepMs(int ms) override { Ms += ms; }
    void Advance(int64_t ms) { Ms += ms; }

  private:
    int64_t Ms;
};

} // namespace orvan
