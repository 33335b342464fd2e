#include "link/WriterLink.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {

TFlowControl FlowControlOf(int handshakeIndex) {
    switch (handshakeIndex) {
    case 1:
        return fcCTS;
    case 2:
        return fcNone;
    default:
        return fcDefault;
    }
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string ConnectMessage(WriterResult r, const std::string& portName) {
    switch (r) {
    case WriterResult::WriterClass1:
    case WriterResult::WriterClass2:
    case WriterResult::WriterUniversal:
        return "Connect OK!";
    case WriterResult::TimeOut:
        return "Connect " + UpperCase(portName) + " Timeout!!";
    default:
        return "Connect Fail!";
    }
}

std::string PortErrorMessage(const std::string& portName, const std::string& reason) {
    std::string text = "Open  " + UpperCase(portName) + " Port Error!!";
    if (!reason.empty()) text += "\n" + reason;
    return text;
}

TWriterLink::TWriterLink() {
    Comm1.SetDeviceName("Com2");
    Comm1.SetReadBufSize(8192);
    Comm1.SetWriteBufSize(0);
    Comm1.OnLineLost = [this](TCustomComm&) {
        PortFailed = true;
        LineLostNotice = true;
    };
}

// Closed while the flags its line-lost handler sets still exist.
TWriterLink::~TWriterLink() {
    CloseLine();
}

std::string LineMarkPath(const std::string& devicePath) {
    std::string folder = "/tmp";
    struct stat st {};
    if (const char* run = std::getenv("XDG_RUNTIME_DIR");
        run && *run && stat(run, &st) == 0 && S_ISDIR(st.st_mode))
        folder = run;
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : devicePath)
        h = (h ^ c) * 1099511628211ull;
    char name[40];
    std::snprintf(name, sizeof name, "orvan-line-%016llx", static_cast<unsigned long long>(h));
    return folder + "/" + name;
}

void TWriterLink::CloseLine() {
    // A line lost or closed inside a block keeps its mark for the next one.
    if (Comm1.Enabled() && !ExchangeOpen && !Comm1.DevicePath().empty())
        unlink(LineMarkPath(Comm1.DevicePath()).c_str());
    Comm1.Close();
}

namespace {
constexpr const char* LineLostWhy = "the line hung up or failed (cable or adapter unplugged?)";
} // namespace

std::string TWriterLink::LineLostMessage() const {
    return PortErrorMessage(Comm1.DeviceName(),
                            std::string(LineLostWhy) + "; the next command opens it again");
}

std::string TWriterLink::LineLostReason() const {
    return UpperCase(Comm1.DeviceName()) + ": " + LineLostWhy;
}

std::string TWriterLink::CheckComPort(const std::string& portName, int handshakeIndex) {
    CloseLine();
    SavedPortSettings = {Comm1.DeviceName(), Comm1.BaudRate(), Comm1.Databits(), Comm1.Parity(),
                         Comm1.Stopbits()};
    std::string reason;
    try {
        Comm1.SetDeviceName(portName);
        Comm1.SetBaudRate(br115200);
        Comm1.SetDatabits(da8);
        Comm1.SetParity(paNone);
        Comm1.SetStopbits(sb10);
        Comm1.SetFlowControl(FlowControlOf(handshakeIndex));
        for (int k = 0; k < 3; ++k)
            Clock->SleepMs(1);
        Comm1.Open();
        reason = Comm1.LastErrorText();
    } catch (const ECommError& e) {
        // A line that opens but refuses its settings is no usable port.
        Comm1.Close();
        reason = e.what();
    }
    PortFailed = !Comm1.Enabled();
    LineLostNotice = false; // this check's own message says it now
    if (!PortFailed) {
        // A mark left behind: the last program on this line may have ended
        // with the writer inside a block. Best effort: without the mark a
        // start is only as safe as before.
        const std::string mark = LineMarkPath(Comm1.DevicePath());
        if (access(mark.c_str(), F_OK) == 0) ExchangeOpen = true;
        const int fd = open(mark.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) close(fd);
        return "";
    }
    return PortErrorMessage(portName, reason);
}

void TWriterLink::RestorePortSettings() {
    CloseLine();
    const TSavedPortSettings& s = SavedPortSettings;
    if (!s.DeviceName.empty()) Comm1.SetDeviceName(s.DeviceName);
    Comm1.SetBaudRate(s.BaudRate);
    Comm1.SetDatabits(s.Databits);
    Comm1.SetParity(s.Parity);
    Comm1.SetStopbits(s.Stopbits);
}

TWriterProtocol TWriterLink::Protocol(TBufferBlock& buffers, const TDeviceState& device,
                                      std::stop_token stop) {
    return TWriterProtocol(Comm1, buffers, device, *this, *Clock, std::move(stop));
}

std::string TWriterLink::ConnectCheck(TBufferBlock& buffers, const TDeviceState& device,
                                      std::stop_token stop, WriterResult* result) {
    const WriterResult r = Protocol(buffers, device, std::move(stop)).CheckWriter();
    if (result) *result = r;
    return ConnectMessage(r, Comm1.DeviceName());
}

std::string TWriterLink::PortChange(TBufferBlock& buffers, const TDeviceState& device,
                                    const std::string& portName, int handshakeIndex) {
    const std::string error = CheckComPort(portName, handshakeIndex);
    if (PortFailed) return error;
    return ConnectCheck(buffers, device);
}

std::string TWriterLink::AboutPoll(TBufferBlock& buffers, const TDeviceState& device,
                                   std::stop_token stop, WriterResult* result) {
    TWriterProtocol p = Protocol(buffers, device, std::move(stop));
    WriterResult r = p.CheckWriter();
    if (r == WriterResult::WriterUniversal) {
        ClearWriterId();
        buffers.CommandHeader[0] = WriterIdRequest;
        r = p.ReadWriterID(WriterIdChars);
        if (r == WriterResult::Done) {
            for (int k = 0; k < WriterIdChars; ++k)
                WriterIdText[static_cast<size_t>(k)] =
                    static_cast<char>(buffers.TransferBuffer[static_cast<size_t>(k)]);
            WriterIdText[WriterIdChars] = 0;
        }
    }
    if (result) *result = r;
    const std::string text = WriterId();
    return text.empty() ? "Unknown" : text;
}

} // namespace orvan
