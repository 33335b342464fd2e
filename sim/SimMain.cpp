// writer-sim: a stand-in for the writer unit on a pseudo-terminal. Prints
// the slave path on its first line of output; the host opens that path as
// its serial line (through ports.map, with nocts: a pty has no CTS wire).
#include "sim/SimChip.h"
#include "sim/SimWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <strings.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace orvan::sim;

namespace {

volatile sig_atomic_t StopSignal = 0;
void OnSignal(int) {
    StopSignal = 1;
}

const char* Usage =
    "usage: writer-sim [options]\n"
    "  --model MODEL          chip in the socket (default OV128)\n"
    "  --image FILE           keep the chip in FILE (read when present, else blank)\n"
    "  --fresh-chip           after each completed programming run (program memory,\n"
    "                         ID and OPTION programmed, then the OPTION read back)\n"
    "                         keep the used chip as FILE.1, FILE.2, ... and put a\n"
    "                         blank one in the socket\n"
    "  --type 1|2|universal   poll answer B2, B3 or B4 (default universal)\n"
    "  --firmware TEXT        firmware text for the AD request (12 characters)\n"
    "  --ports-map FILE       put 'PORT <pty> nocts' in FILE (with --port, default Com1),\n"
    "                         keeping its other lines; the line goes when writer-sim ends\n"
    "  --port ComN\n"
    "  --link PATH            make PATH a symbolic link to the pty\n"
    "  --pace                 pace every byte as a 115200-baud line (86.8 us each way)\n"
    "  --latency MS           model a USB adapter's latency timer: each reply is held\n"
    "                         until the next multiple of MS after the byte that caused it\n"
    "  --control FILE         fault lines (options below without '--'), re-read\n"
    "                         whenever FILE changes; steps then count from 0 again\n"
    "  --verbose              log every byte on stderr\n"
    "Faults (steps count received bytes from 0):\n"
    "  --empty-socket         FE to every header\n"
    "  --adapter-error        FD to every header\n"
    "  --fail-at AREA:BYTE    B1 at data byte BYTE of an area's programming block\n"
    "  --silent               no reply at all; --silent-from STEP: from STEP on\n"
    "  --bad-reply STEP:HH    reply HH (hex) to STEP instead\n"
    "  --delay MS             every reply MS milliseconds late\n"
    "  --drop-at STEP         the line goes away when STEP arrives\n"
    "  --weak-option HHHH     these OPTION bits read 0 once the word is programmed\n";

bool ParseLong(const std::string& t, long& v, int base = 10) {
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtol(t.c_str(), &end, base);
    return errno == 0 && end && *end == 0 && v >= 0;
}

bool ParsePair(const std::string& t, long& a, long& b, int baseB) {
    const auto colon = t.find(':');
    return colon != std::string::npos && ParseLong(t.substr(0, colon), a) &&
           ParseLong(t.substr(colon + 1), b, baseB);
}

// One fault option (name without "--"); `value` is the word after it, and
// `usedValue` tells whether it was taken. False with `error` set when the
// option is unknown or malformed.
bool ApplyFault(const std::string& name, const std::string* value, TSimFaults& f, bool& usedValue,
                std::string& error) {
    usedValue = false;
    auto bad = [&](const char* why) {
        error = name + ": " + why;
        return false;
    };
    long a = 0, b = 0;
    if (name == "empty-socket")
        f.EmptySocket = true;
    else if (name == "adapter-error")
        f.AdapterError = true;
    else if (name == "silent")
        f.SilentFrom = 0;
    else {
        if (!value)
            return bad(name == "silent-from" || name == "drop-at" || name == "delay" ||
                               name == "fail-at" || name == "bad-reply" || name == "weak-option"
                           ? "needs a value"
                           : "unknown fault");
        usedValue = true;
        if (name == "silent-from") {
            if (!ParseLong(*value, a)) return bad("takes a step number");
            f.SilentFrom = a;
        } else if (name == "drop-at") {
            if (!ParseLong(*value, a)) return bad("takes a step number");
            f.DropAt = a;
        } else if (name == "delay") {
            if (!ParseLong(*value, a) || a > 60000) return bad("takes milliseconds, 0..60000");
            f.DelayMs = static_cast<int>(a);
        } else if (name == "fail-at") {
            if (!ParsePair(*value, a, b, 10) || a > 5) return bad("takes AREA:BYTE");
            f.FailArea = static_cast<int>(a);
            f.FailByte = b;
        } else if (name == "bad-reply") {
            if (!ParsePair(*value, a, b, 16) || b > 0xFF) return bad("takes STEP:HH");
            f.BadReplyStep = a;
            f.BadReplyByte = static_cast<uint8_t>(b);
        } else if (name == "weak-option") {
            if (!ParseLong(*value, a, 16) || a > 0x3FFF) return bad("takes HHHH, at most 3FFF");
            f.WeakOptionBits = static_cast<uint16_t>(a);
        } else {
            usedValue = false;
            return bad("unknown fault");
        }
    }
    return true;
}

bool ReadControl(const std::string& path, TSimFaults& f, std::string& error) {
    std::ifstream in(path);
    if (!in) return true; // no file: no faults
    f = TSimFaults{};
    std::string line;
    while (std::getline(in, line)) {
        if (auto h = line.find('#'); h != std::string::npos) line.resize(h);
        std::istringstream s(line);
        std::string name, value;
        if (!(s >> name)) continue;
        const bool hasValue = static_cast<bool>(s >> value);
        bool used = false;
        if (!ApplyFault(name, hasValue ? &value : nullptr, f, used, error)) return false;
    }
    return true;
}

// 10 bits per byte at 115200 baud, in nanoseconds.
constexpr int64_t ByteNs = 86'806;
// About a timer's wake-up latency on a loaded machine.
constexpr int64_t SpinNs = 60'000;

struct TOut {
    int64_t DueNs;
    uint8_t Byte;
};

int64_t NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp." + std::to_string(getpid());
    {
        std::ofstream f(tmp, std::ios::trunc);
        f << text;
        if (!f.flush()) return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

// Simulators started side by side take turns with a shared map through a
// lock on its folder (a lock on the file would not survive the rename).
class TFolderLock {
  public:
    explicit TFolderLock(const std::string& file) {
        const size_t slash = file.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
        Fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (Fd >= 0) flock(Fd, LOCK_EX);
    }
    ~TFolderLock() {
        if (Fd >= 0) close(Fd);
    }
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

  private:
    int Fd = -1;
};

constexpr const char* MapHeading = "# written by writer-sim";

bool SamePort(std::string a, const std::string& b) {
    if (a.rfind("\xEF\xBB\xBF", 0) == 0) a.erase(0, 3);
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Puts `line` in the map as PORT's line, or (remove) takes PORT's line out
// while it is still `line`: the lines of other ports, and a newer
// simulator's line for this one, stay. A map left with nothing but the
// heading goes.
bool UpdatePortsMap(const std::string& path, const std::string& port, const std::string& line,
                    bool remove) {
    TFolderLock lock(path);
    std::ifstream in(path);
    const bool existed = bool(in);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        std::istringstream words(l);
        std::string name;
        words >> name;
        if (SamePort(name, port) && (!remove || l == line)) continue;
        lines.push_back(l);
    }
    if (!remove) {
        if (!existed) lines.insert(lines.begin(), MapHeading);
        lines.push_back(line);
    }
    bool entries = false;
    std::string text;
    for (const std::string& l : lines) {
        if (!l.empty() && l != MapHeading) entries = true;
        text += l + "\n";
    }
    if (remove && !entries) return unlink(path.c_str()) == 0 || errno == ENOENT;
    return WriteFileText(path, text);
}

} // namespace

int main(int argc, char** argv) {
    std::string model = "OV128", image, portsMap, port = "Com1", link, control;
    std::string firmware = "OW-SIM V1.00";
    TWriterKind kind = TWriterKind::Universal;
    bool fresh = false, pace = false, verbose = false;
    int64_t latencyNs = 0;
    TSimFaults faults;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const std::string* next = nullptr;
        std::string nextValue;
        if (i + 1 < argc) {
            nextValue = argv[i + 1];
            next = &nextValue;
        }
        auto take = [&](std::string& into) {
            if (!next) {
                std::cerr << "writer-sim: " << a << " needs a value\n";
                std::exit(2);
            }
            into = *next;
            ++i;
        };
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == "--model")
            take(model);
        else if (a == "--image")
            take(image);
        else if (a == "--fresh-chip")
            fresh = true;
        else if (a == "--firmware")
            take(firmware);
        else if (a == "--ports-map")
            take(portsMap);
        else if (a == "--port")
            take(port);
        else if (a == "--link")
            take(link);
        else if (a == "--pace")
            pace = true;
        else if (a == "--latency") {
            std::string t;
            take(t);
            long ms = 0;
            if (!ParseLong(t, ms) || ms < 1 || ms > 1000) {
                std::cerr << "writer-sim: --latency takes milliseconds, 1..1000\n";
                return 2;
            }
            latencyNs = ms * 1'000'000;
        } else if (a == "--control")
            take(control);
        else if (a == "--verbose")
            verbose = true;
        else if (a == "--type") {
            std::string t;
            take(t);
            if (t == "1")
                kind = TWriterKind::Type1;
            else if (t == "2")
                kind = TWriterKind::Type2;
            else if (t == "universal" || t == "u")
                kind = TWriterKind::Universal;
            else {
                std::cerr << "writer-sim: --type is 1, 2 or universal\n";
                return 2;
            }
        } else if (a.rfind("--", 0) == 0) {
            bool used = false;
            std::string error;
            if (!ApplyFault(a.substr(2), next, faults, used, error)) {
                std::cerr << "writer-sim: " << error << " (see --help)\n";
                return 2;
            }
            if (used) ++i;
        } else {
            std::cerr << "writer-sim: unexpected argument " << a << " (see --help)\n";
            return 2;
        }
    }

    TSimChip chip;
    std::string error;
    if (!image.empty() && access(image.c_str(), F_OK) == 0) {
        if (!chip.Load(image, error)) {
            std::cerr << "writer-sim: " << error << "\n";
            return 1;
        }
    } else if (!chip.MakeBlank(model)) {
        std::cerr << "writer-sim: unknown model " << model << "\n";
        return 2;
    }
    auto save = [&] {
        std::string e;
        if (!image.empty() && !chip.Save(image, e)) std::cerr << "writer-sim: " << e << "\n";
    };
    save();

    TSimConfig config;
    config.Kind = kind;
    config.Firmware = firmware;
    TSimWriter writer(chip, config);
    writer.SetFaults(faults);
    writer.OnChipChanged = save;
    writer.OnRunComplete = [&] {
        if (!fresh) return;
        if (!image.empty()) {
            std::string used;
            for (int n = 1;; ++n) {
                used = image + "." + std::to_string(n);
                if (access(used.c_str(), F_OK) != 0) break;
            }
            std::string e;
            if (!chip.Save(used, e)) std::cerr << "writer-sim: " << e << "\n";
        }
        const std::string m = chip.Model;
        chip.MakeBlank(m);
        save();
    };

    // Signals are caught before the line is announced: a stop right after
    // the announcement still takes the map line out again.
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t block, waitMask;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGINT);
    sigprocmask(SIG_BLOCK, &block, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("writer-sim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = ptsname(master);
    // Held open so the master never reads as hung up while no host is
    // attached (which would wake poll for ever), and made raw so nothing
    // is echoed before the host sets its own line.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) {
        std::perror("writer-sim: slave");
        return 1;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);

    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(slavePath.c_str(), link.c_str()) != 0) {
            std::perror("writer-sim: --link");
            return 1;
        }
    }
    const std::string mapLine = port + " " + slavePath + " nocts";
    if (!portsMap.empty() && !UpdatePortsMap(portsMap, port, mapLine, false)) {
        std::cerr << "writer-sim: cannot write " << portsMap << "\n";
        return 1;
    }
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    // Precise wake-ups for the paced line.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    timespec controlStamp{};
    off_t controlSize = -1;
    std::deque<TOut> out;
    int64_t lastInNs = 0, lastOutNs = 0;
    std::vector<uint8_t> reply;
    bool lineFull = false; // the last write took nothing
    int rc = 0;

    while (!StopSignal) {
        pollfd pfd{master, POLLIN, 0};
        int64_t now = NowNs();
        // A paced byte due within a timer's wake-up latency is waited for
        // on the clock: the line's pace is the point of pacing.
        if (!out.empty() && out.front().DueNs > now && out.front().DueNs - now <= SpinNs) {
            while ((now = NowNs()) < out.front().DueNs) {
            }
        }
        const bool due = !out.empty() && out.front().DueNs <= now;
        if (due) pfd.events |= POLLOUT;
        timespec ts{}, *timeout = nullptr;
        if (!out.empty() && !due) {
            const int64_t wait = out.front().DueNs - now - SpinNs;
            ts.tv_sec = wait / 1'000'000'000;
            ts.tv_nsec = wait % 1'000'000'000;
            timeout = &ts;
        }
        // A due byte goes out at once: a poll first would only say that the
        // line takes it, one more system call between a byte and its reply.
        // A line found full is polled; the next turn takes what arrived.
        if (!due || lineFull) {
            const int n = ppoll(&pfd, 1, timeout, &waitMask);
            if (n < 0) {
                if (errno == EINTR) continue;
                std::perror("writer-sim: poll");
                rc = 1;
                break;
            }
        }
        if (pfd.revents & POLLIN) {
            // The byte is there when the poll wakes; its read falls inside
            // the reply's hold.
            const int64_t readNs = NowNs();
            uint8_t buf[512];
            const ssize_t got = read(master, buf, sizeof buf);
            if (got > 0) {
                if (!control.empty()) {
                    struct stat st {};
                    if (stat(control.c_str(), &st) == 0 &&
                        (st.st_mtim.tv_sec != controlStamp.tv_sec ||
                         st.st_mtim.tv_nsec != controlStamp.tv_nsec || st.st_size != controlSize)) {
                        controlStamp = st.st_mtim;
                        controlSize = st.st_size;
                        TSimFaults f;
                        std::string e;
                        if (ReadControl(control, f, e))
                            writer.SetFaults(f);
                        else
                            std::cerr << "writer-sim: " << control << ": " << e << "\n";
                    }
                }
                for (ssize_t k = 0; k < got; ++k) {
                    reply.clear();
                    writer.OnByte(buf[k], readNs / 1'000'000, reply);
                    if (verbose) {
                        std::fprintf(stderr, "writer-sim: step %ld in %02X out", writer.Steps() - 1,
                                     buf[k]);
                        for (uint8_t r : reply)
                            std::fprintf(stderr, " %02X", r);
                        std::fputc('\n', stderr);
                    }
                    if (writer.DropRequested()) break;
                    // The byte has fully arrived one byte time after it began.
                    int64_t arrived = readNs;
                    if (pace) arrived = std::max(readNs, lastInNs) + ByteNs;
                    lastInNs = arrived;
                    int64_t due = arrived + int64_t(writer.Faults().DelayMs) * 1'000'000;
                    // The adapter's timer runs on its own; a reply waits
                    // for its next tick.
                    if (latencyNs > 0 && !reply.empty()) due = (due / latencyNs + 1) * latencyNs;
                    for (uint8_t r : reply) {
                        if (pace) due = std::max(due, lastOutNs) + ByteNs;
                        lastOutNs = due;
                        out.push_back({due, r});
                    }
                }
                if (writer.DropRequested()) {
                    std::cerr << "writer-sim: line dropped at step " << writer.Faults().DropAt
                              << "\n";
                    break;
                }
            }
        }
        // Send what is due, in one write where possible.
        uint8_t chunk[512];
        size_t count = 0;
        const int64_t sendNow = NowNs();
        while (count < out.size() && count < sizeof chunk && out[count].DueNs <= sendNow) {
            chunk[count] = out[count].Byte;
            ++count;
        }
        if (count > 0) {
            const ssize_t w = write(master, chunk, count);
            if (w > 0) out.erase(out.begin(), out.begin() + w);
            lineFull = w <= 0;
        }
    }

    save();
    close(master);
    close(slave);
    if (!link.empty()) unlink(link.c_str());
    if (!portsMap.empty()) UpdatePortsMap(portsMap, port, mapLine, true);
    return rc;
}
