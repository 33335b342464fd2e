// TComm on real pseudo-terminals: opening, line settings, data, queries and
// what happens when the line goes away.
#include "link/Commint.h"
#include "testlib/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <thread>

#if defined(__linux__) && defined(TCGETS2)
struct termios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
#endif

namespace orvan {
namespace {

using test::MsSince;
using test::PtyPair;
using Clock = std::chrono::steady_clock;

// A scratch file that is removed again.
struct TempFile {
    explicit TempFile(const std::string& text) {
        char name[] = "/tmp/orvan-serial-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        Path = name;
        std::ofstream(Path) << text;
    }
    ~TempFile() { std::remove(Path.c_str()); }
    std::string Path;
};

class CommTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Pty.Ok());
        Comm.SetDeviceName(Pty.Slave);
    }
    void OpenOk() {
        Comm.Open();
        ASSERT_TRUE(Comm.Enabled()) << Comm.LastErrorText();
    }
    PtyPair Pty;
    TComm Comm;
};

void ExpectCommError(const std::function<void()>& f, const std::string& text, int code) {
    try {
        f();
        ADD_FAILURE() << "no ECommError, expected " << text;
    } catch (const ECommError& e) {
        EXPECT_EQ(e.ErrorCode, code);
        EXPECT_EQ(std::string(e.what()), text + " (Error: " + std::to_string(code) + ") ");
    }
}

TEST(CommDefaults, AsTheComponentIsCreated) {
    TComm c;
    EXPECT_EQ(c.DeviceName(), "Com2");
    EXPECT_EQ(c.ReadTimeout(), 1000);
    EXPECT_EQ(c.WriteTimeout(), 1000);
    EXPECT_EQ(c.ReadBufSize(), 4096);
    EXPECT_EQ(c.WriteBufSize(), 2048);
    EXPECT_EQ(c.MonitorEvents(), AllCommEvents);
    EXPECT_EQ(c.BaudRate(), br9600);
    EXPECT_EQ(c.Parity(), paNone);
    EXPECT_EQ(c.Stopbits(), sb10);
    EXPECT_EQ(c.Databits(), da8);
    EXPECT_TRUE(c.Options().Empty());
    EXPECT_EQ(c.FlowControl(), fcDefault);
    EXPECT_EQ(c.EventChars(), (TCommEventChars{17, 19, 0, 0, 0}));
    EXPECT_FALSE(c.Enabled());
    // The ordinals callers pass.
    EXPECT_EQ(static_cast<int>(br115200), 12);
    EXPECT_EQ(static_cast<int>(da8), 4);
    EXPECT_EQ(BaudRateValue(br115200), 115200);
    EXPECT_EQ(BaudRateValue(br256000), 256000);
}

TEST(CommClosed, QueriesAnswerWithoutRaising) {
    TComm c;
    EXPECT_EQ(c.InQueCount(), -1);
    EXPECT_EQ(c.OutQueCount(), -1);
    c.SetAssumeCTS(true);
    for (int line = 0; line <= 5; ++line)
        EXPECT_FALSE(c.GetModemState(line)) << line;
    c.PurgeIn();
    c.PurgeOut();
    c.Close(); // nothing when closed
    const auto start = Clock::now();
    EXPECT_FALSE(c.WaitInput(50));
    EXPECT_GE(MsSince(start), 40); // sleeps rather than letting a caller spin
    char b = 0;
    ExpectCommError([&] { c.Read(&b, 1); }, "Read error", EBADF);
    ExpectCommError([&] { c.Write(&b, 1); }, "Write error", EBADF);
    ExpectCommError([&] { c.WaitRead(&b, 1, ReplySliceMs); }, "Read error", EBADF);
}

TEST_F(CommTest, OpenCloseAndOpenTwice) {
    OpenOk();
    EXPECT_EQ(Comm.LastError(), 0);
    EXPECT_EQ(Comm.DevicePath(), Pty.Slave);
    ExpectCommError([&] { Comm.Open(); }, "Port already assigned (open)", -1);
    EXPECT_TRUE(Comm.Enabled());
    Comm.Close();
    EXPECT_FALSE(Comm.Enabled());
    Comm.Close();
    OpenOk(); // and again
}

TEST_F(CommTest, ClosedOnlySettingsAreRefusedWhileOpen) {
    OpenOk();
    // The value already held is no change.
    EXPECT_NO_THROW(Comm.SetDeviceName(Pty.Slave));
    EXPECT_NO_THROW(Comm.SetReadBufSize(4096));
    EXPECT_NO_THROW(Comm.SetWriteBufSize(2048));
    EXPECT_NO_THROW(Comm.SetMonitorEvents(AllCommEvents));
    const std::vector<std::function<void()>> changes = {
        [&] { Comm.SetDeviceName("Com3"); },
        [&] { Comm.SetReadBufSize(8192); },
        [&] { Comm.SetWriteBufSize(0); },
        [&] { Comm.SetMonitorEvents({evRxChar}); },
    };
    for (const auto& change : changes)
        ExpectCommError(change, "Port already assigned (open)", -1);
    EXPECT_EQ(Comm.DeviceName(), Pty.Slave);
    EXPECT_EQ(Comm.ReadBufSize(), 4096);
    Comm.Close();
    Comm.SetReadBufSize(8192);
    EXPECT_EQ(Comm.ReadBufSize(), 8192);
}

TEST_F(CommTest, WriterLineSettingsAtOpen) {
    Comm.SetBaudRate(br115200);
    Comm.SetDatabits(da8);
    Comm.SetParity(paNone);
    Comm.SetStopbits(sb10);
    Comm.SetFlowControl(fcCTS);
    OpenOk();
    const termios t = Pty.Line();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    // Raw: no line editing, echo or translation. Reads on the non-blocking
    // descriptor return at once; WaitRead's blocking one sleeps a slice.
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(t.c_iflag & (ICRNL | IXON | ISTRIP));
    EXPECT_FALSE(t.c_oflag & OPOST);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], ReplySliceMs / 100);
}

// The control block on termios, for every setting (a pseudo-terminal keeps
// only some of them, so the mapping is checked on its own).
TEST(CommLineMapping, EverySettingOnTermios) {
    struct Case {
        const char* what;
        std::function<void(TComm&)> set;
        tcflag_t termios::*field;
        tcflag_t mask, want;
    };
    const tcflag_t par = PARENB | PARODD | CMSPAR;
    const std::vector<Case> cases = {
        {"none", [](TComm& c) { c.SetParity(paNone); }, &termios::c_cflag, par, 0},
        {"odd", [](TComm& c) { c.SetParity(paOdd); }, &termios::c_cflag, par, PARENB | PARODD},
        {"even", [](TComm& c) { c.SetParity(paEven); }, &termios::c_cflag, par, PARENB},
        {"mark", [](TComm& c) { c.SetParity(paMark); }, &termios::c_cflag, par, par},
        {"space", [](TComm& c) { c.SetParity(paSpace); }, &termios::c_cflag, par, PARENB | CMSPAR},
        {"1 stop", [](TComm& c) { c.SetStopbits(sb10); }, &termios::c_cflag, CSTOPB, 0},
        {"1.5 stop", [](TComm& c) { c.SetStopbits(sb15); }, &termios::c_cflag, CSTOPB, CSTOPB},
        {"2 stop", [](TComm& c) { c.SetStopbits(sb20); }, &termios::c_cflag, CSTOPB, CSTOPB},
        {"5 bits", [](TComm& c) { c.SetDatabits(da5); }, &termios::c_cflag, CSIZE, CS5},
        {"6 bits", [](TComm& c) { c.SetDatabits(da6); }, &termios::c_cflag, CSIZE, CS6},
        {"7 bits", [](TComm& c) { c.SetDatabits(da7); }, &termios::c_cflag, CSIZE, CS7},
        {"8 bits", [](TComm& c) { c.SetDatabits(da8); }, &termios::c_cflag, CSIZE, CS8},
        {"parity check", [](TComm& c) { c.SetOptions({coParityCheck}); }, &termios::c_iflag,
         INPCK | IXANY, INPCK},
        {"ignore xoff", [](TComm& c) { c.SetOptions({coIgnoreXOff}); }, &termios::c_iflag,
         INPCK | IXANY, IXANY},
        {"unmapped options",
         [](TComm& c) {
             c.SetOptions({coDsrSensitivity, coNullStrip});
         },
         &termios::c_iflag, INPCK | IXANY, 0},
    };
    for (const auto& c : cases) {
        TComm comm;
        c.set(comm);
        termios t{};
        t.c_cflag = CS8 | PARENB | CSTOPB; // leftovers to be replaced
        t.c_iflag = INPCK | IXANY;
        int custom = -1;
        ASSERT_EQ(MapLineSettings(comm, t, custom), 0) << c.what;
        EXPECT_EQ(t.*c.field & c.mask, c.want) << c.what;
        EXPECT_EQ(custom, 0);
    }

    TComm comm;
    termios t{};
    int custom = 0;
    comm.SetDatabits(da4);
    EXPECT_EQ(MapLineSettings(comm, t, custom), EINVAL);
    comm.SetDatabits(da8);
    comm.SetEventChars({0x21, 0x23, 0x3F, 0x1A, 0x0D});
    comm.SetBaudRate(br110);
    ASSERT_EQ(MapLineSettings(comm, t, custom), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B110));
    EXPECT_EQ(t.c_cc[VSTART], 0x21);
    EXPECT_EQ(t.c_cc[VSTOP], 0x23);
    comm.SetBaudRate(br128000);
    const int result = MapLineSettings(comm, t, custom);
    // A custom rate where the platform has them, refused elsewhere.
    EXPECT_TRUE((result == 0 && custom == 128000) || (result == EINVAL && custom == 0));
}

TEST_F(CommTest, LineSettingsChangeAtOnceWhileOpen) {
    OpenOk();
    Comm.SetStopbits(sb20);
    EXPECT_TRUE(Pty.Line().c_cflag & CSTOPB);
    Comm.SetStopbits(sb10);
    EXPECT_FALSE(Pty.Line().c_cflag & CSTOPB);

    Comm.SetBaudRate(br57600);
    termios t = Pty.Line();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));

    Comm.SetEventChars({0x21, 0x23, 0, 0, 0});
    t = Pty.Line();
    EXPECT_EQ(t.c_cc[VSTART], 0x21);
    EXPECT_EQ(t.c_cc[VSTOP], 0x23);

    Comm.SetOptions({coParityCheck, coIgnoreXOff});
    t = Pty.Line();
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_TRUE(t.c_iflag & IXANY);
    Comm.SetOptions({});
    t = Pty.Line();
    EXPECT_FALSE(t.c_iflag & (INPCK | IXANY));
}

// A pseudo-terminal carries 8 bits without parity only. Asking for parity is
// refused (or quietly ignored by older kernels); the port stays usable.
TEST_F(CommTest, ASettingTheLineCannotTakeLeavesThePortOpen) {
    OpenOk();
    try {
        Comm.SetParity(paEven);
    } catch (const ECommError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error updating DataControlBlock", 0), 0u);
    }
    EXPECT_TRUE(Comm.Enabled());
    EXPECT_FALSE(Pty.Line().c_cflag & PARENB);
    Comm.SetParity(paNone);
    Pty.Send("k");
    ASSERT_TRUE(Comm.WaitInput(1000));
    char b = 0;
    EXPECT_EQ(Comm.Read(&b, 1), 1);
}

TEST_F(CommTest, SettingsMadeWhileClosedWaitForOpen) {
    const termios before = Pty.Line();
    Comm.SetBaudRate(br115200);
    Comm.SetFlowControl(fcCTS);
    const termios after = Pty.Line();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(after.c_cflag & CRTSCTS, before.c_cflag & CRTSCTS);
}

TEST_F(CommTest, UnsupportedByteSizeIsRefusedAndLineKept) {
    OpenOk();
    Comm.SetStopbits(sb20);
    ExpectCommError([&] { Comm.SetDatabits(da4); }, "Error updating DataControlBlock", EINVAL);
    EXPECT_TRUE(Comm.Enabled());
    EXPECT_EQ(Comm.Databits(), da4); // stored, as any setting, but not applied
    EXPECT_EQ(Pty.Line().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(Pty.Line().c_cflag & CSTOPB);
}

#if defined(__linux__) && defined(TCGETS2)
TEST_F(CommTest, RatesWithoutTermiosConstantAreCustomRates) {
    OpenOk();
    for (TBaudrate rate : {br14400, br56000, br128000, br256000}) {
        Comm.SetBaudRate(rate);
        termios2 t2{};
        ASSERT_EQ(::ioctl(Pty.Master, TCGETS2, &t2), 0);
        EXPECT_EQ(t2.c_ospeed, static_cast<speed_t>(BaudRateValue(rate)));
    }
    Comm.SetBaudRate(br115200); // and back to a standard rate
    const termios t = Pty.Line();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
}
#endif

// Flow control is what a production line gets wrong most easily: each mode
// against a line that already held flow-control flags.
TEST_F(CommTest, FlowControlModes) {
    termios pre = Pty.Line();
    pre.c_cflag |= CRTSCTS;
    pre.c_iflag |= IXON | IXOFF | IXANY;
    Pty.SetLine(pre);

    struct Case {
        TFlowControl flow;
        bool crtscts, ixon, ixoff;
    };
    // fcDefault keeps the line's flags except IXON, which raw mode clears
    // (the kernel's default IXON would eat data bytes 11h and 13h).
    const Case cases[] = {
        {fcDefault, true, false, true}, {fcNone, false, false, false},
        {fcCTS, true, false, false},    {fcSoftware, true, true, true},
        {fcDTR, true, true, true}, // adds nothing
        {fcNone, false, false, false},  {fcSoftware, false, true, true},
    };
    Comm.SetFlowControl(cases[0].flow);
    OpenOk();
    for (const auto& c : cases) {
        Comm.SetFlowControl(c.flow);
        const termios t = Pty.Line();
        SCOPED_TRACE(static_cast<int>(c.flow));
        EXPECT_EQ(bool(t.c_cflag & CRTSCTS), c.crtscts);
        EXPECT_EQ(bool(t.c_iflag & IXON), c.ixon);
        EXPECT_EQ(bool(t.c_iflag & IXOFF), c.ixoff);
        EXPECT_FALSE(t.c_iflag & IXANY); // only coIgnoreXOff sets it
    }
}

TEST_F(CommTest, FlowNoneAtOpenClearsEveryFlowFlag) {
    termios pre = Pty.Line();
    pre.c_cflag |= CRTSCTS;
    pre.c_iflag |= IXON | IXOFF | IXANY;
    Pty.SetLine(pre);
    Comm.SetFlowControl(fcNone);
    OpenOk();
    const termios t = Pty.Line();
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | IXANY));
}

TEST_F(CommTest, CloseRestoresTheLineAsFound) {
    termios pre = Pty.Line();
    cfsetspeed(&pre, B4800);
    pre.c_cflag |= CRTSCTS;
    Pty.SetLine(pre);
    const termios before = Pty.Line();
    Comm.SetBaudRate(br115200);
    Comm.SetFlowControl(fcNone);
    OpenOk();
    ASSERT_NE(Pty.Line().c_lflag, before.c_lflag);
    Comm.Close();
    const termios after = Pty.Line();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B4800));
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

TEST_F(CommTest, ReadOfAnEmptyQueueReturnsZeroAtOnce) {
    OpenOk();
    char b[4];
    const auto start = Clock::now();
    EXPECT_EQ(Comm.Read(b, 1), 0);
    EXPECT_EQ(Comm.Read(b, 4), 0);
    EXPECT_LT(MsSince(start), 200);
    EXPECT_EQ(Comm.InQueCount(), 0);
}

TEST_F(CommTest, BytesBothWaysAndQueues) {
    OpenOk();
    Pty.Send("abc");
    ASSERT_TRUE(Comm.WaitInput(1000));
    // The pty may hand the bytes over in steps.
    for (int i = 0; i < 100 && Comm.InQueCount() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(Comm.InQueCount(), 3);
    char b[8] = {};
    EXPECT_EQ(Comm.Read(b, 8), 3);
    EXPECT_EQ(std::string(b, 3), "abc");
    EXPECT_EQ(Comm.InQueCount(), 0);

    const unsigned char out[] = {0xA0, 0x00, 0x11, 0x13, 0xFF};
    EXPECT_EQ(Comm.Write(out, 5), 5);
    EXPECT_EQ(Pty.Receive(5), std::string(reinterpret_cast<const char*>(out), 5));
    EXPECT_GE(Comm.OutQueCount(), 0);

    Pty.Send("xyz");
    ASSERT_TRUE(Comm.WaitInput(1000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Comm.PurgeIn();
    EXPECT_EQ(Comm.InQueCount(), 0);
    EXPECT_EQ(Comm.Read(b, 8), 0);
    Comm.PurgeOut();
}

TEST_F(CommTest, XonXoffBytesPassAsDataWithoutSoftwareFlow) {
    termios pre = Pty.Line();
    pre.c_iflag |= IXON; // the kernel's default
    Pty.SetLine(pre);
    OpenOk(); // fcDefault
    Pty.Send(std::string("\x11\x13\x00\x7f", 4));
    std::string got;
    const auto start = Clock::now();
    while (got.size() < 4 && MsSince(start) < 1000) {
        if (!Comm.WaitInput(100)) continue;
        char b[8];
        const int n = Comm.Read(b, 8);
        got.append(b, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, std::string("\x11\x13\x00\x7f", 4));
}

TEST_F(CommTest, ModemLinesOnAPseudoTerminal) {
    OpenOk();
    // A pty has no modem lines: the query fails, which reads as false.
    for (int line = 1; line <= 4; ++line)
        EXPECT_FALSE(Comm.GetModemState(line)) << line;
    Comm.SetAssumeCTS(true);
    EXPECT_TRUE(Comm.GetModemState(1));
    for (int line : {0, 2, 5, -1})
        EXPECT_FALSE(Comm.GetModemState(line)) << line;
    Comm.Close();
    EXPECT_FALSE(Comm.GetModemState(1));
}

TEST_F(CommTest, PortMapNamesTheDeviceAndNoCts) {
    TempFile map("# test line\nCOM1 " + Pty.Slave + " nocts\nCom2 " + Pty.Slave + "\n");
    Comm.SetPortMapFile(map.Path);
    Comm.SetDeviceName("com1");
    OpenOk();
    EXPECT_EQ(Comm.DevicePath(), Pty.Slave);
    EXPECT_TRUE(Comm.GetModemState(1));
    EXPECT_FALSE(Comm.GetModemState(5));
    EXPECT_FALSE(Comm.AssumeCTS()); // the map's word holds for this open only
    Comm.Close();
    EXPECT_FALSE(Comm.GetModemState(1));

    Comm.SetDeviceName("Com2"); // same device without nocts
    OpenOk();
    EXPECT_FALSE(Comm.GetModemState(1));
}

TEST_F(CommTest, OpenFailuresLeaveThePortClosedWithAReason) {
    TempFile file("not a serial line");
    TempFile badMap("Com1 /dev/ttyUSB0 nocts extra\n");
    struct Case {
        std::string name, mapFile;
        int error;
        std::string textPart;
    };
    const std::vector<Case> cases = {
        {file.Path, "", ENOTTY, "not a serial device"},
        {"/dev/null", "", ENOTTY, "not a serial device"}, // a character device, no tty
        {"/dev/orvan-no-such-tty", "", ENOENT, "no such device"},
        {"Com1", badMap.Path, EINVAL, "line 1"},
        {"Com9", "", EINVAL, "Com9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TComm comm;
        comm.SetDeviceName(c.name);
        comm.SetPortMapFile(c.mapFile.empty() ? "/nonexistent/ports.map" : c.mapFile);
        EXPECT_NO_THROW(comm.Open());
        EXPECT_FALSE(comm.Enabled());
        EXPECT_EQ(comm.LastError(), c.error);
        EXPECT_NE(comm.LastErrorText().find(c.textPart), std::string::npos) << comm.LastErrorText();
        EXPECT_EQ(comm.InQueCount(), -1);
    }
}

TEST_F(CommTest, ALineInUseIsBusy) {
    OpenOk();
    TComm second;
    second.SetDeviceName(Pty.Slave);
    second.Open();
    EXPECT_FALSE(second.Enabled());
    EXPECT_EQ(second.LastError(), EBUSY);
    EXPECT_NE(second.LastErrorText().find("in use by another program"), std::string::npos);
    Comm.Close();
    second.Open();
    EXPECT_TRUE(second.Enabled());
}

TEST_F(CommTest, WaitInputWakesOnDataAndTimesOutOtherwise) {
    OpenOk();
    auto start = Clock::now();
    EXPECT_FALSE(Comm.WaitInput(150));
    EXPECT_GE(MsSince(start), 140);
    EXPECT_LT(MsSince(start), 1000);

    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Pty.Send("B");
    });
    start = Clock::now();
    EXPECT_TRUE(Comm.WaitInput(3000));
    EXPECT_LT(MsSince(start), 1500);
    sender.join();
    char b = 0;
    EXPECT_EQ(Comm.Read(&b, 1), 1);
    EXPECT_EQ(b, 'B');
}

TEST_F(CommTest, ALineThatVanishesRaisesInsteadOfHanging) {
    OpenOk();
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Pty.CloseMaster();
    });
    const auto start = Clock::now();
    ExpectCommError([&] { Comm.WaitInput(5000); }, "Read error", EIO);
    EXPECT_LT(MsSince(start), 1500);
    closer.join();
    char b = 0;
    EXPECT_THROW(Comm.Read(&b, 1), ECommError);
    EXPECT_THROW(Comm.Write(&b, 1), ECommError);
    Comm.Close();
    EXPECT_FALSE(Comm.Enabled());
}

TEST_F(CommTest, BytesLeftBeforeAHangUpCanStillBeRead) {
    OpenOk();
    Pty.Send("Z");
    ASSERT_TRUE(Comm.WaitInput(1000));
    Pty.CloseMaster();
    char b = 0;
    // Either the byte survives the hang-up or the line reports it as gone;
    // it never reads as an empty queue that could be polled forever.
    try {
        EXPECT_TRUE(Comm.WaitInput(100));
        EXPECT_EQ(Comm.Read(&b, 1), 1);
        EXPECT_EQ(b, 'Z');
    } catch (const ECommError& e) {
        EXPECT_EQ(e.ErrorCode, EIO);
    }
    EXPECT_THROW(Comm.WaitInput(100), ECommError);
}

// A reply's wait and read in one call, on the blocking descriptor (a slice
// or more) and on the poll's way (shorter): the byte that comes, nothing
// from a silent line, and a line that goes away mid-wait.
TEST(CommWaitRead, TakesTheReplyOrTellsWhyNot) {
    enum class Far { Answers, Silent, HangsUp };
    struct Case {
        const char* what;
        int waitMs;
        Far far;
    };
    const Case cases[] = {
        {"reply, blocking read", 3 * ReplySliceMs, Far::Answers},
        {"reply, polled", ReplySliceMs / 2, Far::Answers},
        {"silence, blocking read", ReplySliceMs, Far::Silent},
        {"silence, polled", ReplySliceMs / 2, Far::Silent},
        {"hang-up, blocking read", 20 * ReplySliceMs, Far::HangsUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        TComm comm;
        comm.SetDeviceName(pty.Slave);
        comm.Open();
        ASSERT_TRUE(comm.Enabled()) << comm.LastErrorText();
        std::thread far([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (c.far == Far::Answers) pty.Send("\xB5");
            if (c.far == Far::HangsUp) pty.CloseMaster();
        });
        uint8_t b = 0;
        switch (c.far) {
        case Far::Answers: {
            int n = 0;
            for (int k = 0; k < 50 && n == 0; ++k) // a wait may end early
                n = comm.WaitRead(&b, 1, c.waitMs);
            EXPECT_EQ(n, 1);
            EXPECT_EQ(b, 0xB5);
            break;
        }
        case Far::Silent:
            EXPECT_EQ(comm.WaitRead(&b, 1, c.waitMs), 0);
            break;
        case Far::HangsUp:
            ExpectCommError(
                [&] {
                    for (int k = 0; k < 50; ++k)
                        comm.WaitRead(&b, 1, c.waitMs);
                },
                "Read error", EIO);
            EXPECT_FALSE(comm.Enabled());
            EXPECT_TRUE(comm.LineLost());
            break;
        }
        far.join();
    }
}

TEST_F(CommTest, AStalledWriteTimesOut) {
    Comm.SetWriteTimeout(100);
    OpenOk();
    // Nobody reads the master: the line fills up and a write must give up.
    const std::string chunk(4096, 'w');
    int result = 0;
    const auto start = Clock::now();
    for (int i = 0; i < 1000 && result != -1; ++i) {
        const auto before = Clock::now();
        result = Comm.Write(chunk.data(), static_cast<int>(chunk.size()));
        EXPECT_LT(MsSince(before), 1000);
    }
    EXPECT_EQ(result, -1);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_GE(Comm.OutQueCount(), 0);
}

TEST_F(CommTest, TenThousandBytesArriveInOrder) {
    Comm.SetFlowControl(fcNone);
    Comm.SetBaudRate(br115200);
    OpenOk();
    std::string sent(10000, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    std::thread writer([&] {
        for (size_t off = 0; off < sent.size(); off += 1000)
            Pty.Send(sent.substr(off, 1000));
    });
    std::string got;
    const auto start = Clock::now();
    while (got.size() < sent.size() && MsSince(start) < 10000) {
        if (!Comm.WaitInput(200)) continue;
        char b[512];
        const int n = Comm.Read(b, sizeof b);
        ASSERT_GE(n, 0);
        got.append(b, static_cast<size_t>(n));
    }
    writer.join();
    ASSERT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
}

} // namespace
} // namespace orvan
