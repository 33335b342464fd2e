// OPTION word decoding for the status panel: one row per setting, greyed
// where the selected device has no such field.
#pragma once

#include "device/Catalogue.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvan {

struct TOptionRow {
    std::string Name;  // name label text
    int NameLeft = 0;  // name label's left position (only the reset row moves)
    std::string Value; // value label text
    bool Enabled = true;
};

// Rows in panel order, top to bottom.
enum TOptionRowId { RowOsc, RowPrd, RowOst, RowWdt, RowPed, RowSec, OptionRowCount };

enum : int { OptionBlankBit = 1, OptionErrorBit = 2 };

struct TOptionPanel {
    std::array<TOptionRow, OptionRowCount> Rows{{
        {"OSC Type:", 0, "Blank", true},
        {"PRD:", 72, "Blank", true},
        {"OST:", 0, "Blank", true},
        {"WDT:", 0, "Blank", true},
        {"PED:", 0, "Blank", true},
        {"Security:", 0, "Blank", true},
    }};
    int OptionStatus = 0;
};

// Forces the bits a model does not implement: (lo AND andLo) OR orLo, same for hi.
void ApplyOptionMasks(int catalogueRow, uint8_t& optionLo, uint8_t& optionHi);

// The data part of RefreshData: masks the OPTION bytes in place for the
// device at `catalogueRow` and rewrites the panel rows and OptionStatus.
// Rows that are greyed keep the value text they had.
void RefreshOptionPanel(const TDeviceState& device, int catalogueRow, uint8_t& optionLo,
                        uint8_t& optionHi, TOptionPanel& panel);

} // namespace orvan
