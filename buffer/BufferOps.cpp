#include "buffer/BufferOps.h"

#include "buffer/HexText.h"
#include "device/Checksum.h"

#include <algorithm>
#include <cctype>

namespace orvan {

std::optional<std::string> FillBuffer(const TDeviceState& device, TBufferBlock& buffers,
                                      std::string_view startText, std::string_view endText,
                                      std::string_view dataText) {
    const int last = device.LastWordAddr();
    // A non-hex entry cannot be typed; treat one that arrives anyway as invalid.
    bool ok1 = false, ok2 = false, ok3 = false;
    const int32_t start = HexToInt(startText, ok1);
    const int32_t end = HexToInt(endText, ok2);
    const int32_t data = HexToInt(dataText, ok3);
    if (!ok1 || start < 0 || start > last) return "Start address is a invalid value!";
    if (!ok2 || end < 0 || end > last) return "End address is a invalid value!";
    if (end < start) return "Start address is a invalid value!";
    if (!ok3 || data < 0 || data >= 0x4000) return "Data is a invalid value!";
    for (int w = start; w <= end; ++w)
        SetWord(buffers.ProgramBuffer.data(), w, static_cast<unsigned>(data));
    return std::nullopt;
}

std::optional<unsigned> ParseSingleValue(std::string_view entry) {
    std::string text(entry);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (text.size() < 4) text.insert(0, 4 - text.size(), '0');
    bool valid = false;
    const int32_t v = HexToInt(text, valid);
    if (!valid || v < 0 || v >= 0x4000) return std::nullopt;
    return static_cast<unsigned>(v);
}

std::optional<std::string> ResetAddrQuestion(const TDeviceState& device,
                                             const TBufferBlock& buffers) {
    const uint8_t* p = buffers.ProgramBuffer.data();
    auto blank = [p](int word) {
        return (p[2 * word] & 0x7F) == 0x7F && (p[2 * word + 1] & 0x7F) == 0x7F;
    };
    if (device.ICCodeHi & 0x20) {
        if (blank(0)) return std::string("Reset address (0000h) is blank!!");
        return std::nullopt;
    }
    const int last = device.ICMemBytes / 2 - 1;
    if (last >= 0 && blank(last))
        return "Reset address (" + HexText(unsigned(last), 4) + "h) is blank!!";
    return std::nullopt;
}

} // namespace orvan
