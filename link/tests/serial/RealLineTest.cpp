// What a real line adds to a pseudo-terminal: the handshake lines and the
// driver's low-latency flag (through a stand-in for the driver's modem and
// serial requests), other processes holding the device, and a line that
// hangs up under the link.
#include "link/Commint.h"
#include "link/PortHolders.h"
#include "link/WriterLink.h"
#include "session/Operations.h"
#include "session/Workspace.h"
#include "testlib/Files.h"
#include "testlib/PtyPair.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

namespace orvan {
namespace {

using test::PtyPair;

// The component on a pty whose driver requests for modem-control lines and
// serial flags reach a stand-in that keeps them as a UART driver would.
class TLineStandIn final : public TCustomComm {
  public:
    ~TLineStandIn() override { Close(); }

    int Modem = TIOCM_DTR | TIOCM_RTS; // raised at open, as the kernel does
    int SerialFlags = 0;
    bool HasSerial = true; // a UART driver; false: a pty-like refusal
    int SerialSets = 0;

  protected:
    int DeviceIoctl(int, unsigned long request, void* arg) override {
        switch (request) {
        case TIOCMBIS:
            Modem |= *static_cast<int*>(arg);
            return 0;
        case TIOCMBIC:
            Modem &= ~*static_cast<int*>(arg);
            return 0;
        case TIOCGSERIAL:
            if (!HasSerial) return -1;
            *static_cast<serial_struct*>(arg) = serial_struct{};
            static_cast<serial_struct*>(arg)->flags = SerialFlags;
            return 0;
        case TIOCSSERIAL:
            if (!HasSerial) return -1;
            SerialFlags = static_cast<serial_struct*>(arg)->flags;
            ++SerialSets;
            return 0;
        default:
            return -1;
        }
    }
};

bool Dtr(const TLineStandIn& c) {
    return c.Modem & TIOCM_DTR;
}
bool Rts(const TLineStandIn& c) {
    return c.Modem & TIOCM_RTS;
}

TEST(HandshakeLines, DtrAndRtsUnderEachHandshake) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const struct {
        TFlowControl Flow;
        bool Dtr, Rts;
    } cases[] = {
        {fcNone, false, false},   // no handshake: neither line driven
        {fcCTS, true, true},      // RTS is the handshake line
        {fcDTR, true, true},      // DTR asserted for its handshake
        {fcSoftware, true, true}, // the lines as the open left them
        {fcDefault, true, true},
    };
    for (const auto& c : cases) {
        TLineStandIn comm;
        comm.SetDeviceName(pty.Slave);
        comm.SetFlowControl(c.Flow);
        comm.Open();
        ASSERT_TRUE(comm.Enabled()) << comm.LastErrorText();
        EXPECT_EQ(Dtr(comm), c.Dtr) << c.Flow;
        EXPECT_EQ(Rts(comm), c.Rts) << c.Flow;
    }
    // Changed while open: "None" drops both; "CTS" raises RTS again and
    // leaves DTR as "None" left it; "Default" changes nothing.
    TLineStandIn comm;
    comm.SetDeviceName(pty.Slave);
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    comm.SetFlowControl(fcNone);
    EXPECT_FALSE(Dtr(comm));
    EXPECT_FALSE(Rts(comm));
    comm.SetFlowControl(fcCTS);
    EXPECT_FALSE(Dtr(comm));
    EXPECT_TRUE(Rts(comm));
    comm.SetFlowControl(fcDefault);
    EXPECT_FALSE(Dtr(comm));
    EXPECT_TRUE(Rts(comm));
    // The link's handshake selector: "None" is index 2.
    comm.Close();
    comm.Modem = TIOCM_DTR | TIOCM_RTS;
    comm.SetFlowControl(FlowControlOf(2));
    comm.Open();
    EXPECT_EQ(comm.Modem & (TIOCM_DTR | TIOCM_RTS), 0);
}

TEST(LowLatency, AskedForAtOpenAndPutBackAtClose) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TLineStandIn comm;
    comm.SetDeviceName(pty.Slave);
    comm.SerialFlags = ASYNC_SKIP_TEST;
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    EXPECT_TRUE(comm.LowLatency());
    EXPECT_EQ(comm.SerialFlags, ASYNC_SKIP_TEST | ASYNC_LOW_LATENCY);
    comm.Close();
    EXPECT_EQ(comm.SerialFlags, ASYNC_SKIP_TEST);

    // Already low: nothing to set, nothing to put back.
    comm.SerialFlags = ASYNC_LOW_LATENCY;
    comm.SerialSets = 0;
    comm.Open();
    EXPECT_TRUE(comm.LowLatency());
    comm.Close();
    EXPECT_EQ(comm.SerialFlags, ASYNC_LOW_LATENCY);
    EXPECT_EQ(comm.SerialSets, 0);

    // A driver without the setting opens all the same.
    comm.HasSerial = false;
    comm.Open();
    EXPECT_TRUE(comm.Enabled());
    EXPECT_FALSE(comm.LowLatency());
    comm.Close();

    // The real pty driver refuses TIOCSSERIAL too.
    TComm plain;
    plain.SetDeviceName(pty.Slave);
    plain.Open();
    EXPECT_TRUE(plain.Enabled()) << plain.LastErrorText();
}

// A child that holds `path` open under the name `name` until killed.
class THolder {
  public:
    THolder(const std::string& path, const char* name) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        Pid = ::fork();
        if (Pid == 0) {
            ::prctl(PR_SET_NAME, name);
            const int fd = ::open(path.c_str(), O_RDONLY);
            const char c = fd >= 0 ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char c = 0;
        Ok = ::read(ready[0], &c, 1) == 1 && c == 'y';
        ::close(ready[0]);
    }
    ~THolder() {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    pid_t Pid = -1;
    bool Ok = false;
};

TEST(PortHolders, FoundAsFuserFindsThem) {
    char name[] = "/tmp/orvan-held-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    const std::string path = name;
    // Ourselves only: excluded.
    EXPECT_TRUE(FindHolders(path, ::getpid()).empty());
    {
        THolder one(path, "holder-one");
        ASSERT_TRUE(one.Ok);
        auto holders = FindHolders(path, ::getpid());
        ASSERT_EQ(holders.size(), 1u);
        EXPECT_EQ(holders[0].Pid, one.Pid);
        EXPECT_EQ(HoldersText(holders),
                  "in use by holder-one (pid " + std::to_string(one.Pid) + ")");
        // Another name of the same file is the same file.
        const std::string link = path + ".link";
        ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
        EXPECT_EQ(FindHolders(link, ::getpid()).size(), 1u);
        std::remove(link.c_str());
        {
            THolder two(path, "holder-two");
            ASSERT_TRUE(two.Ok);
            holders = FindHolders(path, ::getpid());
            ASSERT_EQ(holders.size(), 2u);
            EXPECT_NE(HoldersText(holders).find(", "), std::string::npos);
        }
        // Counted without the exception: this process holds it as well.
        EXPECT_EQ(FindHolders(path, -1).size(), 2u);
    }
    EXPECT_TRUE(FindHolders(path, ::getpid()).empty());
    ::close(fd);
    std::remove(name);
    EXPECT_TRUE(FindHolders("/nonexistent/tty", -1).empty());
}

TEST(PortHolders, PseudoTerminalsAreTold) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    struct stat st {};
    ASSERT_EQ(::stat(pty.Slave.c_str(), &st), 0);
    EXPECT_TRUE(IsPseudoTerminal(st.st_rdev));
    EXPECT_FALSE(IsPseudoTerminal(makedev(4, 64)));  // /dev/ttyS0
    EXPECT_FALSE(IsPseudoTerminal(makedev(188, 0))); // /dev/ttyUSB0
    EXPECT_FALSE(IsPseudoTerminal(makedev(166, 0))); // /dev/ttyACM0
    // The simulator holds its own pty: the link opens it all the same.
    THolder other(pty.Slave, "sim-side");
    ASSERT_TRUE(other.Ok);
    TComm comm;
    comm.SetDeviceName(pty.Slave);
    comm.Open();
    EXPECT_TRUE(comm.Enabled()) << comm.LastErrorText();
}

// Close and re-open on one thread while another sits in every call that
// touches the descriptor: the waiter is woken instead of holding Close up
// for its whole wait, and nothing uses a descriptor after it was closed
// (ThreadSanitizer watches this test too).
TEST(DescriptorUse, CloseAndReopenUnderAWaitingThread) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    TComm comm;
    comm.SetDeviceName(pty.Slave);
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    std::atomic<bool> done{false};
    std::atomic<int> wakes{0};
    std::thread worker([&] {
        while (!done) {
            try {
                comm.WaitInput(1000); // long: only a close can end it early
                ++wakes;
                (void)comm.InQueCount();
                (void)comm.OutQueCount();
                comm.PurgeIn();
                comm.PurgeOut();
                (void)comm.GetModemState(1);
                uint8_t b = 0;
                (void)comm.Read(&b, 1);
                (void)comm.WaitRead(&b, 1, ReplySliceMs);
            } catch (const ECommError&) {
            }
        }
    });
    constexpr int Cycles = 10;
    for (int k = 0; k < Cycles; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        comm.Close();
        comm.Open();
        ASSERT_TRUE(comm.Enabled()) << comm.LastErrorText();
    }
    done = true;
    comm.Close();
    worker.join();
    // Under load two closes may fall between the waiter's calls, so not every
    // close finds it waiting; but it was woken.
    EXPECT_GE(wakes.load(), 1);
}

// The link on a pty whose far end the test plays: a writer that answers a
// read's header with a few data bytes and then hangs up.
struct HangUp : ::testing::Test {
    test::TTempDir Dir;
    std::unique_ptr<TWriterLink> Link = std::make_unique<TWriterLink>();
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();

    HangUp() { Link->Comm1.SetPortMapFile(Dir.File("ports.map")); }
    ~HangUp() override { Link.reset(); }
    void MapCom1(const PtyPair& pty) {
        test::WriteFile(Dir.File("ports.map"), "Com1 " + pty.Slave + " nocts\n");
    }
};

TEST_F(HangUp, MidReadSetsPortFailedAndTheNextCommandReopens) {
    auto pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->Ok());
    MapCom1(*pty);
    ASSERT_EQ(Link->CheckComPort("Com1", 2), "");
    ASSERT_TRUE(Ws->SelectDevice("OV128"));
    GetHeader(*Ws, Link->PulseWidths, HeaderArea::ProgramMemory, HeaderAction::Read);

    std::thread writer([&] {
        if (pty->Receive(10, 3000).size() == 10) pty->Send(std::string("\x01\x02\x03", 3));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty->CloseMaster();
    });
    const WriterResult r =
        Link->Protocol(Ws->Buffers, Ws->Device).Read7BitData(Ws->Device.ICMemBytes, true);
    writer.join();
    EXPECT_EQ(r, WriterResult::TimeOut);
    EXPECT_TRUE(Link->PortFailed);
    EXPECT_FALSE(Link->Comm1.Enabled());
    EXPECT_TRUE(Link->Comm1.LineLost());
    EXPECT_TRUE(Link->ExchangeOpen);
    // The window shows it once.
    EXPECT_TRUE(Link->TakeLineLostNotice());
    EXPECT_FALSE(Link->TakeLineLostNotice());
    EXPECT_EQ(Link->LineLostMessage().substr(0, 23), "Open  COM1 Port Error!!");
    // Every exchange now fails at once instead of waiting on a dead line.
    EXPECT_EQ(Link->Protocol(Ws->Buffers, Ws->Device).CheckWriter(), WriterResult::TimeOut);

    // Plugged back in (a new line behind the same port name): the next
    // command's entry opens it again.
    pty = std::make_unique<PtyPair>();
    ASSERT_TRUE(pty->Ok());
    MapCom1(*pty);
    ASSERT_EQ(Link->CheckComPort("Com1", 2), "");
    EXPECT_FALSE(Link->PortFailed);
    EXPECT_FALSE(Link->Comm1.LineLost());
    EXPECT_FALSE(Link->TakeLineLostNotice());
    std::thread answer([&] {
        if (pty->Receive(1, 5000) == "\xA0") pty->Send("\xB4");
    });
    // The read was cut off inside its block: the poll first lets the line
    // fall quiet, then gets its answer.
    EXPECT_EQ(Link->ConnectCheck(Ws->Buffers, Ws->Device), "Connect OK!");
    answer.join();
    EXPECT_FALSE(Link->ExchangeOpen);
}

TEST_F(HangUp, NoticedByTheWatcherWhileNoExchangeRuns) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    MapCom1(pty);
    // Whoever is told must find the port already closed: the handler looks
    // at the moment it is called.
    std::promise<bool> openWhenTold;
    const auto linkHandler = Link->Comm1.OnLineLost;
    Link->Comm1.OnLineLost = [&](TCustomComm& c) {
        linkHandler(c);
        openWhenTold.set_value(c.Enabled() || !c.LineLost());
    };
    ASSERT_EQ(Link->CheckComPort("Com1", -1), "");
    pty.CloseMaster();
    // Nothing reads the line: the event thread sees the hang-up and closes.
    EXPECT_FALSE(openWhenTold.get_future().get());
    EXPECT_TRUE(Link->PortFailed);
    EXPECT_FALSE(Link->Comm1.Enabled());
    // Closing what the line already closed, and opening again, are clean.
    Link->Comm1.Close();
    Link->Comm1.OnLineLost = linkHandler;
    PtyPair again;
    ASSERT_TRUE(again.Ok());
    MapCom1(again);
    EXPECT_EQ(Link->CheckComPort("Com1", -1), "");
    EXPECT_FALSE(Link->PortFailed);
    EXPECT_TRUE(Link->Comm1.Enabled());
}

} // namespace
} // namespace orvan
