// The serial port component: TCustomComm (all behaviour), TComm (the one the
// main window owns as Comm1), its event thread and its special characters,
// on POSIX termios with a non-blocking descriptor and poll().
//
// Port names: DeviceName keeps the "Com1"-style name; Open resolves it
// through ports.map (see PortMap.h) to a device such as /dev/ttyUSB0. An
// absolute path given as DeviceName is used as it is.
//
// Line settings on termios:
//  - baud rates termios lacks (14400, 56000, 128000, 256000) are set as
//    custom rates (BOTHER) where the driver accepts them; otherwise
//    "Error updating DataControlBlock" (EINVAL);
//  - da4 has no termios byte size and is refused with EINVAL;
//  - sb15 is sent as 2 stop bits (CSTOPB);
//  - paMark/paSpace use CMSPAR;
//  - fcNone clears CRTSCTS, IXON, IXOFF and IXANY and drops DTR and RTS (no
//    handshake line is driven); fcCTS adds CRTSCTS and raises RTS; fcSoftware
//    adds IXON|IXOFF; fcDefault keeps what the line holds, except IXON,
//    which raw mode clears at Open: the kernel turns it on by default, and it
//    would swallow data bytes 11h/13h. fcDTR: termios has no DSR/DTR
//    handshake, so it only raises DTR;
//  - coParityCheck is INPCK; coIgnoreXOff is IXANY (any received byte, not
//    only XON, restarts output); coDsrSensitivity, coErrorChar and
//    coNullStrip have no termios equivalent and are kept but not applied
//    (with INPCK a byte with a parity error reads as 00h);
//  - XonChar/XoffChar go to VSTART/VSTOP; ErrorChar, EofChar and EvtChar have
//    no meaning in raw mode. The buffer sizes and the XON/XOFF limits have no
//    termios equivalent and are only stored.
//
// The line on real hardware:
//  - Open asks the driver for low latency (ASYNC_LOW_LATENCY): a USB adapter
//    otherwise holds every reply up to its latency timer (16 ms on FTDI
//    chips), and the writer answers each byte. Close puts the old flags
//    back; a line that has no such setting (a pseudo-terminal) is no error.
//  - A real serial device that another process holds open is refused, naming
//    that process (pseudo-terminals are exempt: the simulator holds its own).
//  - A hang-up or an I/O error closes the port at once (OnLineLost), so the
//    next command's entry opens it afresh.
//  - Every use of the descriptor holds the component's lock; Close and a
//    lost line first wake a thread sleeping in WaitInput or Write. A
//    thread sleeping in WaitRead's read holds Close up for at most
//    ReplySliceMs.
//  - VTIME is one tenth of a second: the descriptor that WaitRead sleeps on
//    is a blocking one; the main descriptor is non-blocking, so Read still
//    returns at once.
#pragma once

#include "link/Commobjs.h"
#include "link/Port.h"
#include "link/PortMap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <sys/types.h>
#include <thread>

struct termios;

namespace orvan {

enum TBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
enum TCommEventType {
    evBreak,
    evCts,
    evDsr,
    evError,
    evRing,
    evRlsd,
    evRxChar,
    evRxFlag,
    evTxEmpty
};

// The number in a TBaudrate name (br115200 -> 115200); 0 for other values.
int BaudRateValue(TBaudrate rate);

// A set of one of the enumerations above.
template <class E> class TEnumSet {
  public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> items) {
        for (E e : items)
            Bits |= Bit(e);
    }
    static constexpr TEnumSet FromBits(uint32_t bits) {
        TEnumSet s;
        s.Bits = bits;
        return s;
    }
    constexpr bool Contains(E e) const { return (Bits & Bit(e)) != 0; }
    constexpr void Include(E e) { Bits |= Bit(e); }
    constexpr void Exclude(E e) { Bits &= ~Bit(e); }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr uint32_t ToBits() const { return Bits; }
    constexpr bool operator==(const TEnumSet&) const = default;

  private:
    static constexpr uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
    uint32_t Bits = 0;
};

using TCommEventTypes = TEnumSet<TCommEventType>;
using TCommOptions = TEnumSet<TCommOption>;

inline constexpr TCommEventTypes AllCommEvents{evBreak, evCts,    evDsr,    evError,  evRing,
                                               evRlsd,  evRxChar, evRxFlag, evTxEmpty};

// Line error flags passed to OnError.
inline constexpr unsigned CE_RXOVER = 0x0001;   // input buffer overflow
inline constexpr unsigned CE_OVERRUN = 0x0002;  // character lost in the UART
inline constexpr unsigned CE_RXPARITY = 0x0004; // parity error
inline constexpr unsigned CE_FRAME = 0x0008;    // framing error
inline constexpr unsigned CE_BREAK = 0x0010;    // break received
inline constexpr unsigned CE_IOE = 0x0400;      // the line has gone (adapter unplugged, hang-up)

struct TCommEventChars {
    char XonChar = 17;
    char XoffChar = 19;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    bool operator==(const TCommEventChars&) const = default;
};

class TCustomComm;

// Watches the line while the port is open: received bytes, line errors and
// breaks, modem-line changes and a drained output queue. It never reads or
// writes data, so it does not compete with Read. It sleeps in poll() on the
// line and on its own event; Stop() wakes it at once. The owner joins it.
//  - evRxChar: on arrival; while bytes sit unread it looks again every 50 ms
//    and reports only bytes that arrived since.
//  - evCts/evDsr/evRing/evRlsd (any change of the line) and evError/evBreak
//    (the driver's error counters): polled every 100 ms, only on lines whose
//    driver reports them (not on a pseudo-terminal).
//  - evError with CE_IOE, once, when the line hangs up or vanishes; the
//    component is then closed at once (see OnLineLost).
//  - evTxEmpty: when the output queue has drained after a Write.
//  - evRxFlag: never; the event character cannot be seen without reading.
class TCommEventThread {
  public:
    // `events`: what to watch (already limited to events with a handler).
    TCommEventThread(TCustomComm& owner, int handle, TCommEventTypes events);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // Starts watching; separate from construction so that the owner holds
    // the object before any handler can run (and perhaps call Close).
    void Start();
    void Stop();
    void Join();
    bool OnThisThread() const { return Self.load() == std::this_thread::get_id(); }
    // Bytes were queued for output: watch for the queue to drain.
    void OutputQueued();
    // The events of the last report.
    TCommEventTypes EventMask() const { return TCommEventTypes::FromBits(LastMask.load()); }

  private:
    void Execute();
    void Report(TCommEventTypes mask, unsigned errors);

    TCustomComm& Owner;
    const int Handle;
    const TCommEventTypes Events;
    TSimpleEvent Wake;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> TxPending{false};
    std::atomic<uint32_t> LastMask{0};
    std::atomic<std::thread::id> Self{};
    bool Started = false; // the thread closes Handle when it ends
    std::thread Thread;
};

class TCustomComm : public IPort {
  public:
    using TNotifyEvent = std::function<void(TCustomComm& sender)>;
    using TRxCharEvent = std::function<void(TCustomComm& sender, int count)>;
    using TErrorEvent = std::function<void(TCustomComm& sender, unsigned errors)>;
    // Runs a job on the thread that owns the component (the GUI thread). It
    // must not wait for the job: Close joins the event thread, so a
    // dispatcher that blocks could deadlock against a Close on that thread.
    using TDispatcher = std::function<void(std::function<void()> job)>;

    TCustomComm();
    ~TCustomComm() override;
    TCustomComm(const TCustomComm&) = delete;
    TCustomComm& operator=(const TCustomComm&) = delete;

    // --- Properties -------------------------------------------------------
    const std::string& DeviceName() const { return FDeviceName; }
    void SetDeviceName(const std::string& value);
    int ReadTimeout() const { return FReadTimeout.load(); }
    void SetReadTimeout(int ms) { FReadTimeout.store(ms); }
    int WriteTimeout() const { return FWriteTimeout.load(); }
    void SetWriteTimeout(int ms) { FWriteTimeout.store(ms); }
    int ReadBufSize() const { return FReadBufSize; }
    void SetReadBufSize(int value);
    int WriteBufSize() const { return FWriteBufSize; }
    void SetWriteBufSize(int value);
    TCommEventTypes MonitorEvents() const { return FMonitorEvents; }
    void SetMonitorEvents(TCommEventTypes value);
    TBaudrate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudrate value);
    TParity Parity() const { return FParity; }
    void SetParity(TParity value);
    TStopbits Stopbits() const { return FStopbits; }
    void SetStopbits(TStopbits value);
    TDatabits Databits() const { return FDatabits; }
    void SetDatabits(TDatabits value);
    TCommOptions Options() const { return FOptions; }
    void SetOptions(TCommOptions value);
    TFlowControl FlowControl() const { return FFlowControl; }
    void SetFlowControl(TFlowControl value);
    const TCommEventChars& EventChars() const { return FEventChars; }
    void SetEventChars(const TCommEventChars& value);

    // CTS reads as set while open, for a line without a CTS wire. The
    // `nocts` word of ports.map turns it on for one open.
    bool AssumeCTS() const { return FAssumeCTS.load(); }
    void SetAssumeCTS(bool value) { FAssumeCTS.store(value); }
    // The port map consulted by Open ("ports.map" in the working directory).
    const std::string& PortMapFile() const { return FPortMapFile; }
    void SetPortMapFile(const std::string& path) { FPortMapFile = path; }

    // --- Open and close ---------------------------------------------------
    // A device that cannot be opened leaves the port closed without raising;
    // LastError() then holds the errno (ENOENT, EACCES, EBUSY, ENOTTY for a
    // file that is no serial line, EINVAL for a name ports.map cannot
    // resolve) and LastErrorText() a sentence for the operator.
    void Open();
    void Close();
    // Without the lock: a thread in WaitInput holds it for its whole wait,
    // and the window asks at every tick. A lost line clears the handle
    // before LineLost or OnLineLost tell of it.
    bool Enabled() const override { return FHandle.load() >= 0; }
    // The port was closed because the line hung up or failed, not by Close.
    // Cleared by the next Open that succeeds.
    bool LineLost() const { return FLineLost.load(); }
    // The driver accepted the low-latency request at the last Open.
    bool LowLatency() const { return FLowLatency.load(); }
    // The driver has a low-latency flag (a pseudo-terminal has none), and
    // whether it was already on when the last Open found it.
    bool LowLatencySetting() const { return FLowLatencySetting.load(); }
    bool LowLatencyBefore() const { return FLowLatencyBefore.load(); }
    int LastError() const { return FLastError; }
    const std::string& LastErrorText() const { return FLastErrorText; }
    // The device the last Open resolved DeviceName to.
    const std::string& DevicePath() const { return FDevicePath; }

    // --- Data and line state (IPort) --------------------------------------
    int Write(const void* buffer, int count) override;
    int Read(void* buffer, int count) override;
    int InQueCount() override;
    int OutQueCount() override;
    void PurgeIn() override;
    void PurgeOut() override;
    bool GetModemState(int line) override;
    bool WaitInput(int timeoutMs) override;
    // A wait of ReplySliceMs or more is one blocking read (VTIME) on a
    // second descriptor of the line; a shorter one polls.
    int WaitRead(void* buffer, int count, int timeoutMs) override;

    // --- Events -----------------------------------------------------------
    // Attach handlers and the dispatcher while the port is closed: Open
    // decides from them what the event thread watches. Without a dispatcher
    // the handlers run on the event thread.
    TNotifyEvent OnBreak, OnCts, OnDsr, OnRing, OnRlsd, OnRxFlag, OnTxEmpty;
    TErrorEvent OnError;
    TRxCharEvent OnRxChar;
    TDispatcher Dispatcher;
    // Called once when a hang-up or an I/O error closes the port (just
    // after the close, and before any exchange fails on it), on the thread
    // that noticed it (an exchange's worker or the event thread), holding
    // the component's lock: it must be short and thread-safe, such as
    // setting an atomic flag, and may call only Enabled and LineLost.
    TNotifyEvent OnLineLost;

  protected:
    // The driver requests that differ between a real line and a test's stand
    // in (modem-control lines, driver flags): TIOCMBIS, TIOCMBIC,
    // TIOCGSERIAL and TIOCSSERIAL go through here. Returns ioctl's result.
    virtual int DeviceIoctl(int fd, unsigned long request, void* arg);

  private:
    friend class TCommEventThread;

    void ApplyLineSettings(); // the device control block; only while open
    void CloseHandle();
    // Called on the event thread; hands the report to the dispatcher.
    void PostEvents(TCommEventTypes mask, unsigned errors);
    // The event handler: calls the attached handlers in their order.
    void HandleEvents(TCommEventTypes mask, unsigned errors);
    bool LineGone(); // poll shows hang-up or error and nothing is waiting
    // A read's result (n, errno): the bytes taken, 0 for none; throws when
    // the read failed or the line hung up. Called with FLock held.
    int TakeRead(ssize_t n, int err);
    // The line has gone: under the lock, closes the descriptor and then
    // calls OnLineLost once.
    void DropLine();
    static bool LostLineError(int err);
    [[noreturn]] static void Raise(const char* text, int code);

    std::string FDeviceName = "Com2";
    std::atomic<int> FReadTimeout{1000};
    std::atomic<int> FWriteTimeout{1000};
    int FReadBufSize = 4096;
    int FWriteBufSize = 2048;
    TCommEventTypes FMonitorEvents = AllCommEvents;
    TBaudrate FBaudRate = br9600;
    TParity FParity = paNone;
    TStopbits FStopbits = sb10;
    TDatabits FDatabits = da8;
    TCommOptions FOptions;
    TFlowControl FFlowControl = fcDefault;
    TCommEventChars FEventChars;
    std::atomic<bool> FAssumeCTS{false};
    std::string FPortMapFile = PortMapFileName;

    std::atomic<int> FHandle{-1};
    // The line opened once more without O_NONBLOCK, for WaitRead; -1 when
    // the device refused a second open.
    std::atomic<int> FWaitHandle{-1};
    std::atomic<bool> FLineLost{false};
    std::atomic<bool> FLowLatency{false};
    std::atomic<bool> FLowLatencySetting{false};
    std::atomic<bool> FLowLatencyBefore{false};
    TSimpleEvent FClosing;                // wakes WaitInput and Write before a close
    std::atomic<bool> FClosingSet{false}; // FClosing is set (read without a syscall)
    std::atomic<bool> FNoCtsOpen{false};  // nocts from the port map, this open
    std::atomic<bool> FWatchTx{false};
    std::atomic<uint64_t> FConsumed{0}; // bytes taken by Read or PurgeIn, for RxChar
    int FLastError = 0;
    std::string FLastErrorText;
    std::string FDevicePath;
    struct TSavedLine;
    std::unique_ptr<TSavedLine> FSaved; // the line's settings before Open
    TCriticalSection FLock;
    std::unique_ptr<TCommEventThread> FEventThread;
    std::unique_ptr<TCommEventThread> FEndedThread; // closed from its own handler
    std::shared_ptr<std::atomic<bool>> FAlive;      // jobs of this open may still run
};

// The device control block of `comm` on a termios: baud rate, byte size,
// parity, stop bits, event characters, flow control and options, on top of
// what `t` holds. Returns 0, or EINVAL for a setting termios cannot express.
// A rate without a Bxxx constant is left for the caller in `customBaud`
// (0 otherwise); `t` then carries B38400 in its place.
int MapLineSettings(const TCustomComm& comm, termios& t, int& customBaud);

// The component as the main window owns it.
class TComm final : public TCustomComm {
  public:
    TComm() = default;
};

} // namespace orvan
