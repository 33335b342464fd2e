// The lists of the OPTION editor: for each setting of the selected device,
// the caption, the items, the value each item writes into the OPTION word
// and which item the current word selects. The window only renders these.
#pragma once

#include "device/Catalogue.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvan {

struct TOptionList {
    std::string CaptionName; // "StaticText1".."StaticText6"
    std::string ListName;    // "ComboBox1".."ComboBox6"
    std::string Caption;
    std::vector<std::string> Items;
    std::vector<unsigned> Values; // written for each item; empty while disabled
    int LowBit = 0;               // the written field, in OPTION word bits
    int BitCount = 0;
    // Where the selection is read from and the value each item shows there
    // (the written field itself, except for the PB4 list).
    int ShowLowBit = 0;
    int ShowBitCount = 0;
    std::vector<unsigned> ShowValues;
    bool Enabled = false;
};

// Top to bottom: oscillator, reset (PRD), timer, watchdog, PED, security.
enum TOptionListId { ListOsc, ListPrd, ListOst, ListWdt, ListPed, ListSec, OptionListCount };

std::array<TOptionList, OptionListCount> OptionLists(const TDeviceState& device);

// The item the OPTION bytes select: the one whose value equals the field,
// or 0 when none does.
int SelectedItem(const TOptionList& list, uint8_t optionLo, uint8_t optionHi);

// Clears the list's field and writes the value of `item`. A disabled list
// or an item out of range leaves the bytes unchanged.
void ApplyItem(const TOptionList& list, int item, uint8_t& optionLo, uint8_t& optionHi);

// The read-only help text beside the lists, one entry a line.
const std::vector<std::string>& OptionHelpLines();

} // namespace orvan
