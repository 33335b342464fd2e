#include "cli/Signals.h"

#include "production/Store.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace orvan::cli {
namespace {

std::stop_source& Source() {
    static std::stop_source source;
    return source;
}

std::atomic<int> Caught{0};
std::atomic<int> OutputError{0};

// Grace for the command to wind down (an exchange stops within a few
// milliseconds; a chip operation stopped inside a block also waits for the
// writer to drop it); past it the watcher ends the process as it stands.
constexpr auto Grace = std::chrono::milliseconds(3000);
// A write to the production records is let end first (its own waits are
// bounded well below this): the process never exits between a commit and
// knowing whether it happened.
constexpr auto StoreGrace = std::chrono::milliseconds(25000);

[[noreturn]] void ExitForSignal(int sig) {
    std::fflush(nullptr);
    ::_exit(128 + sig);
}

// At the normal end of main: the exit status tells which signal stopped it.
void ExitStatusForSignal() {
    if (const int sig = Caught.load()) ExitForSignal(sig);
}

} // namespace

void InstallStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    const int fd = ::signalfd(-1, &set, SFD_CLOEXEC);
    if (fd < 0) {
        ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr); // keep the default actions
        return;
    }
    std::atexit(ExitStatusForSignal);
    (void)Source();
    std::thread([fd] {
        signalfd_siginfo info{};
        while (::read(fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) {
        }
        Caught.store(static_cast<int>(info.ssi_signo));
        Source().request_stop();
        std::this_thread::sleep_for(Grace);
        const auto until = std::chrono::steady_clock::now() + StoreGrace;
        while (orvan::StoreWriteInProgress() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ExitForSignal(Caught.load());
    }).detach();
}

int CaughtSignal() {
    return Caught.load();
}

void NoteOutputFailure(int error) {
    if (error == 0) error = EIO;
    int none = 0;
    if (!OutputError.compare_exchange_strong(none, error) || error != EPIPE) return;
    int noSignal = 0;
    if (Caught.compare_exchange_strong(noSignal, SIGPIPE)) Source().request_stop();
}

int OutputFailure() {
    return OutputError.load();
}

std::stop_token StopToken() {
    return Source().get_token();
}

} // namespace orvan::cli
