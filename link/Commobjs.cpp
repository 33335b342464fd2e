#include "link/Commobjs.h"

#include <cerrno>
#include <chrono>
#include <cstdint>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace orvan {

TEvent::TEvent(bool manualReset, bool initialState) : Manual(manualReset) {
    Fd = ::eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
}

TEvent::~TEvent() {
    if (Fd >= 0) ::close(Fd);
}

void TEvent::SetEvent() {
    if (Fd < 0) return;
    const uint64_t one = 1;
    // EAGAIN only when the counter is at its maximum: it is signalled anyway.
    while (::write(Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void TEvent::ResetEvent() {
    if (Fd < 0) return;
    uint64_t value;
    while (::read(Fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs) {
    if (Fd < 0) return TWaitResult::wrError;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs != INFINITE) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd p{Fd, POLLIN, 0};
        const int r = ::poll(&p, 1, wait);
        if (r < 0) {
            if (errno == EINTR) continue;
            return TWaitResult::wrError;
        }
        if (r == 0) return TWaitResult::wrTimeout;
        if (Manual) return TWaitResult::wrSignaled;
        // Auto-reset: only the waiter that takes the count was released.
        uint64_t value;
        if (::read(Fd, &value, sizeof value) == sizeof value) return TWaitResult::wrSignaled;
        if (errno != EAGAIN && errno != EINTR) return TWaitResult::wrError;
    }
}

} // namespace orvan
