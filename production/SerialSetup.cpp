#include "production/SerialSetup.h"

#include "buffer/HexText.h"
#include "device/Catalogue.h"
#include "device/Checksum.h"
#include "production/SerialNo.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace orvan {
namespace {

// A decimal field: digits only, at most 9 of them; nullopt otherwise.
std::optional<int> Decimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    return std::stoi(text);
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TSerialCheck Refuse(const std::string& message, bool errorBox = false, bool clear = false) {
    return TSerialCheck{false, message, errorBox, clear};
}

// The checks OK and "QTP File" share; fills the settings to store.
std::optional<TSerialCheck> Parse(const TSerialEntry& e, TSerialSettings& s) {
    const std::optional<int> n = Decimal(e.NoOfByte);
    if (!n || *n < 1 || *n > MaxSerialBytes) return Refuse(NoOfByteInvalidText);
    const std::optional<int> inc = Decimal(e.Increment);
    if (!inc) return Refuse(IncrementInvalidText);
    if (*inc < 1 || *inc > 255) return Refuse(IncrementInvalidText, false, true);
    const std::string address = PadStartAddress(Upper(e.StartAddress));
    bool valid = false;
    const int32_t a = HexToInt(address, valid);
    if (!valid || address.size() > 4) return Refuse(NotRTIWDisableText, true);
    const std::string value = Upper(e.StartValue);
    if (int(value.size()) > 2 * *n) return Refuse(StartValueOverflowText);
    const std::string digits = FitStartValue(value, *n, e.Random != 0);
    for (int j = 0; j < *n; ++j) {
        const int32_t b = HexToInt(digits.substr(size_t(2 * (*n - 1 - j)), 2), valid);
        if (!valid) return Refuse(StartValueOverflowText);
        s.SerialBytes[size_t(j)] = b;
    }
    s.SerialStartAddr = a;
    s.SerialByteCount = *n;
    s.SerialIncrement = *inc;
    s.SerialRandom = e.Random != 0 ? 1 : 0;
    s.SerialLsbFirst = e.LsbFirst != 0 ? 1 : 0;
    return std::nullopt;
}

} // namespace

TSerialEntry EntryFromSettings(const TSerialSettings& s) {
    TSerialEntry e;
    e.StartAddress = HexText(unsigned(s.SerialStartAddr) & 0xFFFF, 4);
    e.NoOfByte = std::to_string(std::clamp(s.SerialByteCount, 1, MaxSerialBytes));
    e.StartValue = s.HexText();
    e.Increment = std::to_string(s.SerialIncrement);
    e.Random = s.SerialRandom;
    e.LsbFirst = s.SerialLsbFirst;
    return e;
}

std::string PadStartAddress(std::string text) {
    while (text.size() < 4)
        text.insert(text.begin(), '0');
    return text;
}

std::string FitStartValue(std::string text, int n, bool random) {
    const size_t width = size_t(2 * std::clamp(n, 1, MaxSerialBytes));
    if (text.size() > width) text = text.substr(text.size() - width);
    while (text.size() < width)
        text.insert(text.begin(), '0');
    if (random && Upper(text) == std::string(width, 'F')) text = std::string(width, '0');
    return text;
}

std::string ZeroToOne(std::string text) {
    if (const std::optional<int> v = Decimal(text); v && *v == 0) return "1";
    return text;
}

TSerialCheck AcceptSerialEntry(TSerialSettings& settings, const TBufferBlock& buffers,
                               const TDeviceState& device, const TSerialEntry& e) {
    TSerialSettings s = settings;
    if (std::optional<TSerialCheck> refused = Parse(e, s)) return *refused;
    if (!SerialWordsAreRTIW(s, buffers, device)) {
        settings.SerialModeOn = false;
        return Refuse(NotRTIWDisableText, true);
    }
    s.SerialModeOn = true;
    settings = s;
    return TSerialCheck{true, {}, false, false};
}

TSerialCheck PrepareQTPEntry(TSerialSettings& settings, const TBufferBlock& buffers,
                             const TDeviceState& device, const TSerialEntry& e, int& parts) {
    const std::optional<int> p = Decimal(e.NoOfPart);
    if (!p || *p < 1 || *p > MaxQTPParts) return Refuse(NoOfPartOverflowText);
    TSerialSettings s = settings;
    if (std::optional<TSerialCheck> refused = Parse(e, s)) return *refused;
    s.SerialModeOn = settings.SerialModeOn;
    settings = s;
    if (!SerialWordsAreRTIW(s, buffers, device)) {
        settings.SerialModeOn = false;
        return Refuse(NotRTIWDisableText, true);
    }
    parts = *p;
    return TSerialCheck{true, {}, false, false};
}

} // namespace orvan
