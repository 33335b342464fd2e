// Synchronisation objects of the serial component: events that poll() can
// wait on together with a serial line (an eventfd underneath), and a
// recursive critical section.
#pragma once

#include <cstdint>
#include <mutex>

namespace orvan {

inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// An event object. Manual-reset events stay signalled until ResetEvent;
// auto-reset events release one waiter and fall back to not signalled.
// Handle() is a descriptor that polls readable while the event is signalled.
class TEvent {
  public:
    TEvent(bool manualReset, bool initialState);
    ~TEvent();
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // Waits up to `timeoutMs` (INFINITE: without limit). wrError when the
    // descriptor could not be created or waited on.
    TWaitResult WaitFor(uint32_t timeoutMs);

    int Handle() const { return Fd; }
    bool ManualReset() const { return Manual; }

  private:
    int Fd = -1;
    bool Manual;
};

// Unnamed manual-reset event, initially not signalled.
class TSimpleEvent : public TEvent {
  public:
    TSimpleEvent() : TEvent(true, false) {}
};

// Recursive, like the critical sections the component was designed for.
// Also satisfies Lockable, so std::lock_guard works on it.
class TCriticalSection {
  public:
    TCriticalSection() = default;
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Enter() { Mutex.lock(); }
    void Leave() { Mutex.unlock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return Mutex.try_lock(); }

  private:
    std::recursive_mutex Mutex;
};

} // namespace orvan
