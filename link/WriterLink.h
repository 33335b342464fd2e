// The main window's link to the writer: the serial component Comm1, the
// port-failure flag, the saved port settings, the protocol's own state
// (FailIndex, WriterIdText) and the pulse widths the headers carry. The
// desktop window and orvan-cli each own one.
#pragma once

#include "link/Commint.h"
#include "link/Header.h"
#include "link/Protocol.h"

#include <atomic>
#include <stop_token>
#include <string>

namespace orvan {

struct TSavedPortSettings {
    std::string DeviceName;
    TBaudrate BaudRate = br9600;
    TDatabits Databits = da8;
    TParity Parity = paNone;
    TStopbits Stopbits = sb10;
};

// Handshake selector entries: -1 (none selected) and 0 "Default" keep the
// line's flow control, 1 "CTS", 2 "None".
TFlowControl FlowControlOf(int handshakeIndex);

// The connection check's message for a poll result: "Connect OK!",
// "Connect COM1 Timeout!!" or "Connect Fail!".
std::string ConnectMessage(WriterResult r, const std::string& portName);

// "Open  COM3 Port Error!!" and, on a second line, why.
std::string PortErrorMessage(const std::string& portName, const std::string& reason);

std::string UpperCase(std::string text);

class TWriterLink : public TProtocolState {
  public:
    TWriterLink();
    ~TWriterLink();
    TWriterLink(const TWriterLink&) = delete;
    TWriterLink& operator=(const TWriterLink&) = delete;

    TComm Comm1;
    // Set when the last CheckComPort could not open the port, and when the
    // line was lost afterwards (a hang-up or an I/O error closed it, on
    // whichever thread noticed); chip commands then open it again first.
    std::atomic<bool> PortFailed{false};
    TSavedPortSettings SavedPortSettings;
    TPulseWidths PulseWidths;
    // The time-out clock of every exchange on this link.
    IClock* Clock = &SystemClock();

    // Closes Comm1, saves its settings, sets the writer's line (115200 8N1,
    // the handshake's flow control) on `portName` and opens it. Returns the
    // message to show: empty when the port opened, else the port error.
    std::string CheckComPort(const std::string& portName, int handshakeIndex);
    // Comm1 closed, its settings back as they were before the last
    // CheckComPort; not opened again.
    void RestorePortSettings();

    // The primitives on this link, over `buffers` for `device`.
    TWriterProtocol Protocol(TBufferBlock& buffers, const TDeviceState& device,
                             std::stop_token stop = {});

    // The port/handshake change: CheckComPort, then when the port opened
    // the writer poll. The one message to show.
    std::string PortChange(TBufferBlock& buffers, const TDeviceState& device,
                           const std::string& portName, int handshakeIndex);
    // Polls the writer and returns the connect message; `result` (when
    // given) is the poll's.
    std::string ConnectCheck(TBufferBlock& buffers, const TDeviceState& device,
                             std::stop_token stop = {}, WriterResult* result = nullptr);
    // The about box's poll: for a universal writer, its firmware text
    // (kept in WriterIdText). Returns the text to show, "Unknown" if empty;
    // `result` (when given) is the poll's, or the firmware read's after a
    // universal writer's poll.
    std::string AboutPoll(TBufferBlock& buffers, const TDeviceState& device,
                          std::stop_token stop = {}, WriterResult* result = nullptr);

    // True once after the line was lost: the window shows the port error
    // (LineLostMessage) a single time, not at every timer tick.
    bool TakeLineLostNotice() { return LineLostNotice.exchange(false); }
    std::string LineLostMessage() const;
    // Why the line went, in a sentence for a dialog's own line.
    std::string LineLostReason() const;

  private:
    // Comm1 closed; the line's mark cleared when no exchange was left open.
    void CloseLine();
    std::atomic<bool> LineLostNotice{false};
};

// A mark per device, kept while a program has the line open: a program
// killed with the writer inside a block leaves it behind, and the next one
// to open that device lets the line fall quiet before its first exchange.
// In $XDG_RUNTIME_DIR, else /tmp.
std::string LineMarkPath(const std::string& devicePath);

} // namespace orvan
