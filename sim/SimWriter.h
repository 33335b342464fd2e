// The simulated writer's side of the byte protocol: one received byte in,
// the reply bytes out. Time only enters through the gap rule (a writer
// that hears nothing for a while drops a half-received header or block)
// and is passed in, so the machine runs the same under tests and on a pty.
#pragma once

#include "sim/SimChip.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvan::sim {

enum class TWriterKind { Type1, Type2, Universal };

// Faults on request. Steps count the bytes received since the faults were
// set, from 0.
struct TSimFaults {
    bool EmptySocket = false;
    bool AdapterError = false; // FD to every header
    int FailArea = -1;         // B1 at data byte FailByte of this area's block
    long FailByte = -1;
    long SilentFrom = -1; // no reply from this step on
    long BadReplyStep = -1;
    uint8_t BadReplyByte = 0x42;
    long DropAt = -1; // the line goes away when this step arrives
    int DelayMs = 0;  // every reply this much later
    // OPTION bits that do not hold: they read 0 once the OPTION word has
    // been programmed, though the writer accepted it.
    uint16_t WeakOptionBits = 0;
};

struct TSimConfig {
    TWriterKind Kind = TWriterKind::Universal;
    std::string Firmware = "OW-SIM V1.00";
    // A gap longer than this between the bytes of a header or block makes
    // the writer forget it.
    int GapResetMs = 1000;
};

class TSimWriter {
  public:
    TSimWriter(TSimChip& chip, TSimConfig config);

    void SetFaults(const TSimFaults& faults);
    const TSimFaults& Faults() const { return Fault; }

    // One byte from the host at `nowMs`; appends the reply to `out`.
    void OnByte(uint8_t b, int64_t nowMs, std::vector<uint8_t>& out);
    // True once the step named by DropAt has arrived.
    bool DropRequested() const { return Dropped; }
    long Steps() const { return Step; }

    // Called after the chip changed (block programmed, erase).
    std::function<void()> OnChipChanged;
    // Called when a programming run is complete: the OPTION read that
    // follows programming of the program memory, the ID and the OPTION word
    // (in any order, since the last erase or fresh chip).
    std::function<void()> OnRunComplete;

  private:
    enum class TState { Idle, Header, Data };
    void Command(uint8_t b, std::vector<uint8_t>& out);
    void Header(std::vector<uint8_t>& out);
    void Read(unsigned area, std::vector<uint8_t>& out);
    void Data(uint8_t b, std::vector<uint8_t>& out);
    unsigned Count() const; // H3 + H4 * 256 + 1
    static void PushWord(uint16_t w, std::vector<uint8_t>& out, bool masked);

    TSimChip& Chip;
    TSimConfig Config;
    TSimFaults Fault;
    TState State = TState::Idle;
    std::vector<uint8_t> Head;
    int64_t LastByteMs = 0;
    long Step = 0;
    bool Dropped = false;
    unsigned DataArea = 0;
    long DataIndex = 0;
    long DataCount = 0;
    // Areas 0 (program), 1 (OPTION) and 2 (ID) programmed on this chip.
    unsigned Programmed = 0;
    static constexpr unsigned RunAreas = 0b111;
    uint8_t PendingData = 0; // EEPROM data byte awaiting its address
};

} // namespace orvan::sim
