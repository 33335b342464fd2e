// The station check: whether the adapter, the port and the writer are ready
// for a model, and how long its program memory will take, before the first
// chip. Measured and judged here; a front end only renders the report.
#pragma once

#include "link/PortHolders.h"
#include "link/SerialDevice.h"
#include "link/WriterLink.h"

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace orvan {

enum class TVerdict : uint8_t { Ok, Warning, Error };
// "ok", "warning", "error".
const char* VerdictName(TVerdict v);

struct TDoctorCheck {
    std::string Name; // device, permission, holders, latency, open, writer, ...
    TVerdict Verdict = TVerdict::Ok;
    std::string Text;   // what was found
    std::string Advice; // what to do; empty when nothing
};

// The writer's poll timed: one byte out, its one-byte answer back, which is
// what every acknowledged data byte costs.
struct TRoundTrip {
    int Polls = 0;
    int Answered = 0;
    double MedianMs = 0;
    double P95Ms = 0;
};
// Median and 95th percentile (nearest rank) of the answered polls' times.
TRoundTrip SummarizeRoundTrips(std::vector<double> answeredMs, int polls);

// Bytes on the wire per program-memory word: its low and high byte, each
// answered by the writer when programming, streamed without answers when read.
inline constexpr int BytesPerWord = 2;
// A command header's bytes; one answer follows it.
inline constexpr int HeaderWireBytes = 10;
// 8N1: a start bit, eight data bits, a stop bit.
inline constexpr int BitsPerByte = 10;

// How long a model's program memory takes at a measured round trip, beside
// what the line's baud rate alone allows.
struct TMemoryTimes {
    int Words = 0;
    int Baud = 0;
    double ProgramS = 0, ProgramWireS = 0;
    double ReadS = 0, ReadWireS = 0;
};
TMemoryTimes EstimateMemoryTimes(int words, double roundTripMs, int baud);

// A median round trip above this is replies held back, not the wire: an
// adapter's latency timer above 1 ms, or a slow writer.
inline constexpr double HeldReplyMs = 4.0;

// The udev rule the package installs: FTDI adapters get a 1 ms latency timer
// as they appear.
inline constexpr const char* LatencyRuleName = "60-orvan-writer-ftdi.rules";

struct TDoctorFigures {
    std::string Port;   // as named: Com1, or a device path
    std::string Device; // where it leads
    TSerialDevice Serial;
    bool PseudoTerminal = false;
    TDeviceAccess Access;
    std::vector<TPortHolder> Holders;       // other programs on the device
    std::vector<TPortHolder> OtherEnd;      // a pseudo-terminal's master side (the simulator)
    std::string LatencyBefore, LatencyOpen; // ms as sysfs says; empty when none
    bool LowLatencySetting = false, LowLatencyBefore = false, LowLatencyOpen = false;
    bool Opened = false;
    int Baud = 0;
    std::string WriterReply; // "B2", "B3", "B4"; empty without a writer's answer
    int WriterType = 0;      // 1, 2; 0 universal or unknown
    std::string ConnectMessage;
    std::string Firmware;
    std::optional<TRoundTrip> RoundTrip;
    std::optional<TMemoryTimes> Times;
};

struct TDoctorReport {
    std::vector<TDoctorCheck> Checks;
    TDoctorFigures Figures;
    bool HasError() const;
    int Count(TVerdict v) const;
};

struct TDoctorOptions {
    int Polls = 200;
};

// Runs every check on `link`, whose Comm1 is closed with its port named
// (device name, port map, CTS assumption set), for `device`. Checks that
// need an earlier one to pass are left out when it failed. Comm1 ends
// closed with its earlier settings back. A stop request ends it early.
TDoctorReport RunDoctor(TWriterLink& link, TBufferBlock& buffers, const TDeviceState& device,
                        const TDoctorOptions& options, std::stop_token stop = {});

} // namespace orvan
