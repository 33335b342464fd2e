#include "session/ConfigFile.h"

#include "device/Checksum.h"
#include "session/Workspace.h"

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

    // The next `n` characters, whatever they are.
    std::optional<std::string> Take(std::size_t n) {
        if (Left() < n) return std::nullopt;
        std::string text(Bytes.begin() + static_cast<std::ptrdiff_t>(Pos),
                         Bytes.begin() + static_cast<std::ptrdiff_t>(Pos + n));
        Pos += n;
        return text;
    }

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

// A word as a label shows it: printable, no blank.
bool IsWord(const std::optional<std::string>& text) {
    return text && !text->empty() &&
           std::all_of(text->begin(), text->end(), [](char c) { return c > ' ' && c < 0x7F; });
}

// An OPTION text as a value label showed it. Two of them hold a blank
// ("RC, PB4", "RC, CLK"), so their second word is read as part of them.
bool SkipOptionText(TFieldReader& in) {
    const auto text = in.Field();
    if (!IsWord(text)) return false;
    if (*text != "RC,") return true;
    const auto second = in.Field();
    return second && (*second == "PB4" || *second == "CLK");
}

// The fields up to the device (the magic, the data file, the port), or
// false when one is damaged. In full mode the device must be a model.
bool ParseHead(TFieldReader& in, bool full, TCfgContent& c) {
    const auto magic = in.Take(3);
    if (!magic || *magic != "zyl") return false;

    const auto name = in.Field(NameEnd, MaxCfgFileName);
    if (!name) return false;
    c.DataFile = *name;

    const auto port = in.Field();
    if (!port || port->size() != 4 || port->compare(0, 3, "Com") != 0 || (*port)[3] < '1' ||
        (*port)[3] > '0' + PortCount)
        return false;
    c.PortIndex = (*port)[3] - '1';

    const auto device = in.Field();
    if (!IsWord(device)) return false;
    c.Device = *device;
    TDeviceState target;
    return !full || GetICInfo(c.Device, target) >= 0;
}

// The rest of the file after ParseHead, or false when any of it is
// damaged. `deviceWords`: the program size of the device the serial words
// are written to.
bool ParseTail(TFieldReader& in, int deviceWords, TCfgContent& c) {
    for (int i = 0; i < OptionTexts; ++i)
        if (!SkipOptionText(in)) return false;
    const auto checksum = in.Field();
    if (!checksum || (*checksum != "Blank" && (checksum->size() != 4 || !IsHex(*checksum))))
        return false;

    const auto passCount = in.Field();
    if (!Decimal(passCount)) return false;
    c.PassCount = *passCount;
    const auto display = in.Field();
    if (!display || !IsHex(*display) || display->size() % 2 != 0 ||
        display->size() > 2 * MaxSerialBytes)
        return false;

    const auto mode = Decimal(in.Field());
    const auto start = Decimal(in.Field());
    const auto count = Decimal(in.Field());
    const auto hex = in.Field();
    const auto inc = Decimal(in.Field());
    const auto random = Decimal(in.Field());
    const auto lsb = Decimal(in.Field());
    if (!mode || !start || !count || !hex || !inc || !random || !lsb) return false;
    c.SerialModeOn = *mode != 0;
    c.StartAddr = *start;
    c.ByteCount = *count;
    c.Increment = *inc;
    c.Random = *random;
    c.LsbFirst = *lsb;
    if (c.ByteCount < 1 || c.ByteCount > MaxSerialBytes) return false;
    if (c.Increment < 1 || c.Increment > 255) return false;
    if (c.Random > 1 || c.LsbFirst > 1) return false;
    // The serial words must lie inside the buffer, and inside the device's
    // memory when the mode is on and they are about to be written.
    const int limit = c.SerialModeOn ? deviceWords : ProgramBytes / 2;
    if (c.StartAddr + c.ByteCount > limit) return false;
    const auto n = static_cast<std::size_t>(c.ByteCount);
    if (hex->size() != 2 * n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        // Element k: characters 2(n-k)-1 and 2(n-k), counted from 1.
        const int hi = HexValue((*hex)[2 * (n - k) - 2]);
        const int lo = HexValue((*hex)[2 * (n - k) - 1]);
        if (hi < 0 || lo < 0) return false;
        c.Bytes[k] = hi * 16 + lo;
    }
    c.SerialText = *hex;

    // The OPTION and ID bytes end the file: anything more or less is damage.
    if (in.Left() != RawBytes) return false;
    std::copy(in.Rest().begin(), in.Rest().end(), c.Raw.begin());
    return true;
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
    auto dataError = [&] {
        result.Messages.push_back(CfgDataErrorText(ws.ConfigPath));
        return result;
    };
    // Read front to back, in the order the messages take: the fields up to
    // the device, then whether the data file is there, then the rest.
    TFieldReader in(bytes);
    TCfgContent content;
    if (!ParseHead(in, full, content)) return dataError();

    if (content.DataFile.empty() || !files.Exists(content.DataFile)) {
        result.Messages.push_back(content.DataFile.empty() ? std::string(NoDataFileText)
                                                           : DataFileMissingText(content.DataFile));
        // A full load starts the project afresh; a companion file leaves the
        // data file just loaded as it is.
        if (full) ws.LoadedFileName.clear();
        return result;
    }

    // The device the serial words go to: the file's in full mode.
    ws.GetICInfo();
    TDeviceState target = ws.Device;
    if (full) GetICInfo(content.Device, target);
    if (!ParseTail(in, target.WordCount(), content)) return dataError();

    std::vector<uint8_t> image;
    if (full) {
        // Opened by its stored name: upper-casing it would miss on a
        // case-sensitive file system. The type test still compares upper case.
        const std::string type = TypeAfterFirstDot(content.DataFile).substr(0, 3);
        const bool records = type == "HEX" || type == "OHX";
        std::vector<uint8_t> data;
        const TReadStatus status =
            files.Read(content.DataFile, records ? MaxFileBytes : ProgramBytes, records, data);
        if (status == TReadStatus::Missing) {
            result.Messages.push_back(DataFileMissingText(content.DataFile));
            ws.LoadedFileName.clear();
            return result;
        }
        if (status != TReadStatus::Ok) {
            result.Messages.push_back(DataFileCantOpenText(content.DataFile, status));
            return result;
        }
        if (!BuildProgramImage(target, data, type, options, result, image)) return result;
    }

    // Every field checked: apply them all.
    if (full) ws.DeviceName = content.Device;
    ws.LoadedFileName = content.DataFile;
    ws.PortIndex = content.PortIndex;
    ws.Panel.PassCount = content.PassCount;
    TSerialSettings& s = ws.Serial;
    s.SerialModeOn = content.SerialModeOn;
    s.SerialStartAddr = content.StartAddr;
    s.SerialByteCount = content.ByteCount;
    ws.Panel.SerialNo = content.SerialText;
    s.SerialBytes = content.Bytes;
    s.SerialIncrement = content.Increment;
    s.SerialRandom = content.Random;
    s.SerialLsbFirst = content.LsbFirst;
    ws.Buffers.OptionLo = content.Raw[0];
    ws.Buffers.OptionHi = content.Raw[1];
    std::copy(content.Raw.begin() + 2, content.Raw.end(), ws.Buffers.IDBuffer.begin());
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
