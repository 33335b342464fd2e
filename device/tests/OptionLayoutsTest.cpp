// Every OPTION field layout at every value of its field, against the value
// texts written out here: a slip in a text, a bit position or a value shows.
#include "buffer/BufferBlock.h"
#include "device/OptionDecode.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace orvan {
namespace {

struct TLayout {
    TOptionRowId Row;
    int Layout;
    const char* Name; // nullptr: the name label is not the decoder's
    int LowBit, Width;
    std::map<unsigned, std::string> Values; // unlisted values read "Error"
    bool BlankCounts = true;
};

const std::map<unsigned, std::string> Enable12 = {{1, "Enable"}, {2, "Disable"}, {3, "Blank"}};
const std::map<unsigned, std::string> Disable12 = {{1, "Disable"}, {2, "Enable"}, {3, "Blank"}};

const TLayout Layouts[] = {
    {RowOsc, 1, "OSC Type:", 0, 4, {{5, "HF"}, {6, "XT"}, {9, "LF"}, {10, "RC"}, {15, "Blank"}}},
    {RowOsc,
     2,
     "OSC Type:",
     0,
     6,
     {{21, "HF"}, {22, "XT"}, {25, "LF"}, {26, "RC, PB4"}, {42, "RC, CLK"}, {63, "Blank"}}},
    {RowOsc, 3, "PB4 Type:", 4, 2, {{1, "PB4"}, {2, "CLKOUT"}, {3, "Blank"}}},
    {RowOsc,
     4,
     "OSC Type:",
     0,
     6,
     {{21, "HF"}, {22, "XT"}, {25, "LF"}, {26, "RC"}, {42, "ECLK"}, {63, "Blank"}}},
    {RowOsc, 5, "OSC Type:", 0, 4, {{6, "6MHz"}, {9, "18MHz"}, {10, "24MHz"}, {15, "Blank"}}},
    {RowOsc, 6, "OSC Type:", 0, 2, {{1, "6MHz"}, {2, "12MHz"}, {3, "Blank"}}},
    {RowPrd, 1, "PRD:", 4, 2, Enable12},
    {RowPrd, 2, "MCLR HI:", 10, 2, Enable12},
    {RowOst,
     1,
     "OST:",
     4,
     4,
     {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {10, "150uS"}, {15, "Blank"}}},
    {RowOst, 2, "OST:", 4, 4, {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {15, "Blank"}}},
    {RowOst, 3, "OST:", 6, 4, {{5, "80mS"}, {6, "40mS"}, {9, "20mS"}, {15, "Blank"}}},
    {RowOst, 4, "PUT:", 6, 2, {{1, "75mS"}, {2, "0mS"}, {3, "Blank"}}},
    {RowOst, 5, "PUT:", 8, 2, {{1, "75mS"}, {2, "0mS"}, {3, "Blank"}}},
    {RowWdt, 1, nullptr, 8, 2, Disable12},
    {RowWdt, 2, nullptr, 10, 2, Disable12},
    {RowWdt, 3, nullptr, 4, 2, Enable12},
    {RowPed, 1, nullptr, 10, 2, Disable12},
    {RowPed, 2, nullptr, 6, 2, Enable12},
    {RowSec, 1, nullptr, 12, 2, Enable12, /*BlankCounts=*/false},
    {RowSec, 2, nullptr, 13, 1, {{0, "Enable"}, {1, "Disable"}}},
};

// A device with this one layout and no other OPTION field.
TDeviceState OnlyLayout(TOptionRowId row, int layout) {
    TDeviceState d;
    uint8_t* selectors[OptionRowCount] = {&d.OscLayout, &d.PrdLayout, &d.OstLayout,
                                          &d.WdtLayout, &d.PedLayout, &d.SecLayout};
    *selectors[row] = static_cast<uint8_t>(layout);
    return d;
}

TEST(OptionLayouts, EveryValueOfEveryField) {
    for (const TLayout& l : Layouts) {
        const TDeviceState d = OnlyLayout(l.Row, l.Layout);
        for (unsigned v = 0; v < (1u << l.Width); ++v) {
            for (const unsigned others : {0x3FFFu, 0x0000u}) {
                SCOPED_TRACE("row " + std::to_string(l.Row) + " layout " +
                             std::to_string(l.Layout) + " value " + std::to_string(v) +
                             " other bits " + std::to_string(others));
                const unsigned mask = ((1u << l.Width) - 1u) << l.LowBit;
                const unsigned word = (others & ~mask) | (v << l.LowBit);
                uint8_t lo, hi;
                WordToPair(word, lo, hi);
                TOptionPanel p;
                p.Rows[l.Row].Value = "stale";
                RefreshOptionPanel(d, -1, lo, hi, p);
                const auto it = l.Values.find(v);
                const std::string want = it == l.Values.end() ? "Error" : it->second;
                EXPECT_EQ(p.Rows[l.Row].Value, want);
                EXPECT_TRUE(p.Rows[l.Row].Enabled);
                if (l.Name) {
                    EXPECT_EQ(p.Rows[l.Row].Name, l.Name);
                }
                int status = 0;
                if (want == "Error") status = OptionErrorBit;
                if (want == "Blank" && l.BlankCounts) status = OptionBlankBit;
                EXPECT_EQ(p.OptionStatus, status);
                for (int r = 0; r < OptionRowCount; ++r) {
                    if (r != l.Row) {
                        EXPECT_FALSE(p.Rows[size_t(r)].Enabled) << "row " << r;
                    }
                }
            }
        }
    }
}

TEST(OptionLayouts, ResetRowPlaceAndTimerRule) {
    // The reset row's name moves with its layout; an OST timer greys it
    // after it was decoded.
    for (int ost = 0; ost <= 5; ++ost) {
        for (int prd = 1; prd <= 2; ++prd) {
            SCOPED_TRACE("OST " + std::to_string(ost) + " PRD " + std::to_string(prd));
            TDeviceState d = OnlyLayout(RowPrd, prd);
            d.OstLayout = static_cast<uint8_t>(ost);
            uint8_t lo = 0x6F, hi = 0x7F;       // PRD bits 4-5 = 2: "Disable"
            if (prd == 2) lo = 0x7F, hi = 0x77; // bits 10-11 = 2
            TOptionPanel p;
            RefreshOptionPanel(d, -1, lo, hi, p);
            EXPECT_EQ(p.Rows[RowPrd].Value, "Disable");
            EXPECT_EQ(p.Rows[RowPrd].NameLeft, prd == 1 ? 72 : 40);
            EXPECT_EQ(p.Rows[RowPrd].Enabled, ost == 0 || ost >= 4);
        }
    }
}

TEST(OptionLayouts, BlankAndErrorRowsTogether) {
    // OV128 (family 10): every row; a blank row and an error row set both bits.
    TDeviceState d;
    const int row = GetICInfo("OV128", d);
    uint8_t lo, hi;
    WordToPair(0x3FF0, lo, hi); // oscillator 0: Error, the rest blank
    TOptionPanel p;
    RefreshOptionPanel(d, row, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Value, "Error");
    EXPECT_EQ(p.Rows[RowWdt].Value, "Blank");
    EXPECT_EQ(p.OptionStatus, OptionBlankBit | OptionErrorBit);
}

} // namespace
} // namespace orvan
