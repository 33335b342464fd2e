#include "link/Header.h"

namespace orvan {
namespace {

// The value of a digits-only text, saturated above `limit`.
int DigitsValue(std::string_view digits, int limit) {
    int v = 0;
    for (char c : digits) {
        v = v * 10 + (c - '0');
        if (v > limit) return limit + 1;
    }
    return v;
}

std::string DigitsOnly(std::string_view text) {
    std::string d;
    for (char c : text)
        if (c >= '0' && c <= '9') d += c;
    return d;
}

bool OscillatorRuleHolds(uint8_t rule, uint8_t optionLo, uint8_t optionHi) {
    const bool rc = (optionLo & 0x0F) == 0x0A;
    switch (rule) {
    case 1:
        return rc;
    case 2:
        return rc && (optionLo & 0x30) != 0x20;
    case 3:
        return rc && (optionHi & 0x18) != 0x10;
    default:
        return false;
    }
}

} // namespace

std::string LimitWidthText(std::string_view text, int limit) {
    const std::string digits = DigitsOnly(text);
    if (digits.empty()) return "1";
    const int v = DigitsValue(digits, limit);
    if (v > limit) return std::to_string(limit);
    if (v == 0) return "1";
    return digits;
}

TPulseWidths PulseWidthsFromEdits(bool programVisible, std::string_view programText,
                                  bool eraseVisible, std::string_view eraseText) {
    TPulseWidths w;
    if (programVisible)
        w.Program = static_cast<uint8_t>(2 * std::stoi(LimitWidthText(programText, 127)));
    if (eraseVisible) w.Erase = static_cast<uint8_t>(std::stoi(LimitWidthText(eraseText, 255)));
    return w;
}

THeader BuildHeader(unsigned area, unsigned action, const TDeviceState& d, uint8_t optionLo,
                    uint8_t optionHi, const TPulseWidths& widths) {
    const bool read = action == HeaderAction::Read;
    THeader h{};
    h[0] = 0xA1;
    h[6] = d.ICCodeHi;
    h[8] = d.ICCodeLo;
    switch (area) {
    case HeaderArea::ProgramMemory:
        h[3] = d.ICLastAddrLo;
        h[4] = d.ICLastAddrHi;
        h[5] = 0;
        h[7] = 0x02;
        break;
    case HeaderArea::Option:
    case HeaderArea::Option2:
        // Three words are read (the OPTION word and its group), one programmed.
        h[3] = read ? 0x02 : 0x00;
        h[5] = static_cast<uint8_t>(area);
        h[7] = 0x30;
        break;
    case HeaderArea::ID:
        // 16 words are read, 8 programmed.
        h[3] = read ? 0x0F : 0x07;
        h[5] = 2;
        h[7] = 0x02;
        break;
    case HeaderArea::EEPROM:
        h[3] = d.EELastAddrLo;
        h[4] = d.EELastAddrHi;
        h[5] = 3;
        h[7] = 0x0C;
        h[6] |= 0x80;
        if (read) h[8] |= 0x80;
        break;
    default:
        h[5] = 2;
        h[7] = 0x02;
        break;
    }
    switch (action) {
    case HeaderAction::Program:
        if (d.ICTech == TechOTP) {
            h[9] = OpProgramOTP;
        } else {
            h[9] = OpProgramPulse;
            h[7] = widths.Program;
        }
        break;
    case HeaderAction::Read:
        h[9] = OpRead;
        if (OscillatorRuleHolds(d.ICOscRule, optionLo, optionHi)) h[8] |= 0x80;
        break;
    case HeaderAction::Erase:
        h[9] = OpErase;
        h[7] = widths.Erase;
        break;
    case HeaderAction::ProgramPulse:
        h[9] = OpProgramPulse;
        h[7] = widths.Program;
        break;
    default:
        h[9] = OpRead;
        break;
    }
    return h;
}

} // namespace orvan
