#include "sim/SimWriter.h"

#include <algorithm>

namespace orvan::sim {
namespace {

constexpr uint8_t PollByte = 0xA0, HeaderByte = 0xA1, IdRequest = 0xAD;
constexpr uint8_t BlockEnd = 0xB0, WriteFailed = 0xB1, Accepted = 0xB5, EndMark = 0xB8;
constexpr uint8_t AdapterFault = 0xFD, NoChip = 0xFE;

} // namespace

TSimWriter::TSimWriter(TSimChip& chip, TSimConfig config) : Chip(chip), Config(std::move(config)) {}

void TSimWriter::SetFaults(const TSimFaults& faults) {
    Fault = faults;
    Step = 0;
    Dropped = false;
}

void TSimWriter::OnByte(uint8_t b, int64_t nowMs, std::vector<uint8_t>& out) {
    const long step = Step++;
    if (Fault.DropAt >= 0 && step >= Fault.DropAt) {
        Dropped = true;
        return;
    }
    if (State != TState::Idle && nowMs - LastByteMs > Config.GapResetMs) State = TState::Idle;
    LastByteMs = nowMs;

    std::vector<uint8_t> reply;
    switch (State) {
    case TState::Idle:
        Command(b, reply);
        break;
    case TState::Header:
        Head.push_back(b);
        if (Head.size() == 10) {
            State = TState::Idle;
            Header(reply);
        }
        break;
    case TState::Data:
        Data(b, reply);
        break;
    }
    if (Fault.SilentFrom >= 0 && step >= Fault.SilentFrom) return;
    if (step == Fault.BadReplyStep) reply = {Fault.BadReplyByte};
    out.insert(out.end(), reply.begin(), reply.end());
}

void TSimWriter::Command(uint8_t b, std::vector<uint8_t>& out) {
    switch (b) {
    case PollByte:
        out.push_back(Config.Kind == TWriterKind::Type1   ? 0xB2
                      : Config.Kind == TWriterKind::Type2 ? 0xB3
                                                          : 0xB4);
        break;
    case IdRequest: {
        // Twelve 7-bit characters, a shorter text padded with zero bytes.
        for (size_t k = 0; k < 12; ++k)
            out.push_back(k < Config.Firmware.size() ? Config.Firmware[k] & 0x7F : 0);
        break;
    }
    case HeaderByte:
        Head.assign(1, b);
        State = TState::Header;
        break;
    default:
        break; // stray bytes are not answered
    }
}

unsigned TSimWriter::Count() const {
    return Head[3] + Head[4] * 256u + 1u;
}

void TSimWriter::PushWord(uint16_t w, std::vector<uint8_t>& out, bool masked) {
    uint8_t lo = w & 0x7F, hi = (w >> 7) & 0x7F;
    if (masked) {
        lo = (lo & 0x60) | 0x1F;
        hi = (hi & 0x60) | 0x1F;
    }
    out.push_back(lo);
    out.push_back(hi);
}

void TSimWriter::Header(std::vector<uint8_t>& out) {
    if (Fault.AdapterError) {
        out.push_back(AdapterFault);
        return;
    }
    const uint8_t codeHi = Head[6] & 0x7F, codeLo = Head[8] & 0x7F;
    if (Fault.EmptySocket || !Chip.SocketFull || codeHi != (Chip.Device.ICCodeHi & 0x7F) ||
        codeLo != (Chip.Device.ICCodeLo & 0x7F)) {
        out.push_back(NoChip);
        return;
    }
    const unsigned area = Head[5];
    switch (Head[9]) {
    case 0xA5:
        Read(area, out);
        break;
    case 0xA8:
        if (!Chip.IsFlash()) {
            out.push_back(NoChip); // an OTP chip cannot be erased
            break;
        }
        Chip.Erase();
        Programmed = 0;
        if (OnChipChanged) OnChipChanged();
        out.push_back(EndMark);
        break;
    case 0xA6:
    case 0xA7: {
        long count = 0;
        switch (area) {
        case 0:
            count = 2 * static_cast<long>(std::min<size_t>(Count(), Chip.Program.size()));
            break;
        case 1:
            count = 2 * std::min(Count(), 1u);
            break;
        case 2:
            count = 2 * std::min(Count(), 8u);
            break;
        case 3:
            if (Chip.EEPROM.empty()) break;
            count = 2 * static_cast<long>(std::min<size_t>(Count(), Chip.EEPROM.size()));
            break;
        default:
            break;
        }
        if (count == 0) {
            out.push_back(NoChip);
            break;
        }
        DataArea = area;
        DataIndex = 0;
        DataCount = count;
        State = TState::Data;
        out.push_back(Accepted);
        break;
    }
    default:
        out.push_back(NoChip);
        break;
    }
}

void TSimWriter::Read(unsigned area, std::vector<uint8_t>& out) {
    switch (area) {
    case 0: {
        const size_t n = std::min<size_t>(Count(), Chip.Program.size());
        const bool masked = Chip.Protected();
        for (size_t a = 0; a < n; ++a)
            PushWord(Chip.Program[a], out, masked);
        break;
    }
    case 1:
    case 5: {
        const auto& words = area == 1 ? Chip.Option : Chip.Option2;
        const size_t n = std::min<size_t>(Count(), words.size());
        for (size_t a = 0; a < n; ++a)
            PushWord(words[a], out, false);
        break;
    }
    case 2: {
        const size_t n = std::min<size_t>(Count(), Chip.ID.size());
        for (size_t a = 0; a < n; ++a)
            PushWord(Chip.ID[a], out, false);
        break;
    }
    case 3: {
        if (Chip.EEPROM.empty()) {
            out.push_back(NoChip);
            return;
        }
        // Plain 8-bit bytes, no end mark: every byte is data.
        const size_t n = std::min<size_t>(Count(), Chip.EEPROM.size());
        out.insert(out.end(), Chip.EEPROM.begin(), Chip.EEPROM.begin() + static_cast<long>(n));
        return;
    }
    default:
        break;
    }
    out.push_back(EndMark);
    if (area == 1 && Programmed == RunAreas) {
        Programmed = 0;
        if (OnRunComplete) OnRunComplete();
    }
}

void TSimWriter::Data(uint8_t b, std::vector<uint8_t>& out) {
    const long k = DataIndex++;
    const bool last = DataIndex >= DataCount;
    auto fail = [&] {
        State = TState::Idle;
        if (OnChipChanged) OnChipChanged();
        out.push_back(WriteFailed);
    };
    if (static_cast<int>(DataArea) == Fault.FailArea && k == Fault.FailByte) return fail();

    if (DataArea == 3) {
        if (k % 2 == 1) {
            const uint8_t address = b;
            if (address < Chip.EEPROM.size()) Chip.EEPROM[address] = PendingData;
        } else {
            PendingData = b;
        }
    } else {
        uint16_t* word = DataArea == 0   ? &Chip.Program[static_cast<size_t>(k / 2)]
                         : DataArea == 1 ? &Chip.Option[0]
                                         : &Chip.ID[static_cast<size_t>(k / 2)];
        const int shift = (k % 2) ? 7 : 0;
        const uint8_t old = (*word >> shift) & 0x7F;
        const uint8_t value = b & 0x7F;
        // Programming only clears bits, in flash and one-time-programmable
        // cells alike: a 1 over a 0 needs an erase first (flash) or a new chip.
        if (value & ~old & 0x7F) return fail();
        *word = static_cast<uint16_t>((*word & ~(0x7F << shift)) | (value << shift));
    }
    if (!last) {
        out.push_back(Accepted);
        return;
    }
    State = TState::Idle;
    if (DataArea == 1) Chip.Option[0] &= static_cast<uint16_t>(~Fault.WeakOptionBits);
    if (DataArea <= 2) Programmed |= 1u << DataArea;
    if (OnChipChanged) OnChipChanged();
    out.push_back(BlockEnd);
}

} // namespace orvan::sim
