// Device catalogue: the 37 models the writer supports, the family table of
// OPTION layouts, and the device state that GetICInfo fills from them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvan {

// One catalogue row. Field order follows the stored 32-byte row.
struct TCatalogueRow {
    const char* Name; // null ends the table
    uint8_t LastAddrHi;
    uint8_t LastAddrLo;
    int32_t Family;
    uint32_t WordType; // 1 = 12-bit, 2 = 14-bit
    uint8_t CodeHi;
    uint8_t CodeLo;
    uint32_t WriterType; // 1 or 2
    uint8_t OptAndLo;
    uint8_t OptOrLo;
    uint8_t OptAndHi;
    uint8_t OptOrHi;
    uint8_t Tech; // 1 = OTP, 2 = flash
    uint8_t EELastAddrHi;
    uint8_t EELastAddrLo;
    uint8_t OscRule;
};

struct TFamilyLayout {
    uint8_t Osc, Prd, Ost, Wdt, Ped, Sec;
};

inline constexpr int CatalogueSize = 37;
inline constexpr int FamilyCount = 15;

// The rows in drop-down order, without the terminator rows.
std::span<const TCatalogueRow> Catalogue();
const TFamilyLayout& FamilyLayout(int family);

enum : uint8_t { TechOTP = 1, TechFlash = 2 };
enum : uint32_t { Word12Bit = 1, Word14Bit = 2 };

// Device-state fields, written only by GetICInfo.
struct TDeviceState {
    std::string ICName;
    uint8_t ICLastAddrHi = 0;
    uint8_t ICLastAddrLo = 0;
    int32_t ICFamily = 0;
    uint32_t ICWordType = 0;
    uint8_t ICCodeHi = 0;
    uint8_t ICCodeLo = 0;
    uint32_t ICWriterType = 0;
    int32_t ICMemBytes = 0;
    uint8_t OscLayout = 0, PrdLayout = 0, OstLayout = 0, WdtLayout = 0, PedLayout = 0,
            SecLayout = 0;
    uint8_t ICTech = 0;
    uint8_t OptAndHi = 0, OptAndLo = 0;
    uint8_t EELastAddrHi = 0, EELastAddrLo = 0;
    uint8_t ICOscRule = 0;

    int LastWordAddr() const { return ICLastAddrHi * 256 + ICLastAddrLo; }
    int WordCount() const { return ICMemBytes / 2; }
    int EEBytes() const { return EELastAddrHi * 256 + EELastAddrLo + 1; }
    bool IsFlash() const { return ICTech == TechFlash; }
};

// Looks the model name up (exact, case-sensitive). Returns the 0-based row
// index and fills `state`, or returns -1 and leaves `state` untouched.
int GetICInfo(std::string_view name, TDeviceState& state);

// Row index of a model name, or -1.
int FindDevice(std::string_view name);

} // namespace orvan
