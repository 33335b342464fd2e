#include "link/Doctor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {
namespace {

std::string Fixed(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string Names(const std::vector<TPortHolder>& holders) {
    std::string text;
    for (const TPortHolder& h : holders)
        text += (text.empty() ? "" : ", ") + h.Name + " (pid " + std::to_string(h.Pid) + ")";
    return text;
}

bool RuleInstalled() {
    for (const char* dir : {"/etc/udev/rules.d/", "/lib/udev/rules.d/", "/usr/lib/udev/rules.d/"})
        if (::access((std::string(dir) + LatencyRuleName).c_str(), F_OK) == 0) return true;
    return false;
}

// What sets the latency timer of `serial` to 1 ms.
std::string LatencyAdvice(const TSerialDevice& serial) {
    const std::string name = serial.Path.substr(serial.Path.rfind('/') + 1);
    const std::string now = "for this session: echo 1 | sudo tee /sys/bus/usb-serial/devices/" +
                            name + "/latency_timer";
    if (serial.Driver != "ftdi_sio")
        return "the udev rule " + std::string(LatencyRuleName) +
               " covers ftdi_sio adapters only; " + now;
    if (RuleInstalled())
        return "the udev rule " + std::string(LatencyRuleName) +
               " is installed but has not run for this adapter: plug it in again, or "
               "sudo udevadm trigger --action=add --subsystem-match=usb-serial";
    return "install the orvan-cli package: its udev rule /lib/udev/rules.d/" +
           std::string(LatencyRuleName) +
           " sets 1 ms as the adapter appears (or copy packaging/udev/" + LatencyRuleName +
           " to /etc/udev/rules.d); " + now;
}

bool AboveOneMs(const std::string& latency) {
    return !latency.empty() && std::atoi(latency.c_str()) > 1;
}

TDoctorCheck DeviceCheck(const TDoctorFigures& f) {
    TDoctorCheck c{"device", TVerdict::Ok, f.Port + " -> " + f.Device, ""};
    if (f.Serial.Path.empty()) {
        c.Verdict = TVerdict::Error;
        c.Text += ": no such device";
        c.Advice = "plug the writer's adapter in; orvan-cli ports and ls -l /dev/serial/by-id "
                   "show the serial devices there are";
        return c;
    }
    if (!f.Access.CharDevice) {
        c.Verdict = TVerdict::Error;
        c.Text += ": not a serial device";
        c.Advice = "name the writer's serial device (orvan-cli ports lists them)";
        return c;
    }
    if (f.Serial.Path != f.Device) c.Text += " (" + f.Serial.Path + ")";
    if (f.PseudoTerminal) {
        c.Text += ": pseudo-terminal (a simulated writer)";
        return c;
    }
    if (!f.Serial.ById.empty()) c.Text += ", " + f.Serial.ById;
    c.Text += f.Serial.Driver.empty() ? ", no driver" : ", driver " + f.Serial.Driver;
    // ttyUSB numbers follow the order adapters are found in.
    if (!f.Serial.ById.empty() && f.Device != f.Serial.ById)
        c.Advice = "name it " + f.Serial.ById + " in ports.map: it stays the same across re-plugs";
    return c;
}

TDoctorCheck PermissionCheck(const TDoctorFigures& f) {
    const TDeviceAccess& a = f.Access;
    TDoctorCheck c{"permission", TVerdict::Ok, a.Mode + " " + a.Owner + ":" + a.Group, ""};
    if (a.CanOpen) {
        c.Text += "; this user may read and write it";
        return c;
    }
    c.Verdict = TVerdict::Error;
    c.Text += "; this user may not open it";
    const bool groupRw = a.Mode.size() >= 7 && a.Mode[4] == 'r' && a.Mode[5] == 'w';
    if (!groupRw) {
        c.Advice = "only its owner may open it: ask the administrator for a udev rule that gives "
                   "a group read and write access";
    } else if (a.GroupMember && !a.SessionInGroup) {
        c.Text += " (in group " + a.Group + ", but this login session is not yet)";
        c.Advice = "log out and in again (or reboot)";
    } else {
        c.Text += " (not in group " + a.Group + ")";
        c.Advice = "sudo usermod -aG " + a.Group + " $USER, then log out and in again";
    }
    return c;
}

TDoctorCheck HoldersCheck(const TDoctorFigures& f, int openError) {
    TDoctorCheck c{"holders", TVerdict::Ok, "", ""};
    if (f.Holders.empty()) {
        c.Text = "no other program holds it";
        if (!f.OtherEnd.empty())
            c.Text += "; " + Names(f.OtherEnd) + " holds the pseudo-terminal's other end";
        if (!f.Opened && openError == EBUSY) {
            c.Verdict = TVerdict::Error;
            c.Text = "in use by a program this user cannot see";
            c.Advice = "sudo fuser -v " + f.Serial.Path + " names it";
        }
        return c;
    }
    c.Text = "held by " + Names(f.Holders);
    c.Advice = "end that program or make it leave the port before the first chip (kill PID; "
               "ModemManager: sudo systemctl disable --now ModemManager)";
    // Open refuses a held serial device; a pseudo-terminal it lets through,
    // and then two programs garble each other's exchanges.
    c.Verdict = f.Opened ? TVerdict::Warning : TVerdict::Error;
    return c;
}

TDoctorCheck LatencyCheck(const TDoctorFigures& f) {
    TDoctorCheck c{"latency", TVerdict::Ok, "", ""};
    if (f.LatencyBefore.empty()) {
        c.Text = f.PseudoTerminal ? "no latency timer: a pseudo-terminal"
                                  : "no latency timer: not a USB serial adapter";
        return c;
    }
    c.Text = "latency timer " + f.LatencyBefore + " ms before the port is open";
    if (AboveOneMs(f.LatencyBefore)) {
        c.Verdict = TVerdict::Warning;
        c.Text += ": the adapter holds each reply up to " + f.LatencyBefore +
                  " ms, and the writer answers every byte";
        c.Advice = LatencyAdvice(f.Serial);
    }
    return c;
}

TDoctorCheck OpenCheck(const TDoctorFigures& f, const TWriterLink& link, std::string error) {
    TDoctorCheck c{"open", TVerdict::Ok, "", ""};
    if (!f.Opened) {
        c.Verdict = TVerdict::Error;
        std::replace(error.begin(), error.end(), '\n', ' ');
        c.Text = error;
        switch (link.Comm1.LastError()) {
        case EACCES:
        case EPERM:
            c.Advice = "see permission";
            break;
        case EBUSY:
            c.Advice = "see holders";
            break;
        case EINVAL:
            c.Advice = "correct ports.map, or give -P the device path";
            break;
        default:
            break;
        }
        return c;
    }
    c.Text = "opened at " + std::to_string(f.Baud) + " baud, 8N1";
    if (!f.LowLatencySetting) {
        c.Text += f.PseudoTerminal ? "; no low-latency flag (a pseudo-terminal)"
                                   : "; the driver has no low-latency flag";
    } else if (f.LowLatencyBefore) {
        c.Text += "; low latency was on already";
    } else if (f.LowLatencyOpen) {
        c.Text += "; low latency off before, on while open";
    } else {
        c.Verdict = TVerdict::Warning;
        c.Text += "; the driver refused low latency";
        c.Advice = LatencyAdvice(f.Serial);
    }
    if (!f.LatencyOpen.empty()) {
        c.Text += "; latency timer " + f.LatencyOpen + " ms while open";
        if (AboveOneMs(f.LatencyOpen)) {
            c.Verdict = TVerdict::Warning;
            c.Advice = LatencyAdvice(f.Serial);
        }
    }
    return c;
}

std::string TypeName(int type) {
    return type == 0 ? "a universal writer" : "a type " + std::to_string(type) + " writer";
}

TDoctorCheck WriterCheck(TDoctorFigures& f, WriterResult r, const TDeviceState& device) {
    TDoctorCheck c{"writer", TVerdict::Ok, "", ""};
    const int wanted = static_cast<int>(device.ICWriterType);
    switch (r) {
    case WriterResult::WriterClass1:
    case WriterResult::WriterClass2:
    case WriterResult::WriterUniversal:
    case WriterResult::WriterMismatch: {
        const bool universal = r == WriterResult::WriterUniversal;
        f.WriterType = universal                         ? 0
                       : r == WriterResult::WriterClass1 ? 1
                       : r == WriterResult::WriterClass2 ? 2
                                                         : 3 - wanted; // the other type
        f.WriterReply = universal ? "B4" : f.WriterType == 1 ? "B2" : "B3";
        c.Text = "answers " + f.WriterReply + ": " + TypeName(f.WriterType) + "; " + device.ICName +
                 " takes a type " + std::to_string(wanted) +
                 " or a universal writer: " + f.ConnectMessage;
        if (r == WriterResult::WriterMismatch) {
            c.Verdict = TVerdict::Error;
            c.Advice = "put the chip on a type " + std::to_string(wanted) +
                       " or a universal writer, or choose a model this writer takes "
                       "(orvan-cli devices lists each model's writer type)";
        }
        return c;
    }
    case WriterResult::TimeOut:
        c.Verdict = TVerdict::Error;
        c.Text = "no answer to the poll: " + f.ConnectMessage;
        c.Advice = "switch the writer on, check its cable, and that the port leads to the "
                   "writer's adapter (orvan-cli ports)";
        return c;
    default:
        c.Verdict = TVerdict::Error;
        c.Text = "answers the poll with a byte no writer sends: " + f.ConnectMessage;
        c.Advice = "the port leads to another device, or the line is noisy: check that it is "
                   "the writer's";
        return c;
    }
}

TDoctorCheck FirmwareCheck(TDoctorFigures& f, TWriterLink& link, TBufferBlock& buffers,
                           const TDeviceState& device, const std::stop_token& stop) {
    TDoctorCheck c{"firmware", TVerdict::Ok, "", ""};
    if (f.WriterType != 0) {
        c.Text = TypeName(f.WriterType) + " has no firmware text (no About request)";
        return c;
    }
    WriterResult r = WriterResult::TimeOut;
    f.Firmware = link.AboutPoll(buffers, device, stop, &r);
    if (r != WriterResult::Done) {
        c.Verdict = TVerdict::Warning;
        c.Text = "the About request went unanswered";
        c.Advice = "an old firmware, or a line that drops bytes: check the cable";
        return c;
    }
    c.Text = "\"" + f.Firmware + "\"";
    return c;
}

bool Answered(WriterResult r) {
    return r == WriterResult::WriterClass1 || r == WriterResult::WriterClass2 ||
           r == WriterResult::WriterUniversal || r == WriterResult::WriterMismatch;
}

TDoctorCheck RoundTripCheck(const TRoundTrip& rt, int baud) {
    TDoctorCheck c{"round trip", TVerdict::Ok, "", ""};
    const double wireMs = baud > 0 ? 2.0 * BitsPerByte * 1000.0 / baud : 0;
    c.Text = std::to_string(rt.Polls) + " polls: median " + Fixed(rt.MedianMs, 2) +
             " ms, 95th percentile " + Fixed(rt.P95Ms, 2) + " ms (the wire alone " +
             Fixed(wireMs, 2) + " ms)";
    if (rt.Answered < rt.Polls) {
        c.Verdict = TVerdict::Error;
        c.Text += "; " + std::to_string(rt.Polls - rt.Answered) + " unanswered";
        c.Advice = "a loose cable, a noisy line or a failing adapter: check them";
    } else if (rt.MedianMs > HeldReplyMs) {
        c.Verdict = TVerdict::Warning;
        c.Text += ": replies are held back";
        c.Advice = "an adapter's latency timer above 1 ms holds them (see latency; the udev "
                   "rule " +
                   std::string(LatencyRuleName) + " sets 1 ms), or the machine is busy";
    }
    return c;
}

std::string Seconds(double s) {
    return Fixed(s, s < 10 ? 2 : 1) + " s";
}

} // namespace

const char* VerdictName(TVerdict v) {
    switch (v) {
    case TVerdict::Ok:
        return "ok";
    case TVerdict::Warning:
        return "warning";
    default:
        return "error";
    }
}

bool TDoctorReport::HasError() const {
    return Count(TVerdict::Error) > 0;
}

int TDoctorReport::Count(TVerdict v) const {
    return static_cast<int>(
        std::count_if(Checks.begin(), Checks.end(), [v](const auto& c) { return c.Verdict == v; }));
}

TRoundTrip SummarizeRoundTrips(std::vector<double> answeredMs, int polls) {
    TRoundTrip rt;
    rt.Polls = polls;
    rt.Answered = static_cast<int>(answeredMs.size());
    if (answeredMs.empty()) return rt;
    std::sort(answeredMs.begin(), answeredMs.end());
    const size_t n = answeredMs.size();
    rt.MedianMs = n % 2 ? answeredMs[n / 2] : (answeredMs[n / 2 - 1] + answeredMs[n / 2]) / 2;
    const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(n)));
    rt.P95Ms = answeredMs[std::clamp<size_t>(rank, 1, n) - 1];
    return rt;
}

TMemoryTimes EstimateMemoryTimes(int words, double roundTripMs, int baud) {
    TMemoryTimes t;
    t.Words = words;
    t.Baud = baud;
    const double byteS = baud > 0 ? double(BitsPerByte) / baud : 0;
    const double rtS = roundTripMs / 1000.0;
    const double bytes = double(words) * BytesPerWord;
    // Programming: the header and its answer, then every byte waits for its
    // answer before the next goes out.
    t.ProgramWireS = (HeaderWireBytes + 1 + 2 * bytes) * byteS;
    t.ProgramS = HeaderWireBytes * byteS + (1 + bytes) * rtS;
    // Reading: the header's answer is the first byte of a block the writer
    // streams to its end mark.
    t.ReadWireS = (HeaderWireBytes + bytes + 1) * byteS;
    t.ReadS = t.ReadWireS + rtS;
    // A pseudo-terminal answers faster than any line could carry the bytes.
    t.ProgramS = std::max(t.ProgramS, t.ProgramWireS);
    return t;
}

TDoctorReport RunDoctor(TWriterLink& link, TBufferBlock& buffers, const TDeviceState& device,
                        const TDoctorOptions& options, std::stop_token stop) {
    TDoctorReport report;
    TDoctorFigures& f = report.Figures;
    auto& checks = report.Checks;
    const std::string portName = link.Comm1.DeviceName();
    f.Port = portName;

    const TPortResolution where = ResolvePort(portName, link.Comm1.PortMapFile());
    if (!where.Ok) {
        checks.push_back({"device", TVerdict::Error, portName + ": " + where.Error,
                          "name the port in ports.map (Com1 /dev/serial/by-id/...) or give -P "
                          "the device path; orvan-cli ports lists the devices"});
        return report;
    }
    f.Device = where.Device;
    f.Serial = DescribeSerialDevice(f.Device);
    f.Access = DeviceAccessOf(f.Device);
    struct stat st {};
    f.PseudoTerminal =
        f.Access.CharDevice && ::stat(f.Device.c_str(), &st) == 0 && IsPseudoTerminal(st.st_rdev);
    checks.push_back(DeviceCheck(f));
    if (checks.back().Verdict == TVerdict::Error) return report;
    checks.push_back(PermissionCheck(f));

    f.Holders = FindHolders(f.Device, ::getpid());
    if (f.PseudoTerminal) {
        f.OtherEnd = FindPtyMasterHolders(f.Serial.Path);
        // The simulator holds its slave side too: that is its own line.
        std::erase_if(f.Holders, [&](const TPortHolder& h) {
            return std::any_of(f.OtherEnd.begin(), f.OtherEnd.end(),
                               [&](const TPortHolder& o) { return o.Pid == h.Pid; });
        });
    }
    f.LatencyBefore = f.Serial.Latency;

    const std::string openError = link.CheckComPort(portName, -1);
    f.Opened = !link.PortFailed;
    if (f.Opened) {
        f.Baud = BaudRateValue(link.Comm1.BaudRate());
        f.LowLatencySetting = link.Comm1.LowLatencySetting();
        f.LowLatencyBefore = link.Comm1.LowLatencyBefore();
        f.LowLatencyOpen = link.Comm1.LowLatency();
        f.LatencyOpen = LatencyTimerOf(f.Device);
    }
    checks.push_back(HoldersCheck(f, link.Comm1.LastError()));
    checks.push_back(LatencyCheck(f));
    checks.push_back(OpenCheck(f, link, openError));
    if (!f.Opened) {
        link.RestorePortSettings();
        return report;
    }

    WriterResult r = WriterResult::TimeOut;
    f.ConnectMessage = link.ConnectCheck(buffers, device, stop, &r);
    if (stop.stop_requested()) {
        link.RestorePortSettings();
        return report;
    }
    checks.push_back(WriterCheck(f, r, device));
    if (!Answered(r)) {
        link.RestorePortSettings();
        return report;
    }
    checks.push_back(FirmwareCheck(f, link, buffers, device, stop));

    std::vector<double> times;
    int polls = 0;
    TWriterProtocol p = link.Protocol(buffers, device, stop);
    for (; polls < options.Polls && !stop.stop_requested(); ++polls) {
        const auto start = std::chrono::steady_clock::now();
        const WriterResult answer = p.CheckWriter();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        if (Answered(answer)) times.push_back(took.count());
    }
    link.RestorePortSettings();
    if (stop.stop_requested()) return report;
    f.RoundTrip = SummarizeRoundTrips(std::move(times), polls);
    checks.push_back(RoundTripCheck(*f.RoundTrip, f.Baud));
    if (f.RoundTrip->Answered == 0) return report;

    f.Times = EstimateMemoryTimes(device.WordCount(), f.RoundTrip->MedianMs, f.Baud);
    const TMemoryTimes& t = *f.Times;
    const std::string memory = device.ICName + ", " + std::to_string(t.Words) + " words, ";
    checks.push_back({"program", TVerdict::Ok,
                      memory + std::to_string(BytesPerWord) + " answered bytes a word: about " +
                          Seconds(t.ProgramS) + " (wire limit " + Seconds(t.ProgramWireS) + " at " +
                          std::to_string(t.Baud) + " baud)",
                      ""});
    checks.push_back({"read", TVerdict::Ok,
                      memory + std::to_string(BytesPerWord) + " streamed bytes a word: about " +
                          Seconds(t.ReadS) + " (wire limit " + Seconds(t.ReadWireS) + ")",
                      ""});
    return report;
}

} // namespace orvan
