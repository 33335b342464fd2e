#include "link/Commint.h"

#include "link/PortHolders.h"
#include "link/PortMap.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

#if defined(__linux__) && defined(TCGETS2)
// The kernel's termios with explicit speeds, for rates that have no Bxxx
// constant. glibc's <termios.h> does not declare it.
struct termios2 {
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
#define ORVAN_CUSTOM_BAUD 1
#endif

namespace orvan {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* TextAssigned = "Port already assigned (open)";
constexpr const char* TextWrite = "Write error";
constexpr const char* TextRead = "Read error";
constexpr const char* TextDcb = "Error updating DataControlBlock";
constexpr const char* TextTimeouts = "Error updating CommTimeouts";

// How often the event thread looks at the modem lines and error counters
// (only on lines that report them), at a receive queue nobody has read yet,
// and at an output queue that is draining.
constexpr auto LineInterval = std::chrono::milliseconds(100);
constexpr auto UnreadInterval = std::chrono::milliseconds(50);
constexpr auto DrainInterval = std::chrono::milliseconds(10);

constexpr short Gone = POLLHUP | POLLERR | POLLNVAL;

speed_t SpeedConstant(int baud) {
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0; // no constant
    }
}

// Raw bytes. Unlike cfmakeraw alone this keeps IXOFF, IXANY and CRTSCTS,
// which belong to the flow control. A read on the non-blocking descriptor
// returns at once whatever VTIME says; one on the blocking descriptor
// sleeps until a byte comes or VTIME has passed.
void MakeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = ReplySliceMs / 100;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

int QueueCount(int fd, unsigned long request) {
    int n = 0;
    if (::ioctl(fd, request, &n) != 0) return -1;
    return n;
}

} // namespace

int BaudRateValue(TBaudrate rate) {
    static constexpr int Values[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                     19200, 38400, 56000, 57600, 115200, 128000, 256000};
    const int i = static_cast<int>(rate);
    return (i >= 0 && i < static_cast<int>(std::size(Values))) ? Values[i] : 0;
}

// ---------------------------------------------------------------------------
// TCommEventThread

// The thread watches its own duplicate of the descriptor: a close (and a
// re-open that reuses the number) on another thread can never leave it
// polling some other file.
TCommEventThread::TCommEventThread(TCustomComm& owner, int handle, TCommEventTypes events)
    : Owner(owner), Handle(::fcntl(handle, F_DUPFD_CLOEXEC, 0)), Events(events) {}

void TCommEventThread::Start() {
    if (Thread.joinable()) return;
    Thread = std::thread([this] {
        Self.store(std::this_thread::get_id());
        Execute();
        if (Handle >= 0) ::close(Handle);
    });
    Started = true;
}

TCommEventThread::~TCommEventThread() {
    Stop();
    Join();
    if (!Started && Handle >= 0) ::close(Handle);
}

void TCommEventThread::Stop() {
    StopRequested.store(true);
    Wake.SetEvent();
}

void TCommEventThread::Join() {
    if (!Thread.joinable()) return;
    if (OnThisThread())
        Thread.detach(); // the component was destroyed from its own handler
    else
        Thread.join();
}

void TCommEventThread::OutputQueued() {
    if (!TxPending.exchange(true)) Wake.SetEvent();
}

void TCommEventThread::Report(TCommEventTypes mask, unsigned errors) {
    LastMask.store(mask.ToBits());
    Owner.PostEvents(mask, errors);
}

void TCommEventThread::Execute() {
    const bool wantRx = Events.Contains(evRxChar);
    const bool wantModem = Events.Contains(evCts) || Events.Contains(evDsr) ||
                           Events.Contains(evRing) || Events.Contains(evRlsd);
    const bool wantCounts = Events.Contains(evError) || Events.Contains(evBreak);

    // Lines that cannot report modem lines (pseudo-terminals) are not polled.
    int modem = 0;
    const bool modemOk = wantModem && ::ioctl(Handle, TIOCMGET, &modem) == 0;
#if defined(__linux__)
    serial_icounter_struct counts{};
    const bool countsOk = wantCounts && ::ioctl(Handle, TIOCGICOUNT, &counts) == 0;
#else
    const bool countsOk = false;
#endif

    bool rxArmed = true;    // poll for POLLIN; off while bytes sit unread
    uint64_t lastTotal = 0; // bytes seen arriving so far (consumed + waiting)
    bool gone = false;
    auto nextLine = Clock::now() + LineInterval;
    auto nextRx = Clock::now();

    while (!StopRequested.load()) {
        int timeout = -1;
        auto sooner = [&](int ms) { timeout = timeout < 0 ? ms : std::min(timeout, ms); };
        if (Wake.Handle() < 0) sooner(50); // no event descriptor: notice Stop anyway
        if (!gone) {
            if (modemOk || countsOk) sooner(RemainingMs(nextLine));
            if (wantRx && !rxArmed) sooner(RemainingMs(nextRx));
            if (TxPending.load()) sooner(static_cast<int>(DrainInterval.count()));
        }
        pollfd fds[2] = {{Wake.Handle(), POLLIN, 0},
                         {Handle, static_cast<short>(wantRx && rxArmed ? POLLIN : 0), 0}};
        const int r = ::poll(fds, gone ? 1 : 2, timeout);
        if (r < 0 && errno != EINTR) break;
        if (StopRequested.load()) break;
        if (r > 0 && fds[0].revents) Wake.ResetEvent();

        TCommEventTypes mask;
        unsigned errors = 0;
        const auto now = Clock::now();
        if (!gone && r > 0 && (fds[1].revents & Gone)) {
            // The line vanished: report it once, close the port, then only
            // wait for Close or the next Open to end this thread.
            gone = true;
            if (Events.Contains(evError)) {
                mask.Include(evError);
                errors |= CE_IOE;
            }
            Owner.DropLine();
        }
        if (!gone && wantRx) {
            const bool arrived = rxArmed && r > 0 && (fds[1].revents & POLLIN);
            if (arrived || (!rxArmed && now >= nextRx)) {
                const uint64_t consumed = Owner.FConsumed.load();
                const int waiting = std::max(QueueCount(Handle, FIONREAD), 0);
                const uint64_t total = consumed + static_cast<uint64_t>(waiting);
                if (waiting > 0 && total > lastTotal) mask.Include(evRxChar);
                lastTotal = total;
                // Level-triggered POLLIN would fire again at once while the
                // bytes stay unread: look again later instead.
                rxArmed = !arrived && waiting == 0;
                nextRx = now + UnreadInterval;
            }
        }
        if (!gone && (modemOk || countsOk) && now >= nextLine) {
            nextLine = now + LineInterval;
            int m = 0;
            if (modemOk && ::ioctl(Handle, TIOCMGET, &m) == 0) {
                const int changed = m ^ modem;
                modem = m;
                if ((changed & TIOCM_CTS) && Events.Contains(evCts)) mask.Include(evCts);
                if ((changed & TIOCM_DSR) && Events.Contains(evDsr)) mask.Include(evDsr);
                if ((changed & TIOCM_RNG) && Events.Contains(evRing)) mask.Include(evRing);
                if ((changed & TIOCM_CAR) && Events.Contains(evRlsd)) mask.Include(evRlsd);
            }
#if defined(__linux__)
            serial_icounter_struct c{};
            if (countsOk && ::ioctl(Handle, TIOCGICOUNT, &c) == 0) {
                unsigned e = 0;
                if (c.frame != counts.frame) e |= CE_FRAME;
                if (c.parity != counts.parity) e |= CE_RXPARITY;
                if (c.overrun != counts.overrun) e |= CE_OVERRUN;
                if (c.buf_overrun != counts.buf_overrun) e |= CE_RXOVER;
                if (c.brk != counts.brk) {
                    errors |= CE_BREAK;
                    if (Events.Contains(evBreak)) mask.Include(evBreak);
                }
                if (e && Events.Contains(evError)) {
                    errors |= e;
                    mask.Include(evError);
                }
                counts = c;
            }
#endif
        }
        if (!gone && TxPending.load()) {
            const int queued = QueueCount(Handle, TIOCOUTQ);
            if (queued <= 0 && TxPending.exchange(false)) mask.Include(evTxEmpty);
        }
        if (!mask.Empty()) Report(mask, errors);
    }
}

// ---------------------------------------------------------------------------
// TCustomComm

struct TCustomComm::TSavedLine {
    termios Old;
#if defined(__linux__)
    bool LatencyChanged = false; // the driver's flags before low latency
    int SerialFlags = 0;
#endif
};

int TCustomComm::DeviceIoctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

TCustomComm::TCustomComm() = default;

TCustomComm::~TCustomComm() {
    try {
        Close();
    } catch (...) {
    }
    FEndedThread.reset();
}

void TCustomComm::Raise(const char* text, int code) {
    throw ECommError(text, code);
}

void TCustomComm::SetDeviceName(const std::string& value) {
    if (value == FDeviceName) return;
    if (Enabled()) Raise(TextAssigned, -1);
    FDeviceName = value;
}

void TCustomComm::SetReadBufSize(int value) {
    if (value == FReadBufSize) return;
    if (Enabled()) Raise(TextAssigned, -1);
    FReadBufSize = value;
}

void TCustomComm::SetWriteBufSize(int value) {
    if (value == FWriteBufSize) return;
    if (Enabled()) Raise(TextAssigned, -1);
    FWriteBufSize = value;
}

void TCustomComm::SetMonitorEvents(TCommEventTypes value) {
    if (value == FMonitorEvents) return;
    if (Enabled()) Raise(TextAssigned, -1);
    FMonitorEvents = value;
}

#define ORVAN_LINE_SETTER(Name, Type, Field)                                                       \
    void TCustomComm::Set##Name(Type value) {                                                      \
        if (value == Field) return;                                                                \
        Field = value;                                                                             \
        if (Enabled()) ApplyLineSettings();                                                        \
    }
ORVAN_LINE_SETTER(BaudRate, TBaudrate, FBaudRate)
ORVAN_LINE_SETTER(Parity, TParity, FParity)
ORVAN_LINE_SETTER(Stopbits, TStopbits, FStopbits)
ORVAN_LINE_SETTER(Databits, TDatabits, FDatabits)
ORVAN_LINE_SETTER(Options, TCommOptions, FOptions)
ORVAN_LINE_SETTER(FlowControl, TFlowControl, FFlowControl)
ORVAN_LINE_SETTER(EventChars, const TCommEventChars&, FEventChars)
#undef ORVAN_LINE_SETTER

void TCustomComm::Open() {
    if (Enabled()) Raise(TextAssigned, -1);
    if (FEndedThread) {
        FEndedThread->Join();
        FEndedThread.reset();
    }
    // The watcher of a line that was lost (it closed the port itself).
    std::unique_ptr<TCommEventThread> leftover;
    {
        std::lock_guard lock(FLock);
        leftover = std::move(FEventThread);
    }
    if (leftover) {
        leftover->Stop();
        leftover->Join();
        leftover.reset();
    }
    FLastError = 0;
    FLastErrorText.clear();
    FDevicePath.clear();
    auto fail = [this](int err, const std::string& text) {
        FLastError = err;
        FLastErrorText = text;
        errno = err;
    };

    const TPortResolution where = ResolvePort(FDeviceName, FPortMapFile);
    if (!where.Ok) return fail(EINVAL, where.Error);
    FDevicePath = where.Device;
    const std::string who = FDeviceName + " (" + FDevicePath + "): ";

    const int fd = ::open(FDevicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        std::string hint = OpenFailureHint(err, FDevicePath);
        // Held with TIOCEXCL by another program: say which.
        if (err == EBUSY)
            if (const auto holders = FindHolders(FDevicePath, ::getpid()); !holders.empty())
                hint = HoldersText(holders);
        return fail(err, who + hint);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        ::close(fd);
        return fail(ENOTTY, who + OpenFailureHint(ENOTTY));
    }
    // Two programs on one writer line garble each other's exchanges. A
    // pseudo-terminal is exempt: its other end is the simulator's own.
    if (!IsPseudoTerminal(st.st_rdev))
        if (const auto holders = FindHolders(FDevicePath, ::getpid()); !holders.empty()) {
            ::close(fd);
            return fail(EBUSY, who + HoldersText(holders));
        }
    // TIOCEXCL keeps other programs out but not root; the lock keeps out a
    // second instance of this program whoever runs it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return fail(err, who + OpenFailureHint(err));
    }
    // Opened before TIOCEXCL keeps everyone out, and non-blocking so that the
    // open does not wait for carrier; it sleeps in its reads from here on.
    int waitFd = ::open(FDevicePath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (waitFd >= 0 && ::fcntl(waitFd, F_SETFL, ::fcntl(waitFd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(waitFd);
        waitFd = -1;
    }
    ::ioctl(fd, TIOCEXCL);
    auto closeWait = [&] {
        if (waitFd >= 0) ::close(waitFd);
    };

    auto saved = std::make_unique<TSavedLine>();
    termios raw{};
    if (::tcgetattr(fd, &saved->Old) != 0) {
        const int err = errno;
        closeWait();
        ::close(fd);
        Raise(TextTimeouts, err);
    }
#if defined(__linux__)
    // Without it a USB adapter holds every reply up to its latency timer.
    serial_struct ss{};
    FLowLatency.store(false);
    FLowLatencySetting.store(false);
    FLowLatencyBefore.store(false);
    if (DeviceIoctl(fd, TIOCGSERIAL, &ss) == 0) {
        FLowLatencySetting.store(true);
        FLowLatencyBefore.store((ss.flags & ASYNC_LOW_LATENCY) != 0);
        if (ss.flags & ASYNC_LOW_LATENCY) {
            FLowLatency.store(true);
        } else {
            saved->SerialFlags = ss.flags;
            ss.flags |= ASYNC_LOW_LATENCY;
            if (DeviceIoctl(fd, TIOCSSERIAL, &ss) == 0) {
                saved->LatencyChanged = true;
                FLowLatency.store(true);
            }
        }
    }
#endif
    raw = saved->Old;
    MakeRaw(raw);
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
        const int err = errno;
#if defined(__linux__)
        if (saved->LatencyChanged) {
            ss.flags = saved->SerialFlags;
            DeviceIoctl(fd, TIOCSSERIAL, &ss);
        }
#endif
        ::ioctl(fd, TIOCNXCL);
        closeWait();
        ::close(fd);
        Raise(TextTimeouts, err);
    }

    FSaved = std::move(saved);
    FClosing.ResetEvent();
    FClosingSet.store(false);
    FLineLost.store(false);
    FNoCtsOpen.store(where.NoCts);
    FConsumed.store(0);
    if (FAlive) FAlive->store(false); // reports of an earlier open
    FAlive = std::make_shared<std::atomic<bool>>(true);

    // Watch only what a handler will hear; a break or an event character
    // cannot be told apart in the byte stream, so evRxFlag is never raised.
    TCommEventTypes events;
    auto watch = [&](TCommEventType e, bool handled) {
        if (handled && FMonitorEvents.Contains(e)) events.Include(e);
    };
    watch(evBreak, bool(OnBreak));
    watch(evCts, bool(OnCts));
    watch(evDsr, bool(OnDsr));
    watch(evError, bool(OnError));
    watch(evRing, bool(OnRing));
    watch(evRlsd, bool(OnRlsd));
    watch(evRxChar, bool(OnRxChar));
    watch(evTxEmpty, bool(OnTxEmpty));
    FWatchTx.store(events.Contains(evTxEmpty));

    {
        std::lock_guard lock(FLock);
        FHandle.store(fd);
        FWaitHandle.store(waitFd);
        FEventThread = std::make_unique<TCommEventThread>(*this, fd, events);
    }
    try {
        // A line that refuses its settings is closed before anyone watches it.
        ApplyLineSettings();
        FEventThread->Start();
    } catch (...) {
        Close(); // a half-configured line is no open port
        throw;
    }
}

void TCustomComm::Close() {
    if (FEndedThread && !FEndedThread->OnThisThread()) {
        FEndedThread->Join();
        FEndedThread.reset();
    }
    // A thread waiting in WaitInput or Write holds the lock: let it go first.
    FClosingSet.store(true);
    FClosing.SetEvent();
    std::unique_ptr<TCommEventThread> thread;
    {
        std::lock_guard lock(FLock);
        thread = std::move(FEventThread);
    }
    if (!Enabled() && !thread) return;
    if (FAlive) FAlive->store(false);
    if (thread) {
        thread->Stop();
        if (thread->OnThisThread()) {
            // Closed from a handler on the event thread: it ends when the
            // handler returns and is joined by the next Open or Close.
            FEndedThread = std::move(thread);
        } else {
            thread->Join();
            thread.reset();
        }
    }
    CloseHandle();
}

bool TCustomComm::LostLineError(int err) {
    return err == EIO || err == ENXIO || err == ENODEV || err == EPIPE;
}

// Under the lock: a thread that fails its exchange on the lost line (it
// holds the lock for every use of the descriptor) finds the port closed and
// the owner told, whichever thread noticed first. A waiter sees the hang-up
// on the descriptor itself. Closed before anyone is told: Enabled() reads
// the handle without the lock, and whoever sees the notice (or LineLost)
// must find the port shut.
void TCustomComm::DropLine() {
    std::lock_guard lock(FLock);
    if (FHandle.load() >= 0) {
        if (FEventThread) FEventThread->Stop();
        CloseHandle();
        FClosingSet.store(true);
        FClosing.SetEvent();
    }
    if (!FLineLost.exchange(true) && OnLineLost) OnLineLost(*this);
}

void TCustomComm::CloseHandle() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) return;
    ::tcflush(fd, TCIOFLUSH);
    if (FSaved) ::tcsetattr(fd, TCSANOW, &FSaved->Old);
#if defined(__linux__)
    if (FSaved && FSaved->LatencyChanged) {
        serial_struct ss{};
        if (DeviceIoctl(fd, TIOCGSERIAL, &ss) == 0) {
            ss.flags = FSaved->SerialFlags;
            DeviceIoctl(fd, TIOCSSERIAL, &ss);
        }
    }
#endif
    ::ioctl(fd, TIOCNXCL);
    if (const int waitFd = FWaitHandle.exchange(-1); waitFd >= 0) ::close(waitFd);
    FHandle.store(-1);
    FWatchTx.store(false);
    FNoCtsOpen.store(false);
    FSaved.reset();
    ::close(fd);
}

int MapLineSettings(const TCustomComm& comm, termios& t, int& customBaud) {
    customBaud = 0;
    const int baud = BaudRateValue(comm.BaudRate());
    const speed_t speed = SpeedConstant(baud);
    if (baud == 0) return EINVAL;
    if (speed == B0) {
#if defined(ORVAN_CUSTOM_BAUD)
        customBaud = baud;
#else
        return EINVAL;
#endif
    }
    ::cfsetispeed(&t, customBaud ? B38400 : speed);
    ::cfsetospeed(&t, customBaud ? B38400 : speed);

    tcflag_t size = CS8;
    switch (comm.Databits()) {
    case da5:
        size = CS5;
        break;
    case da6:
        size = CS6;
        break;
    case da7:
        size = CS7;
        break;
    case da8:
        size = CS8;
        break;
    default:
        return EINVAL; // no 4-bit bytes on termios
    }
    t.c_cflag = (t.c_cflag & ~CSIZE) | size;

    t.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (comm.Parity()) {
    case paNone:
        break;
    case paOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case paEven:
        t.c_cflag |= PARENB;
        break;
    case paMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case paSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }

    if (comm.Stopbits() == sb10)
        t.c_cflag &= ~CSTOPB;
    else
        t.c_cflag |= CSTOPB; // 1.5 is sent as 2

    t.c_cc[VSTART] = static_cast<cc_t>(comm.EventChars().XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(comm.EventChars().XoffChar);

    switch (comm.FlowControl()) {
    case fcNone:
        t.c_cflag &= ~CRTSCTS;
        t.c_iflag &= ~(IXON | IXOFF | IXANY);
        break;
    case fcCTS:
        t.c_cflag |= CRTSCTS;
        break;
    case fcDTR: // no DSR/DTR handshake on termios
        break;
    case fcSoftware:
        t.c_iflag |= IXON | IXOFF;
        break;
    case fcDefault:
        break;
    }

    auto option = [&](TCommOption o, tcflag_t flag) {
        if (comm.Options().Contains(o))
            t.c_iflag |= flag;
        else
            t.c_iflag &= ~flag;
    };
    option(coParityCheck, INPCK);
    option(coIgnoreXOff, IXANY);
    return 0;
}

void TCustomComm::ApplyLineSettings() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) return;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) Raise(TextDcb, errno);
    int custom = 0;
    if (const int err = MapLineSettings(*this, t, custom)) Raise(TextDcb, err);
    // The driver may refuse what the line cannot do (a pseudo-terminal
    // refuses any byte size but 8 and parity).
    if (::tcsetattr(fd, TCSANOW, &t) != 0) Raise(TextDcb, errno);

#if defined(ORVAN_CUSTOM_BAUD)
    if (custom) {
        constexpr tcflag_t Bother = 0010000;
        termios2 t2{};
        if (::ioctl(fd, TCGETS2, &t2) != 0) Raise(TextDcb, errno);
        t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
        t2.c_cflag |= Bother;
        t2.c_ispeed = static_cast<speed_t>(custom);
        t2.c_ospeed = static_cast<speed_t>(custom);
        if (::ioctl(fd, TCSETS2, &t2) != 0) Raise(TextDcb, errno);
    }
#endif

    // The handshake lines: without flow control neither is driven; a
    // handshake asserts its own line. A line without modem-control lines (a
    // pseudo-terminal) refuses, which changes nothing.
    int lower = 0, raise = 0;
    switch (FFlowControl) {
    case fcNone:
        lower = TIOCM_DTR | TIOCM_RTS;
        break;
    case fcCTS:
        raise = TIOCM_RTS;
        break;
    case fcDTR:
        raise = TIOCM_DTR;
        break;
    default:
        break;
    }
    if (lower) (void)DeviceIoctl(fd, TIOCMBIC, &lower);
    if (raise) (void)DeviceIoctl(fd, TIOCMBIS, &raise);
}

bool TCustomComm::LineGone() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & Gone) && QueueCount(fd, FIONREAD) <= 0;
}

int TCustomComm::Write(const void* buffer, int count) {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) Raise(TextWrite, FLineLost.load() ? EIO : EBADF);
    if (count <= 0) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(FWriteTimeout.load());
    const char* p = static_cast<const char*>(buffer);
    int left = count;
    bool timedOut = false;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n > 0) {
            p += n;
            left -= static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            const int err = errno;
            if (LostLineError(err)) DropLine();
            Raise(TextWrite, err);
        }
        // The output queue is full (or the line is held by flow control).
        pollfd w[2] = {{fd, POLLOUT, 0}, {FClosing.Handle(), POLLIN, 0}};
        const int r = ::poll(w, 2, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) Raise(TextWrite, errno);
        if (r == 0) {
            timedOut = true;
            break;
        }
        if (w[1].revents) Raise(TextWrite, FLineLost.load() ? EIO : EBADF);
        if ((w[0].revents & Gone) && !(w[0].revents & POLLOUT)) {
            DropLine();
            Raise(TextWrite, EIO);
        }
    }
    if (left < count && FWatchTx.load() && FEventThread) FEventThread->OutputQueued();
    return timedOut ? -1 : count;
}

int TCustomComm::Read(void* buffer, int count) {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) Raise(TextRead, FLineLost.load() ? EIO : EBADF);
    if (count <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        return TakeRead(n, errno);
    }
}

int TCustomComm::TakeRead(ssize_t n, int err) {
    if (n > 0) {
        FConsumed.fetch_add(static_cast<uint64_t>(n));
        return static_cast<int>(n);
    }
    if (n < 0 && err != EAGAIN && err != EINTR) {
        if (LostLineError(err)) DropLine();
        Raise(TextRead, err);
    }
    // Nothing waiting (or VTIME passed), or end of file on a line that hung up.
    if (LineGone()) {
        DropLine();
        Raise(TextRead, EIO);
    }
    return 0;
}

int TCustomComm::InQueCount() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    return fd < 0 ? -1 : QueueCount(fd, FIONREAD);
}

int TCustomComm::OutQueCount() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    return fd < 0 ? -1 : QueueCount(fd, TIOCOUTQ);
}

void TCustomComm::PurgeIn() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) return;
    const int waiting = QueueCount(fd, FIONREAD);
    ::tcflush(fd, TCIFLUSH);
    if (waiting > 0) FConsumed.fetch_add(static_cast<uint64_t>(waiting));
}

void TCustomComm::PurgeOut() {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd >= 0) ::tcflush(fd, TCOFLUSH);
}

bool TCustomComm::GetModemState(int line) {
    std::lock_guard lock(FLock);
    const int fd = FHandle.load();
    if (fd < 0) return false;
    int bit = 0;
    switch (line) {
    case 1:
        if (FAssumeCTS.load() || FNoCtsOpen.load()) return true;
        bit = TIOCM_CTS;
        break;
    case 2:
        bit = TIOCM_DSR;
        break;
    case 3:
        bit = TIOCM_RNG;
        break;
    case 4:
        bit = TIOCM_CAR;
        break;
    default:
        return false;
    }
    int state = 0;
    if (::ioctl(fd, TIOCMGET, &state) != 0) return false; // e.g. a pseudo-terminal
    return (state & bit) != 0;
}

namespace {

// Sleeps without a descriptor, so that a caller's loop cannot spin.
void SleepUntil(Clock::time_point deadline) {
    pollfd none{-1, 0, 0};
    while (::poll(&none, 0, RemainingMs(deadline)) < 0 && errno == EINTR) {
    }
}

} // namespace

// Holds the lock while it sleeps, so the descriptor cannot be closed (and
// its number reused) under it; Close and a lost line wake it first. Once a
// close has begun it waits as on a closed port, without the lock: a caller
// that loops on it would otherwise keep taking the lock Close is waiting for.
bool TCustomComm::WaitInput(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock lock(FLock);
    const int fd = FHandle.load();
    // The flag, not the event: a wait for every reply affords one poll only.
    if (fd < 0 || FClosingSet.load()) {
        if (FLineLost.load()) Raise(TextRead, EIO);
        lock.unlock();
        SleepUntil(deadline);
        return false;
    }
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {FClosing.Handle(), POLLIN, 0}};
        const int r = ::poll(p, 2, RemainingMs(deadline));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) Raise(TextRead, errno);
        if (r == 0) return false;
        if (p[1].revents) {
            if (FLineLost.load()) Raise(TextRead, EIO);
            return false;
        }
        if (p[0].revents & Gone) {
            // Bytes that arrived before the hang-up can still be read.
            if (QueueCount(fd, FIONREAD) > 0) return true;
            DropLine();
            Raise(TextRead, EIO);
        }
        return true;
    }
}

int TCustomComm::WaitRead(void* buffer, int count, int timeoutMs) {
    if (timeoutMs < ReplySliceMs || count <= 0) return IPort::WaitRead(buffer, count, timeoutMs);
    std::unique_lock lock(FLock);
    const int fd = FWaitHandle.load();
    // A close under way, a closed port and a line without the second
    // descriptor wait as WaitInput does.
    if (fd < 0 || FHandle.load() < 0 || FClosingSet.load()) {
        lock.unlock();
        return IPort::WaitRead(buffer, count, timeoutMs);
    }
    const ssize_t n = ::read(fd, buffer, static_cast<size_t>(count));
    return TakeRead(n, errno);
}

void TCustomComm::PostEvents(TCommEventTypes mask, unsigned errors) {
    std::shared_ptr<std::atomic<bool>> alive = FAlive;
    auto job = [this, alive, mask, errors] {
        if (alive->load()) HandleEvents(mask, errors);
    };
    if (Dispatcher)
        Dispatcher(job);
    else
        job();
}

void TCustomComm::HandleEvents(TCommEventTypes mask, unsigned errors) {
    if (mask.Contains(evBreak) && OnBreak) OnBreak(*this);
    if (mask.Contains(evCts) && OnCts) OnCts(*this);
    if (mask.Contains(evDsr) && OnDsr) OnDsr(*this);
    if (mask.Contains(evError) && OnError) OnError(*this, errors);
    if (mask.Contains(evRing) && OnRing) OnRing(*this);
    if (mask.Contains(evRlsd) && OnRlsd) OnRlsd(*this);
    if (mask.Contains(evRxChar) && OnRxChar) {
        const int waiting = InQueCount();
        if (waiting > 0) OnRxChar(*this, waiting);
    }
    if (mask.Contains(evRxFlag) && OnRxFlag) OnRxFlag(*this);
    if (mask.Contains(evTxEmpty) && OnTxEmpty) OnTxEmpty(*this);
}

} // namespace orvan
