#include "app/SignalClose.h"

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte down the pipe.
void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(SignalPipe[1], &byte, 1);
}

} // namespace

bool InstallCloseOnSignal(QObject* owner, std::function<void()> onSignal) {
    if (SignalPipe[0] < 0 && pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [handler = std::move(onSignal)] {
        char buf[16];
        while (read(SignalPipe[0], buf, sizeof buf) > 0) {
        }
        handler();
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        if (sigaction(sig, &sa, nullptr) != 0) return false;
    return true;
}
