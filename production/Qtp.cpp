#include "production/Qtp.h"

#include "buffer/FileNames.h"
#include "buffer/HexText.h"
#include "device/Checksum.h"
#include "production/SerialNo.h"

#include <algorithm>

namespace orvan {

std::string QTPRecord(const TSerialSettings& s) {
    const int n = std::clamp(s.SerialByteCount, 1, MaxSerialBytes);
    unsigned sum = unsigned(2 * n) + unsigned(s.SerialStartAddr);
    std::string r =
        ":" + HexText(unsigned(2 * n), 2) + HexText(unsigned(s.SerialStartAddr), 4) + "00";
    for (int i = 0; i < n; ++i) {
        const int element = s.SerialLsbFirst == 0 ? n - 1 - i : i;
        const unsigned b = unsigned(s.SerialBytes[size_t(element)]) & 0xFF;
        r += HexText(b, 2) + "31";
        sum += b + 0x31;
    }
    r += HexText((256 - sum % 256) % 256, 2);
    r += "\r\n";
    return r;
}

std::string QTP_File(TSerialSettings& s) {
    std::string r = QTPRecord(s);
    SerialNoNext(s);
    return r;
}

std::string GenerateQTP(TSerialSettings& s, int parts) {
    std::string text;
    for (int i = 0; i < parts; ++i)
        text += QTP_File(s);
    text += QTPEndRecord;
    return text;
}

bool WriteQTPFile(const std::string& path, const std::string& text) {
    return WriteFileAtomic(path, std::vector<uint8_t>(text.begin(), text.end()));
}

namespace {

// Reads `count` characters as hexadecimal; false at the end of the text or
// for a character that is not a hexadecimal digit.
bool ReadHex(std::string_view text, std::size_t& pos, std::size_t count, int32_t& value) {
    if (pos > text.size() || text.size() - pos < count) {
        pos = text.size();
        return false;
    }
    bool valid = false;
    value = HexToInt(text.substr(pos, count), valid);
    pos += count;
    return valid;
}

} // namespace

std::optional<std::string> ReadSerialData(TQTPFile& f, TSerialSettings& s, bool& qtpActive) {
    if (!f.IsOpen()) return std::string(QTPInformationErrorText);
    const std::string_view text = *f.Text;
    std::size_t& pos = f.Pos;
    if (pos >= text.size() || text[pos] != ':') {
        if (pos < text.size()) ++pos;
        return std::string(QTPInformationErrorText);
    }
    ++pos;
    int32_t ll = 0;
    if (!ReadHex(text, pos, 2, ll)) return std::string(QTPInformationErrorText);
    const int n = ll / 2;
    // The number has room for eight bytes: a longer record is refused.
    if (n > MaxSerialBytes) return std::string(QTPInformationErrorText);
    int32_t address = 0, type = 0;
    if (!ReadHex(text, pos, 4, address)) return std::string(QTPDataErrorText);
    if (!ReadHex(text, pos, 2, type)) return std::string(QTPDataErrorText);
    unsigned sum = unsigned(2 * n) + unsigned(address) + unsigned(type);
    const bool end = type == 1;
    std::array<int32_t, MaxSerialBytes> bytes = s.SerialBytes;
    if (!end) {
        if (n == 0) return std::string(QTPInformationErrorText);
        for (int i = 0; i < n; ++i) {
            int32_t b = 0, opcode = 0;
            if (!ReadHex(text, pos, 2, b)) return std::string(QTPDataErrorText);
            if (!ReadHex(text, pos, 2, opcode) || opcode != 0x31)
                return std::string(QTPDataErrorText);
            bytes[size_t(s.SerialLsbFirst == 0 ? n - 1 - i : i)] = b;
            sum += unsigned(b) + unsigned(opcode);
        }
    }
    int32_t checksum = 0;
    if (!ReadHex(text, pos, 2, checksum)) return std::string(QTPDataErrorText);
    if (((unsigned(checksum) + sum) & 0xFF) != 0) return std::string(QTPChecksumErrorText);

    f.QTPEnd = end;
    if (!end) {
        // The end record carries no number: the settings keep the last one.
        s.SerialByteCount = n;
        s.SerialStartAddr = address;
        s.SerialBytes = bytes;
    }
    qtpActive = true;
    // The line end; a file saved with bare line feeds reads the same.
    for (int k = 0; k < 2 && pos < text.size() && (text[pos] == '\r' || text[pos] == '\n'); ++k)
        ++pos;
    return std::nullopt;
}

} // namespace orvan
