#include "buffer/ConfigFile.h"

#include "app/Workspace.h"
#include "device/Checksum.h"

#include <algorithm>
#include <optional>

namespace orvan {

std::string CfgDataErrorText(const std::string& cfgPath) {
    return "'" + cfgPath + "' file data error!";
}

std::string DataFileMissingText(const std::string& dataPath) {
    return "'" + dataPath + "' file do not find!";
}

std::string DataFileCantOpenText(const std::string& dataPath, TReadStatus status) {
    std::string text = "'" + dataPath + "' file can't open!";
    if (status == TReadStatus::TooLarge) text += TooLargeSuffix;
    return text;
}

namespace {

constexpr uint8_t NameEnd = 0x0F;
constexpr uint8_t FieldEnd = ' ';
constexpr std::size_t RawBytes = 2 + IDBytes;
constexpr int OptionTexts = 6;

// Everything a configuration holds, read and checked before any of it is
// applied.
struct TCfgContent {
    std::string DataFile;
    int PortIndex = 0;
    std::string Device;
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

// Reads the fields front to back; every read fails once the text ends.
class TFieldReader {
  public:
    explicit TFieldReader(std::span<const uint8_t> bytes) : Bytes(bytes) {}

    // Characters up to `end`, at most `max` of them, the terminator skipped;
    // nullopt when it does not come in time (a truncated or garbled file).
    std::optional<std::string> Field(uint8_t end, std::size_t max) {
        const std::size_t stop = std::min(Bytes.size(), Pos + max + 1);
        for (std::size_t i = Pos; i < stop; ++i) {
            if (Bytes[i] == end) {
                std::string field(Bytes.begin() + static_cast<std::ptrdiff_t>(Pos),
                                  Bytes.begin() + static_cast<std::ptrdiff_t>(i));
                Pos = i + 1;
                return field;
            }
        }
        return std::nullopt;
    }
    std::optional<std::string> Field() { return Field(FieldEnd, MaxCfgField); }

    std::size_t Left() const { return Bytes.size() - Pos; }
    std::span<const uint8_t> Rest() const { return Bytes.subspan(Pos); }

  private:
    std::span<const uint8_t> Bytes;
    std::size_t Pos = 0;
};

// 1 to 9 decimal digits and nothing else.
std::optional<int32_t> Decimal(const std::optional<std::string>& text) {
    if (!text || text->empty() || text->size() > 9) return std::nullopt;
    int32_t v = 0;
    for (char c : *text) {
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

bool IsHex(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return HexValue(c) >= 0; });
}

// An OPTION text as a value label showed it. Two of them hold a blank
// ("RC, PB4", "RC, CLK"), so their second word is read as part of them.
bool SkipOptionText(TFieldReader& in) {
    const auto text = in.Field();
    if (!text || text->empty()) return false;
    if (*text != "RC,") return true;
    const auto second = in.Field();
    return second && (*second == "PB4" || *second == "CLK");
}

// The whole file, or nullopt when any field is damaged. `currentWords` is
// the program size of the selected device, which settings mode keeps.
std::optional<TCfgContent> ParseCfg(std::span<const uint8_t> bytes, bool full, int currentWords) {
    if (bytes.size() < 3 || bytes[0] != 'z' || bytes[1] != 'y' || bytes[2] != 'l')
        return std::nullopt;
    TFieldReader in(bytes.subspan(3));
    TCfgContent c;

    const auto name = in.Field(NameEnd, MaxCfgFileName);
    if (!name) return std::nullopt;
    c.DataFile = *name;

    const auto port = in.Field();
    if (!port || port->size() != 4 || port->compare(0, 3, "Com") != 0 || (*port)[3] < '1' ||
        (*port)[3] > '0' + PortCount)
        return std::nullopt;
    c.PortIndex = (*port)[3] - '1';

    const auto device = in.Field();
    if (!device || device->empty()) return std::nullopt;
    c.Device = *device;
    TDeviceState target;
    if (full && GetICInfo(c.Device, target) < 0) return std::nullopt;
    const int deviceWords = full ? target.WordCount() : currentWords;

    for (int i = 0; i < OptionTexts; ++i)
        if (!SkipOptionText(in)) return std::nullopt;
    const auto checksum = in.Field();
    if (!checksum || (*checksum != "Blank" && (checksum->size() != 4 || !IsHex(*checksum))))
        return std::nullopt;

    const auto passCount = in.Field();
    if (!Decimal(passCount)) return std::nullopt;
    c.PassCount = *passCount;
    const auto display = in.Field();
    if (!display || !IsHex(*display) || display->size() % 2 != 0 ||
        display->size() > 2 * MaxSerialBytes)
        return std::nullopt;

    const auto mode = Decimal(in.Field());
    const auto start = Decimal(in.Field());
    const auto count = Decimal(in.Field());
    const auto hex = in.Field();
    const auto inc = Decimal(in.Field());
    const auto random = Decimal(in.Field());
    const auto lsb = Decimal(in.Field());
    if (!mode || !start || !count || !hex || !inc || !random || !lsb) return std::nullopt;
    c.SerialModeOn = *mode != 0;
    c.StartAddr = *start;
    c.ByteCount = *count;
    c.Increment = *inc;
    c.Random = *random;
    c.LsbFirst = *lsb;
    if (c.ByteCount < 1 || c.ByteCount > MaxSerialBytes) return std::nullopt;
    if (c.Increment < 1 || c.Increment > 255) return std::nullopt;
    if (c.Random > 1 || c.LsbFirst > 1) return std::nullopt;
    // The serial words must lie inside the buffer, and inside the device's
    // memory when the mode is on and they are about to be written.
    const int limit = c.SerialModeOn ? deviceWords : ProgramBytes / 2;
    if (c.StartAddr + c.ByteCount > limit) return std::nullopt;
    const auto n = static_cast<std::size_t>(c.ByteCount);
    if (hex->size() != 2 * n) return std::nullopt;
    for (std::size_t k = 0; k < n; ++k) {
        // Element k: characters 2(n-k)-1 and 2(n-k), counted from 1.
        const int hi = HexValue((*hex)[2 * (n - k) - 2]);
        const int lo = HexValue((*hex)[2 * (n - k) - 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        c.Bytes[k] = hi * 16 + lo;
    }
    c.SerialText = *hex;

    // The OPTION and ID bytes end the file: anything more or less is damage.
    if (in.Left() != RawBytes) return std::nullopt;
    std::copy(in.Rest().begin(), in.Rest().end(), c.Raw.begin());
    return c;
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
    const bool full = mode == TCfgMode::Full;
    ws.GetICInfo();
    const std::optional<TCfgContent> cfg = ParseCfg(bytes, full, ws.Device.WordCount());
    if (!cfg) {
        result.Messages.push_back(CfgDataErrorText(ws.ConfigPath));
        return result;
    }

    if (cfg->DataFile.empty() || !files.Exists(cfg->DataFile)) {
        result.Messages.push_back(cfg->DataFile.empty() ? std::string(NoDataFileText)
                                                        : DataFileMissingText(cfg->DataFile));
        // A full load starts the project afresh; a companion file leaves the
        // data file just loaded as it is.
        if (full) ws.LoadedFileName.clear();
        return result;
    }

    std::vector<uint8_t> image;
    if (full) {
        // Opened by its stored name: upper-casing it would miss on a
        // case-sensitive file system. The type test still compares upper case.
        const std::string type = TypeAfterFirstDot(cfg->DataFile).substr(0, 3);
        const bool records = type == "HEX" || type == "OHX";
        std::vector<uint8_t> data;
        const TReadStatus status =
            files.Read(cfg->DataFile, records ? MaxFileBytes : ProgramBytes, records, data);
        if (status == TReadStatus::Missing) {
            result.Messages.push_back(DataFileMissingText(cfg->DataFile));
            ws.LoadedFileName.clear();
            return result;
        }
        if (status != TReadStatus::Ok) {
            result.Messages.push_back(DataFileCantOpenText(cfg->DataFile, status));
            return result;
        }
        TDeviceState target;
        GetICInfo(cfg->Device, target);
        if (!BuildProgramImage(target, data, type, options, result, image)) return result;
    }

    // Every field checked: apply them all.
    if (full) ws.DeviceName = cfg->Device;
    ws.LoadedFileName = cfg->DataFile;
    ws.PortIndex = cfg->PortIndex;
    ws.Panel.PassCount = cfg->PassCount;
    TSerialSettings& s = ws.Serial;
    s.SerialModeOn = cfg->SerialModeOn;
    s.SerialStartAddr = cfg->StartAddr;
    s.SerialByteCount = cfg->ByteCount;
    ws.Panel.SerialNo = cfg->SerialText;
    s.SerialBytes = cfg->Bytes;
    s.SerialIncrement = cfg->Increment;
    s.SerialRandom = cfg->Random;
    s.SerialLsbFirst = cfg->LsbFirst;
    ws.Buffers.OptionLo = cfg->Raw[0];
    ws.Buffers.OptionHi = cfg->Raw[1];
    std::copy(cfg->Raw.begin() + 2, cfg->Raw.end(), ws.Buffers.IDBuffer.begin());
    ws.RefreshData();
    if (full) std::copy(image.begin(), image.end(), ws.Buffers.ProgramBuffer.begin());
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
