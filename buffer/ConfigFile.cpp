#include "buffer/ConfigFile.h"

#include "app/Workspace.h"
#include "device/Checksum.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace orvan {

std::string CfgDataErrorText(const std::string& cfgPath) {
    return "'" + cfgPath + "' file data error!";
}

std::string DataFileMissingText(const std::string& dataPath) {
    return "'" + dataPath + "' file do not find!";
}

namespace {

constexpr uint8_t NameEnd = 0x0F;
constexpr uint8_t FieldEnd = ' ';
constexpr std::size_t RawBytes = 2 + IDBytes;
constexpr int SkippedFields = 7; // the six OPTION texts and the checksum
constexpr int TailFields = 9;    // pass count .. LSB first

// Fields 12-20 and the raw bytes, checked before anything is applied.
struct TCfgTail {
    std::string PassCount;
    bool SerialModeOn = false;
    int32_t StartAddr = 0;
    int32_t ByteCount = 1;
    std::string SerialText;
    std::array<int32_t, MaxSerialBytes> Bytes{};
    int32_t Increment = 1;
    int32_t Random = 0;
    int32_t LsbFirst = 0;
    std::array<uint8_t, RawBytes> Raw{};
};

// Reads one field ended by `end`, at most `max` characters; nullopt when
// the terminator does not come in time (a truncated or garbled file).
std::optional<std::string> ReadField(std::span<const uint8_t> bytes, std::size_t& pos, uint8_t end,
                                     std::size_t max) {
    const std::size_t stop = std::min(bytes.size(), pos + max + 1);
    for (std::size_t i = pos; i < stop; ++i) {
        if (bytes[i] == end) {
            std::string field(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                              bytes.begin() + static_cast<std::ptrdiff_t>(i));
            pos = i + 1;
            return field;
        }
    }
    return std::nullopt;
}

// 1 to 9 decimal digits.
std::optional<int32_t> Decimal(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Checks fields 12-20 (`f` holds exactly nine) and takes the raw bytes.
std::optional<TCfgTail> ParseTail(const std::vector<std::string>& f, std::span<const uint8_t> raw,
                                  int deviceWords) {
    if (f.size() != TailFields || raw.size() != RawBytes) return std::nullopt;
    TCfgTail t;
    if (!Decimal(f[0])) return std::nullopt;
    t.PassCount = f[0];
    const auto mode = Decimal(f[2]);
    const auto start = Decimal(f[3]);
    const auto count = Decimal(f[4]);
    const auto inc = Decimal(f[6]);
    const auto random = Decimal(f[7]);
    const auto lsb = Decimal(f[8]);
    if (!mode || !start || !count || !inc || !random || !lsb) return std::nullopt;
    t.SerialModeOn = *mode != 0;
    t.StartAddr = *start;
    t.ByteCount = *count;
    t.Increment = *inc;
    t.Random = *random;
    t.LsbFirst = *lsb;
    if (t.ByteCount < 1 || t.ByteCount > MaxSerialBytes) return std::nullopt;
    if (t.Increment < 1 || t.Increment > 255) return std::nullopt;
    if (t.Random > 1 || t.LsbFirst > 1) return std::nullopt;
    // The serial words must lie inside the buffer, and inside the device's
    // memory when the mode is on and they are about to be written.
    const int limit = t.SerialModeOn ? deviceWords : ProgramBytes / 2;
    if (t.StartAddr + t.ByteCount > limit) return std::nullopt;
    const std::string& hex = f[5];
    const auto n = static_cast<std::size_t>(t.ByteCount);
    if (hex.size() != 2 * n) return std::nullopt;
    for (std::size_t k = 0; k < n; ++k) {
        // Element k: characters 2(n-k)-1 and 2(n-k), counted from 1.
        const int hi = HexValue(hex[2 * (n - k) - 2]);
        const int lo = HexValue(hex[2 * (n - k) - 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        t.Bytes[k] = hi * 16 + lo;
    }
    t.SerialText = hex;
    std::copy(raw.begin(), raw.end(), t.Raw.begin());
    return t;
}

// Fields 5-20 and the raw bytes from `pos`. Read forward first, as the
// layout says. An OPTION text may itself hold a blank ("RC, PB4"), which
// shifts every later field; the fields from the pass count on hold none,
// so they are then found counting back from the 34 raw bytes at the end.
std::optional<TCfgTail> ReadTail(std::span<const uint8_t> bytes, std::size_t pos, int deviceWords) {
    {
        std::size_t p = pos;
        std::vector<std::string> fields;
        bool complete = true;
        for (int i = 0; i < SkippedFields + TailFields && complete; ++i) {
            auto f = ReadField(bytes, p, FieldEnd, MaxCfgField);
            if (f)
                fields.push_back(std::move(*f));
            else
                complete = false;
        }
        if (complete && bytes.size() - p >= RawBytes) {
            fields.erase(fields.begin(), fields.begin() + SkippedFields);
            if (auto t = ParseTail(fields, bytes.subspan(p, RawBytes), deviceWords)) return t;
        }
    }
    if (bytes.size() < pos + RawBytes) return std::nullopt;
    const std::size_t textEnd = bytes.size() - RawBytes;
    if (textEnd == pos || bytes[textEnd - 1] != FieldEnd) return std::nullopt;
    std::vector<std::string> fields;
    std::size_t p = pos;
    while (p < textEnd) {
        auto f = ReadField(bytes.first(textEnd), p, FieldEnd, MaxCfgField);
        if (!f) return std::nullopt;
        fields.push_back(std::move(*f));
    }
    if (fields.size() < SkippedFields + TailFields) return std::nullopt;
    fields.erase(fields.begin(), fields.end() - TailFields);
    return ParseTail(fields, bytes.subspan(textEnd, RawBytes), deviceWords);
}

} // namespace

std::vector<uint8_t> SaveCfg(const TWorkspace& ws) {
    std::string text = "zyl";
    text += ws.LoadedFileName;
    text += static_cast<char>(NameEnd);
    auto field = [&](const std::string& f) {
        text += f;
        text += static_cast<char>(FieldEnd);
    };
    field(ws.PortName());
    field(ws.DeviceName);
    // Every row is visible (greyed rows are only disabled), so its text is written.
    for (const TOptionRowId row : {RowOsc, RowOst, RowWdt, RowPed, RowSec, RowPrd})
        field(ws.Panel.Option.Rows[row].Value);
    field(ws.Panel.Checksum);
    field("0");
    field(ws.Panel.SerialNo);
    const TSerialSettings& s = ws.Serial;
    field(s.SerialModeOn ? "1" : "0");
    field(std::to_string(s.SerialStartAddr));
    const int n = std::clamp(s.SerialByteCount, 1, MaxSerialBytes);
    field(std::to_string(n));
    std::string hex;
    for (int k = n - 1; k >= 0; --k)
        hex +=
            HexText(static_cast<unsigned>(s.SerialBytes[static_cast<std::size_t>(k)]) & 0xFFu, 2);
    field(hex);
    field(std::to_string(s.SerialIncrement));
    field(std::to_string(s.SerialRandom));
    field(std::to_string(s.SerialLsbFirst));

    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(ws.Buffers.OptionLo);
    bytes.push_back(ws.Buffers.OptionHi);
    bytes.insert(bytes.end(), ws.Buffers.IDBuffer.begin(), ws.Buffers.IDBuffer.end());
    return bytes;
}

bool SaveCfgFile(const TWorkspace& ws, const std::string& path) {
    return WriteFileAtomic(path, SaveCfg(ws));
}

TFileResult LoadCfg(TWorkspace& ws, std::span<const uint8_t> bytes, TCfgMode mode,
                    const TFileOptions& options, const TFileAccess& files) {
    TFileResult result;
    auto dataError = [&] {
        result.Messages.push_back(CfgDataErrorText(ws.ConfigPath));
        return result;
    };
    const bool full = mode == TCfgMode::Full;
    if (bytes.size() < 3 || bytes[0] != 'z' || bytes[1] != 'y' || bytes[2] != 'l')
        return dataError();
    std::size_t pos = 3;

    const auto name = ReadField(bytes, pos, NameEnd, MaxCfgFileName);
    if (!name) return dataError();
    ws.LoadedFileName = *name;

    const auto port = ReadField(bytes, pos, FieldEnd, MaxCfgField);
    if (!port || port->size() < 4 || (*port)[3] < '1' || (*port)[3] > '0' + PortCount)
        return dataError();
    ws.PortIndex = (*port)[3] - '1';

    const auto device = ReadField(bytes, pos, FieldEnd, MaxCfgField);
    if (!device) return dataError();
    if (full) {
        if (FindDevice(*device) < 0) return dataError();
        ws.DeviceName = *device;
    }

    if (ws.LoadedFileName.empty() || !files.Exists(ws.LoadedFileName)) {
        result.Messages.push_back(ws.LoadedFileName.empty()
                                      ? std::string(NoDataFileText)
                                      : DataFileMissingText(ws.LoadedFileName));
        ws.LoadedFileName.clear();
        return result;
    }
    ws.CalChecksum();

    const auto tail = ReadTail(bytes, pos, ws.Device.WordCount());
    if (!tail) return dataError();
    ws.Panel.PassCount = tail->PassCount;
    TSerialSettings& s = ws.Serial;
    s.SerialModeOn = tail->SerialModeOn;
    s.SerialStartAddr = tail->StartAddr;
    s.SerialByteCount = tail->ByteCount;
    ws.Panel.SerialNo = tail->SerialText;
    s.SerialBytes = tail->Bytes;
    s.SerialIncrement = tail->Increment;
    s.SerialRandom = tail->Random;
    s.SerialLsbFirst = tail->LsbFirst;
    ws.Buffers.OptionLo = tail->Raw[0];
    ws.Buffers.OptionHi = tail->Raw[1];
    std::copy(tail->Raw.begin() + 2, tail->Raw.end(), ws.Buffers.IDBuffer.begin());
    ws.RefreshData();

    if (full) {
        // Opened by its stored name: upper-casing it would miss on a
        // case-sensitive file system. The type test still compares upper case.
        const std::string type = TypeAfterFirstDot(ws.LoadedFileName).substr(0, 3);
        const bool records = type == "HEX" || type == "OHX";
        std::vector<uint8_t> data;
        if (files.Read(ws.LoadedFileName, records ? MaxFileBytes : ProgramBytes, records, data) !=
            TReadStatus::Ok)
            return result;
        std::vector<uint8_t> image;
        if (!BuildProgramImage(ws, data, type, options, result, image)) return result;
        std::copy(image.begin(), image.end(), ws.Buffers.ProgramBuffer.begin());
    }
    ws.CalChecksum();
    if (ws.ShownOnce) {
        ws.RefreshPending = true;
        result.RecreateIDWindow = true;
        result.RecreateMemoryWindow = true;
    }
    result.Ok = true;
    return result;
}

TFileResult LoadCfgFile(TWorkspace& ws, TCfgMode mode, const TFileOptions& options,
                        const TFileAccess& files) {
    std::vector<uint8_t> bytes;
    const TReadStatus status = files.Read(ws.ConfigPath, MaxFileBytes, true, bytes);
    if (status == TReadStatus::TooLarge) {
        TFileResult result;
        result.Messages.push_back(CfgDataErrorText(ws.ConfigPath));
        return result;
    }
    if (status != TReadStatus::Ok) {
        TFileResult result;
        result.Messages.push_back(FileCantOpenText);
        return result;
    }
    return LoadCfg(ws, bytes, mode, options, files);
}

} // namespace orvan
