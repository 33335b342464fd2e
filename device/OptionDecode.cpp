#include "device/OptionDecode.h"

#include <initializer_list>
#include <utility>

namespace orvan {
namespace {

struct TValueText {
    unsigned Value;
    const char* Text;
};

unsigned Field(unsigned word, int lowBit, int width) {
    return (word >> lowBit) & ((1u << width) - 1u);
}

// Looks a field value up; unlisted values are "Error".
class TDecoder {
  public:
    TDecoder(unsigned word, TOptionPanel& panel) : Word(word), Panel(panel) {}

    void Decode(TOptionRowId row, int lowBit, int width, std::initializer_list<TValueText> values,
                int blankValue, bool blankCounts = true) {
        const unsigned v = Field(Word, lowBit, width);
        for (const TValueText& vt : values) {
            if (vt.Value == v) {
                Panel.Rows[row].Value = vt.Text;
                if (static_cast<int>(v) == blankValue && blankCounts)
                    Panel.OptionStatus |= OptionBlankBit;
                return;
            }
        }
        Panel.Rows[row].Value = "Error";
        Panel.OptionStatus |= OptionErrorBit;
    }

    // Two-bit field: 1 and 2 the choices, 3 blank, 0 error.
    void TwoBit(TOptionRowId row, int lowBit, const char* one, const char* two,
                bool blankCounts = true) {
        Decode(row, lowBit, 2, {{1, one}, {2, two}, {3, "Blank"}}, 3, blankCounts);
    }

    void Grey(TOptionRowId row) { Panel.Rows[row].Enabled = false; }
    void Name(TOptionRowId row, const char* name) { Panel.Rows[row].Name = name; }

  private:
    unsigned Word;
    TOptionPanel& Panel;
};

} // namespace

void ApplyOptionMasks(int catalogueRow, uint8_t& optionLo, uint8_t& optionHi) {
    const auto rows = Catalogue();
    if (catalogueRow < 0 || catalogueRow >= static_cast<int>(rows.size())) return;
    const TCatalogueRow& r = rows[static_cast<size_t>(catalogueRow)];
    optionLo = static_cast<uint8_t>((optionLo & r.OptAndLo) | r.OptOrLo);
    optionHi = static_cast<uint8_t>((optionHi & r.OptAndHi) | r.OptOrHi);
}

void RefreshOptionPanel(const TDeviceState& d, int catalogueRow, uint8_t& optionLo,
                        uint8_t& optionHi, TOptionPanel& panel) {
    for (TOptionRow& row : panel.Rows)
        row.Enabled = true;
    ApplyOptionMasks(catalogueRow, optionLo, optionHi);
    panel.OptionStatus = 0;
    panel.Rows[RowOsc].Name = "OSC Type:";

    const unsigned word = (optionHi & 0x7Fu) * 128u + (optionLo & 0x7Fu);
    TDecoder dec(word, panel);

    switch (d.OscLayout) {
    case 1:
        dec.Decode(RowOsc, 0, 4, {{5, "HF"}, {6, "XT"}, {9, "LF"}, {10, "RC"}, {15, "Blank"}}, 15);
        break;
    case 2:
        dec.Decode(
            RowOsc, 0, 6,
            {{21, "HF"}, {22, "XT"}, {25, "LF"}, {26, "RC, PB4"}, {42, "RC, CLK"}, {63, "Blank"}},
            63);
        break;
    case 3:
        dec.Name(RowOsc, "PB4 Type:");
        dec.TwoBit(RowOsc, 4, "PB4", "CLKOUT");
        break;
    case 4:
        dec.Decode(RowOsc, 0, 6,
                   {{21, "HF"}, {22, "XT"}, {25, "LF"}, {26, "RC"}, {42, "ECLK"}, {63, "Blank"}},
                   63);
        break;
    case 5:
        dec.Decode(RowOsc, 0, 4, {{6, "6MHz"}, {9, "18MHz"}, {10, "24MHz"}, {15, "Blank"}}, 15);
        break;
    case 6:
        dec.TwoBit(RowOsc, 0, "6MHz", "12MHz");
        break;
    default:
        dec.Grey(RowOsc);
        break;
    }

    switch (d.PrdLayout) {
    case 1:
        dec.Name(RowPrd, "PRD:");
        panel.Rows[RowPrd].NameLeft = 72;
        dec.TwoBit(RowPrd, 4, "Enable", "Disable");
        break;
    case 2:
        dec.Name(RowPrd, "MCLR HI:");
        panel.Rows[RowPrd].NameLeft = 40;
        dec.TwoBit(RowPrd, 10, "Enable", "Disable");
        break;
    default:
        dec.Grey(RowPrd);
        break;
    }

    switch (d.OstLayout) {
    case 1:
        dec.Name(RowOst, "OST:");
        dec.Decode(RowOst, 4, 4,
                   {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {10, "150uS"}, {15, "Blank"}}, 15);
        break;
    case 2:
        dec.Name(RowOst, "OST:");
        dec.Decode(RowOst, 4, 4, {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {15, "Blank"}}, 15);
        break;
    case 3:
        dec.Name(RowOst, "OST:");
        dec.Decode(RowOst, 6, 4, {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {15, "Blank"}}, 15);
        break;
    case 4:
        dec.Name(RowOst, "PUT:");
        dec.TwoBit(RowOst, 6, "75mS", "0mS");
        break;
    case 5:
        dec.Name(RowOst, "PUT:");
        dec.TwoBit(RowOst, 8, "75mS", "0mS");
        break;
    default:
        dec.Grey(RowOst);
        break;
    }
    // An OST-type timer leaves no room for a reset option.
    if (d.OstLayout >= 1 && d.OstLayout <= 3) dec.Grey(RowPrd);

    switch (d.WdtLayout) {
    case 1:
        dec.TwoBit(RowWdt, 8, "Disable", "Enable");
        break;
    case 2:
        dec.TwoBit(RowWdt, 10, "Disable", "Enable");
        break;
    case 3:
        dec.TwoBit(RowWdt, 4, "Enable", "Disable");
        break;
    default:
        dec.Grey(RowWdt);
        break;
    }

    switch (d.PedLayout) {
    case 1:
        dec.TwoBit(RowPed, 10, "Disable", "Enable");
        break;
    case 2:
        dec.TwoBit(RowPed, 6, "Enable", "Disable");
        break;
    default:
        dec.Grey(RowPed);
        break;
    }

    switch (d.SecLayout) {
    case 1:
        dec.TwoBit(RowSec, 12, "Enable", "Disable", /*blankCounts=*/false);
        break;
    case 2:
        dec.Decode(RowSec, 13, 1, {{0, "Enable"}, {1, "Disable"}}, -1);
        break;
    default:
        dec.Grey(RowSec);
        break;
    }
}

} // namespace orvan
