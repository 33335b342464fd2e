#include "device/OptionEditor.h"

namespace orvan {

namespace {

using TItems = std::vector<std::string>;
using TValues = std::vector<unsigned>;

unsigned Word(uint8_t lo, uint8_t hi) {
    return unsigned(lo & 0x7F) | unsigned(hi & 0x7F) << 7;
}

void SetField(TOptionList& l, TItems items, TValues values, int low, int count) {
    l.Items = std::move(items);
    l.Values = values;
    l.LowBit = l.ShowLowBit = low;
    l.BitCount = l.ShowBitCount = count;
    l.ShowValues = std::move(values);
    l.Enabled = true;
}

const TItems BlankDisableEnable{"Blank", "Disable", "Enable"};

TOptionList Defined(const char* caption, const char* list, const char* text, TItems items) {
    TOptionList l;
    l.CaptionName = caption;
    l.ListName = list;
    l.Caption = text;
    l.Items = std::move(items);
    return l;
}

void Oscillator(TOptionList& l, int layout) {
    switch (layout) {
    case 1:
        SetField(l, {"Blank", "HF", "XT", "LF", "RC"}, {15, 5, 6, 9, 10}, 0, 4);
        break;
    case 2:
        SetField(l, {"Blank", "HF", "XT", "LF", "RC & PB4", "RC & CLK"}, {63, 21, 22, 25, 26, 42},
                 0, 6);
        break;
    case 3:
        // Written over bits 0-5 (the RC code comes with it); only the pin
        // choice in bits 4-5 tells the items apart.
        SetField(l, {"Blank", "PB4", "CLKOUT"}, {63, 26, 42}, 0, 6);
        l.Caption = "PB4 Type";
        l.ShowLowBit = 4;
        l.ShowBitCount = 2;
        l.ShowValues = {3, 1, 2};
        break;
    case 4:
        SetField(l, {"Blank", "HF", "XT", "LF", "RC", "ECLK"}, {63, 21, 22, 25, 26, 42}, 0, 6);
        break;
    case 5:
        SetField(l, {"Blank", "6MHz", "18MHz", "24MHz"}, {15, 6, 9, 10}, 0, 4);
        break;
    case 6:
        SetField(l, {"Blank", "6MHz", "12MHz"}, {3, 1, 2}, 0, 2);
        break;
    default:
        break;
    }
}

void Reset(TOptionList& l, int layout) {
    if (layout == 1) {
        SetField(l, BlankDisableEnable, {3, 2, 1}, 4, 2);
        l.Caption = "PRD:";
    } else if (layout == 2) {
        SetField(l, BlankDisableEnable, {3, 2, 1}, 10, 2);
        l.Caption = "MCLR HI:";
    }
}

void Timer(TOptionList& l, int layout) {
    const TItems ost{"Blank", "20mS", "40mS", "80mS"};
    const TItems put{"Blank", "0mS", "75mS"};
    switch (layout) {
    case 1:
        SetField(l, {"Blank", "150uS", "20mS", "40mS", "80mS"}, {15, 10, 9, 6, 5}, 4, 4);
        break;
    case 2:
        SetField(l, ost, {15, 9, 6, 5}, 4, 4);
        break;
    case 3:
        SetField(l, ost, {15, 9, 6, 5}, 6, 4);
        break;
    case 4:
        SetField(l, put, {3, 2, 1}, 6, 2);
        l.Caption = "PUT";
        break;
    case 5:
        SetField(l, put, {3, 2, 1}, 8, 2);
        l.Caption = "PUT";
        break;
    default:
        break;
    }
}

void Watchdog(TOptionList& l, int layout) {
    if (layout == 1) SetField(l, BlankDisableEnable, {3, 1, 2}, 8, 2);
    if (layout == 2) SetField(l, BlankDisableEnable, {3, 1, 2}, 10, 2);
    if (layout == 3) SetField(l, BlankDisableEnable, {3, 2, 1}, 4, 2);
}

void Ped(TOptionList& l, int layout) {
    if (layout == 1) SetField(l, BlankDisableEnable, {3, 1, 2}, 10, 2);
    if (layout == 2) SetField(l, BlankDisableEnable, {3, 2, 1}, 6, 2);
}

void Security(TOptionList& l, int layout) {
    if (layout == 1) SetField(l, BlankDisableEnable, {3, 2, 1}, 12, 2);
    if (layout == 2) SetField(l, {"Disable", "Enable"}, {1, 0}, 13, 1);
}

} // namespace

std::array<TOptionList, OptionListCount> OptionLists(const TDeviceState& d) {
    // As the window defines them; a layout of 0 leaves the list so, disabled.
    std::array<TOptionList, OptionListCount> lists{
        Defined("StaticText1", "ComboBox1", "Oscillator Type", {"Blank", "HF", "XT", "LF", "RC"}),
        Defined("StaticText6", "ComboBox6", "PRD", BlankDisableEnable),
        Defined("StaticText2", "ComboBox2", "OST", {"Blank", "150uS", "20mS", "40mS", "80mS"}),
        Defined("StaticText3", "ComboBox3", "WDT", BlankDisableEnable),
        Defined("StaticText4", "ComboBox4", "PED", BlankDisableEnable),
        Defined("StaticText5", "ComboBox5", "Security", {"Weak disable", "Disable", "Enable"}),
    };
    Oscillator(lists[ListOsc], d.OscLayout);
    Reset(lists[ListPrd], d.PrdLayout);
    Timer(lists[ListOst], d.OstLayout);
    Watchdog(lists[ListWdt], d.WdtLayout);
    Ped(lists[ListPed], d.PedLayout);
    Security(lists[ListSec], d.SecLayout);
    return lists;
}

int SelectedItem(const TOptionList& list, uint8_t optionLo, uint8_t optionHi) {
    if (!list.Enabled) return 0;
    const unsigned field =
        (Word(optionLo, optionHi) >> list.ShowLowBit) & ((1u << list.ShowBitCount) - 1);
    for (size_t i = 0; i < list.ShowValues.size(); ++i)
        if (list.ShowValues[i] == field) return int(i);
    return 0;
}

void ApplyItem(const TOptionList& list, int item, uint8_t& optionLo, uint8_t& optionHi) {
    if (!list.Enabled || item < 0 || size_t(item) >= list.Values.size()) return;
    const unsigned mask = ((1u << list.BitCount) - 1) << list.LowBit;
    const unsigned w =
        (Word(optionLo, optionHi) & ~mask) | ((list.Values[size_t(item)] << list.LowBit) & mask);
    optionLo = uint8_t(w & 0x7F);
    optionHi = uint8_t((w >> 7) & 0x7F);
}

const std::vector<std::string>& OptionHelpLines() {
    static const std::vector<std::string> lines{
        "PRD=Power Range Detect.",
        "         Don't enable PRD if",
        "         the operating voltage",
        "         is under 4.5V.",
        "OST=Oscillator Start-up Time.",
        "         Don't choice 150us if the",
        "         oscillator type is LF, XT",
        "         or HF.",
        "PUT=Power Up Time.",
        "WDT=Watchdog Timer.",
        "PED=Power Edge Detect.",
    };
    return lines;
}

} // namespace orvan
