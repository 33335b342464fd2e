// writer-bench: the writer protocol against writer-sim over a pseudo-terminal.
//
//  1. Host cost: a 12288-byte WriteData block and a 7-bit read, unpaced,
//     each round beside the platform's floor (a bare pty ping-pong between
//     two minimal processes), so that the host's added time per byte is the
//     median of the paired differences: a busy machine slows both halves of
//     a pair alike instead of making the floor look slower than the protocol
//     it bounds.
//  2. Paced as a 115200-baud line: the same pairs, the floor's reply held for
//     two byte times.
//  3. USB adapter latency: the time of a full-size program-memory block with
//     the simulator holding each reply for a 16 ms and a 1 ms latency timer,
//     and with none, beside the wire limit.
//  4. CPU while the host only waits.
//
//   writer-bench [--sim PATH] [--rounds N] [--full]
#include "link/Commint.h"
#include "link/Header.h"
#include "link/Protocol.h"
#include "session/Operations.h"
#include "session/Workspace.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <random>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace orvan;

namespace {

constexpr int BlockBytes = 12288;       // OV132: 6144 words
constexpr double ByteUs = 1e7 / 115200; // 10 bits a byte
constexpr int FloorExchanges = 3000;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TFigure {
    double UsPerByte = 0;
    double CpuShare = 0; // of one core
    bool Ok = false;
};

template <class F> TFigure Measure(int bytes, F&& exchange) {
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = exchange();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    TFigure f;
    f.Ok = ok;
    f.UsPerByte = wall * 1e6 / bytes;
    f.CpuShare = (CpuSeconds() - cpu0) / wall;
    return f;
}

// A simulator in a scratch directory and the line to it, opened.
class TSession {
  public:
    TSession(const std::string& simPath, std::vector<std::string> simArgs) {
        std::vector<std::string> args = {"--model", "OV132", "--ports-map", "ports.map"};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        Sim = std::make_unique<test::TSimProcess>(Dir.Path(), args, simPath);
        if (!Sim->Started()) {
            std::fprintf(stderr, "writer-bench: cannot start %s\n", simPath.c_str());
            return;
        }
        Comm.SetPortMapFile(Dir.File("ports.map"));
        Comm.SetDeviceName("Com1");
        Comm.SetBaudRate(br115200);
        Comm.Open();
        if (!Comm.Enabled()) {
            std::fprintf(stderr, "writer-bench: %s\n", Comm.LastErrorText().c_str());
            return;
        }
        Ws->SelectDevice("OV132");
        std::mt19937 rng(7);
        for (int i = 0; i < BlockBytes + 5; ++i)
            Ws->Buffers.TransferBuffer[size_t(i)] = uint8_t(rng() & 0x7F);
        Proto = std::make_unique<TWriterProtocol>(Comm, Ws->Buffers, Ws->Device, State);
    }
    ~TSession() { Comm.Close(); }
    bool Ok() const { return Proto != nullptr; }

    // A program-memory block of `bytes` (the header's last address says so).
    TFigure WriteBlock(int bytes) {
        GetHeader(*Ws, {}, HeaderArea::ProgramMemory, HeaderAction::Program);
        const int last = bytes / 2 - 1;
        Ws->Buffers.CommandHeader[3] = uint8_t(last & 0xFF);
        Ws->Buffers.CommandHeader[4] = uint8_t(last >> 8);
        if (Proto->SendHeader() != WriterResult::Ready) {
            std::fprintf(stderr, "writer-bench: program header refused\n");
            return {};
        }
        TFigure f = Measure(
            bytes, [&] { return Proto->WriteData(bytes, true) == WriterResult::BlockDone; });
        if (!f.Ok) std::fprintf(stderr, "writer-bench: WriteData failed\n");
        return f;
    }
    TFigure ReadBlock() {
        GetHeader(*Ws, {}, HeaderArea::ProgramMemory, HeaderAction::Read);
        // The read sends its header itself; it is 10 bytes against 12288.
        TFigure f = Measure(BlockBytes, [&] {
            return Proto->Read7BitData(BlockBytes, true) == WriterResult::Done;
        });
        if (!f.Ok) std::fprintf(stderr, "writer-bench: 7-bit read failed\n");
        return f;
    }
    TWriterProtocol& Protocol() { return *Proto; }

  private:
    test::TTempDir Dir;
    std::unique_ptr<test::TSimProcess> Sim;
    TComm Comm;
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
    TProtocolState State;
    std::unique_ptr<TWriterProtocol> Proto;
};

// The platform's own floor: a bare one-byte ping-pong over a pty between
// two minimal processes, the answering one holding each reply `delayNs`
// the way the paced simulator does (asleep until shortly before it is due,
// then on the clock), so that both meet a busy machine alike. Mean
// microseconds a byte, and the asking process's CPU meanwhile: what the
// platform charges the host a byte before any protocol.
TFigure BarePingPong(int64_t delayNs, int count) {
    const int m = posix_openpt(O_RDWR | O_NOCTTY);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) return {};
    const int s = open(ptsname(m), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(s, &t);
    cfmakeraw(&t);
    tcsetattr(s, TCSANOW, &t);
    auto now = [] {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
    };
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        constexpr int64_t SpinNs = 60'000; // as writer-sim
        for (int i = 0; i < count; ++i) {
            unsigned char c;
            if (read(m, &c, 1) != 1) _exit(1);
            const int64_t due = now() + delayNs;
            if (delayNs > SpinNs) {
                const int64_t wake = due - SpinNs;
                timespec ts{static_cast<time_t>(wake / 1'000'000'000),
                            static_cast<long>(wake % 1'000'000'000)};
                while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
                }
            }
            while (now() < due) {
            }
            if (write(m, &c, 1) != 1) _exit(1);
        }
        _exit(0);
    }
    const double cpu0 = CpuSeconds();
    const int64_t t0 = now();
    int done = 0;
    for (; done < count; ++done) {
        unsigned char c = 0x55;
        if (write(s, &c, 1) != 1) break;
        pollfd p{s, POLLIN, 0};
        poll(&p, 1, 1000);
        if (read(s, &c, 1) != 1) break;
    }
    const int64_t wallNs = now() - t0;
    TFigure f;
    f.Ok = done == count;
    f.UsPerByte = double(wallNs) / 1e3 / count;
    f.CpuShare = (CpuSeconds() - cpu0) / (double(wallNs) / 1e9);
    if (!f.Ok) kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(s);
    close(m);
    return f;
}

struct TSpread {
    double Median = 0, Min = 0, Max = 0;
};

TSpread Spread(std::vector<double> v) {
    TSpread s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    s.Median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    s.Min = v.front();
    s.Max = v.back();
    return s;
}

void PrintSpread(const char* label, const TSpread& s, const char* unit) {
    std::printf("  %-34s %8.2f %s  (min %.2f, max %.2f)\n", label, s.Median, unit, s.Min, s.Max);
}

// Rounds of (floor, protocol) pairs; false when an exchange failed.
bool PairedRounds(const std::string& sim, bool pace, int rounds) {
    std::vector<double> floor, write, read, diff, cpu, floorCpu, floorCpuUs, cpuUs;
    const int64_t holdNs = pace ? int64_t(2 * ByteUs * 1000) : 0;
    std::vector<std::string> args;
    if (pace) args.push_back("--pace");
    for (int r = 0; r < rounds; ++r) {
        const TFigure f = BarePingPong(holdNs, FloorExchanges);
        if (!f.Ok) {
            std::fprintf(stderr, "writer-bench: the bare ping-pong failed\n");
            return false;
        }
        TSession s(sim, args);
        if (!s.Ok()) return false;
        const TFigure w = s.WriteBlock(BlockBytes);
        const TFigure rd = s.ReadBlock();
        if (!w.Ok || !rd.Ok) return false;
        floor.push_back(f.UsPerByte);
        write.push_back(w.UsPerByte);
        read.push_back(rd.UsPerByte);
        diff.push_back(w.UsPerByte - f.UsPerByte);
        cpu.push_back(100 * w.CpuShare);
        floorCpu.push_back(100 * f.CpuShare);
        floorCpuUs.push_back(f.CpuShare * f.UsPerByte);
        cpuUs.push_back(w.CpuShare * w.UsPerByte);
    }
    if (pace)
        std::printf("paced as 115200 baud (wire: %.1f us a byte each way, %.1f us a WriteData "
                    "byte), %d rounds:\n",
                    ByteUs, 2 * ByteUs, rounds);
    else
        std::printf("unpaced (the host's own cost), %d rounds:\n", rounds);
    PrintSpread("platform floor (bare ping-pong)", Spread(floor), "us a byte");
    PrintSpread("WriteData 12288 bytes", Spread(write), "us a byte");
    PrintSpread("host's added time (paired)", Spread(diff), "us a byte");
    PrintSpread("7-bit read 12288 bytes", Spread(read), "us a byte");
    PrintSpread("host CPU during WriteData", Spread(cpu), "% of a core");
    PrintSpread("host CPU during the floor", Spread(floorCpu), "% of a core");
    PrintSpread("host CPU a WriteData byte", Spread(cpuUs), "us");
    PrintSpread("host CPU a floor byte", Spread(floorCpuUs), "us");
    if (pace) {
        const TSpread w = Spread(write);
        std::printf("  WriteData reaches %.1f%% of the wire limit (median)\n",
                    100 * 2 * ByteUs / w.Median);
    }
    return true;
}

// A full-size program-memory block with the adapter's latency timer at
// `latencyMs` (0: none). Measured over `bytes` and scaled to the block when
// a full block would take minutes.
bool LatencyFigure(const std::string& sim, int latencyMs, int bytes) {
    std::vector<std::string> args = {"--pace"};
    if (latencyMs > 0) args.insert(args.end(), {"--latency", std::to_string(latencyMs)});
    TSession s(sim, args);
    if (!s.Ok()) return false;
    const TFigure w = s.WriteBlock(bytes);
    if (!w.Ok) return false;
    const double blockS = w.UsPerByte * BlockBytes / 1e6;
    char label[32];
    if (latencyMs > 0)
        std::snprintf(label, sizeof label, "latency %2d ms", latencyMs);
    else
        std::snprintf(label, sizeof label, "no latency");
    std::printf("  %-14s %8.1f s  (%.2f ms a byte", label, blockS, w.UsPerByte / 1000);
    if (bytes < BlockBytes)
        std::printf("; measured over %d bytes)\n", bytes);
    else
        std::printf(")\n");
    return true;
}

// The host's CPU while it only waits: polls answered a second late.
bool MeasureWaiting(const std::string& sim) {
    TSession s(sim, {"--delay", "1000"});
    if (!s.Ok()) return false;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    bool ok = true;
    for (int k = 0; k < 3; ++k)
        ok = ok && s.Protocol().CheckWriter() == WriterResult::WriterUniversal;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (ok)
        std::printf("waiting (three polls answered 1 s late): host CPU %.2f%% of a core\n",
                    100 * (CpuSeconds() - cpu0) / wall);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    std::string sim = WRITER_SIM;
    int rounds = 5;
    bool full = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sim" && i + 1 < argc)
            sim = argv[++i];
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (a == "--full")
            full = true;
        else {
            std::fprintf(stderr, "usage: writer-bench [--sim PATH] [--rounds N] [--full]\n");
            return 2;
        }
    }
    if (!PairedRounds(sim, false, rounds)) return 1;
    if (!PairedRounds(sim, true, rounds)) return 1;

    std::printf("USB adapter latency: a %d-byte program-memory block, paced at 115200 baud\n"
                "  (wire limit %.1f s; each byte waits for its acknowledgement)\n",
                BlockBytes, BlockBytes * 2 * ByteUs / 1e6);
    if (!LatencyFigure(sim, 16, full ? BlockBytes : 256)) return 1;
    if (!LatencyFigure(sim, 1, full ? BlockBytes : 2048)) return 1;
    if (!LatencyFigure(sim, 0, BlockBytes)) return 1;

    if (!MeasureWaiting(sim)) return 1;
    return 0;
}
