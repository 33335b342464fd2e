// ops-bench: the largest model's full image programmed, verified and read
// back through the operation workers (as orvan-cli runs them) against
// writer-sim pacing every byte as a 115200-baud line. Prints each phase's
// time beside its wire limit, the host CPU spent meanwhile and how often the
// host's threads went to sleep (each sleep is a wake-up later) a data byte.
//
//   ops-bench [--sim PATH] [--model MODEL]
#include "link/WriterLink.h"
#include "ops/OpLayout.h"
#include "ops/Operation.h"
#include "session/Operations.h"
#include "session/Workspace.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace orvan;

namespace {

constexpr double ByteUs = 1e7 / 115200; // 10 bits a byte

double CpuSeconds(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TMark {
    double Wall = 0, Cpu = 0;
    long Sleeps = 0; // voluntary context switches, every thread of the host
    static TMark Now() {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return {WallSeconds(), CpuSeconds(u), u.ru_nvcsw};
    }
};

// `dataBytes`: the block's own bytes, for the wake-ups a byte.
void Report(const char* phase, const TMark& from, const TMark& to, double wireBytes,
            int dataBytes) {
    const double wall = to.Wall - from.Wall;
    const double limit = wireBytes * ByteUs / 1e6;
    std::printf("%-22s %7.3f s   wire limit %7.3f s (%5.1f%%)   host CPU %6.3f s (%4.1f%% of a "
                "core)   %5.2f wake-ups a byte\n",
                phase, wall, limit, limit / wall * 100, to.Cpu - from.Cpu,
                (to.Cpu - from.Cpu) / wall * 100, double(to.Sleeps - from.Sleeps) / dataBytes);
}

// Runs one operation; `onUpdate` sees every update at the time it reached
// this thread. True when the operation passed.
bool Run(TWorkspace& ws, TWriterLink& link, TOpKind kind,
         const std::function<void(const TOpUpdate&)>& onUpdate = {}) {
    return RunOperation(ws, link, LayoutOf(kind).Routine,
                        [&](const TOpUpdate& u) {
                            if (onUpdate) onUpdate(u);
                        })
        .Pass;
}

} // namespace

int main(int argc, char** argv) {
    std::string simPath = WRITER_SIM, model = "OV132";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--sim")
            simPath = argv[i + 1];
        else if (a == "--model")
            model = argv[i + 1];
    }
    const test::TTempDir dir;
    int rc = 1;
    {
        const test::TSimProcess sim(
            dir.Path(), {"--model", model, "--ports-map", "ports.map", "--pace"}, simPath);
        if (!sim.Started()) {
            std::fprintf(stderr, "ops-bench: cannot start %s\n", simPath.c_str());
            return 1;
        }
        auto ws = std::make_unique<TWorkspace>();
        if (!ws->SelectDevice(model)) {
            std::fprintf(stderr, "ops-bench: unknown model %s\n", model.c_str());
            return 1;
        }
        auto link = std::make_unique<TWriterLink>();
        link->Comm1.SetPortMapFile(dir.File("ports.map"));
        if (const std::string e = link->CheckComPort("Com1", -1); link->PortFailed) {
            std::fprintf(stderr, "ops-bench: %s\n", e.c_str());
            return 1;
        }
        const int n = ws->Device.ICMemBytes;
        std::mt19937 rng(11);
        for (int k = 0; k < n / 2; ++k)
            SetWord(ws->Buffers.ProgramBuffer.data(), k, rng() & 0x3FFF);
        ws->CalChecksum();
        std::printf("ops-bench: %s, %d words (%d bytes), writer-sim paced at 115200 baud\n",
                    model.c_str(), n / 2, n);

        // Program memory: the acknowledged stream, then the read-back.
        TMark start = TMark::Now(), streamed{}, done{};
        const bool programmed = Run(*ws, *link, TOpKind::ProgramMemory, [&](const TOpUpdate& u) {
            if (u.Kind != TOpUpdate::TKind::Text) return;
            if (u.Text == "Program Ok!!") streamed = TMark::Now();
            if (u.Control == "Label2" && u.Text.size() > 4) done = TMark::Now();
        });
        // Header and poll on top of the data: 11 bytes out, 2 replies.
        Report("program (stream)", start, streamed, 2.0 * n + 13, n);
        Report("program (read-back)", streamed, done, n + 11, n);

        start = TMark::Now();
        const bool verified = Run(*ws, *link, TOpKind::Verify);
        done = TMark::Now();
        // Poll, three headers and three replies with their end marks.
        Report("verify", start, done, 2 + 30 + (2 + 1) + (32 + 1) + (n + 1), n);

        start = TMark::Now();
        TMark stream{};
        ws->ReadDone = false;
        const bool read = Run(*ws, *link, TOpKind::Read, [&](const TOpUpdate& u) {
            if (u.Kind == TOpUpdate::TKind::Gauge && u.Value == 0) stream = TMark::Now();
        });
        done = TMark::Now();
        Report("read (whole)", start, done, 2 + 40 + 7 + 7 + 33 + (n + 1), n);
        Report("read (program memory)", stream, done, 10 + n + 1, n);

        std::printf("program %s, verify %s, read %s\n", programmed ? "ok" : "FAILED",
                    verified ? "ok" : "FAILED", read ? "ok" : "FAILED");
        rc = programmed && verified && read ? 0 : 1;
    }
    return rc;
}
