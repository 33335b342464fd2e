#include "device/OptionEditor.h"
#include "buffer/BufferBlock.h"
#include "device/OptionDecode.h"

#include <gtest/gtest.h>

#include <string>

namespace orvan {
namespace {

TDeviceState Model(const std::string& name) {
    TDeviceState d;
    EXPECT_GE(GetICInfo(name, d), 0) << name;
    return d;
}

TOptionPanel Decoded(const std::string& name, uint8_t lo, uint8_t hi) {
    TDeviceState d;
    const int row = GetICInfo(name, d);
    TOptionPanel panel;
    RefreshOptionPanel(d, row, lo, hi, panel);
    return panel;
}

// The panel names the two RC pin variants with a comma.
std::string PanelText(std::string item) {
    if (item == "RC & PB4") return "RC, PB4";
    if (item == "RC & CLK") return "RC, CLK";
    return item;
}

TEST(OptionEditor, ListsPerFamily) {
    const auto ov101 = OptionLists(Model("OV101"));
    EXPECT_EQ(ov101[ListOsc].Caption, "Oscillator Type");
    EXPECT_FALSE(ov101[ListPrd].Enabled);
    EXPECT_EQ(ov101[ListPrd].Caption, "PRD");
    EXPECT_EQ(ov101[ListOst].Items,
              (std::vector<std::string>{"Blank", "150uS", "20mS", "40mS", "80mS"}));
    EXPECT_EQ(ov101[ListSec].Items, (std::vector<std::string>{"Disable", "Enable"}));

    const auto ov128 = OptionLists(Model("OV128"));
    EXPECT_EQ(ov128[ListPrd].Caption, "MCLR HI:");
    EXPECT_EQ(ov128[ListOst].Caption, "PUT");
    EXPECT_EQ(ov128[ListOst].Items, (std::vector<std::string>{"Blank", "0mS", "75mS"}));
    EXPECT_EQ(ov128[ListSec].Items, (std::vector<std::string>{"Blank", "Disable", "Enable"}));

    // Only family 10 offers a blank security field.
    for (const TCatalogueRow& row : Catalogue()) {
        const auto lists = OptionLists(Model(row.Name));
        EXPECT_EQ(lists[ListSec].Items.front() == "Blank", row.Family == 10) << row.Name;
    }

    // OV131: oscillator and security only; the others keep their defined items, disabled.
    const auto ov131 = OptionLists(Model("OV131"));
    EXPECT_EQ(ov131[ListOsc].Items, (std::vector<std::string>{"Blank", "6MHz", "18MHz", "24MHz"}));
    for (int i : {ListPrd, ListOst, ListWdt, ListPed}) {
        EXPECT_FALSE(ov131[size_t(i)].Enabled);
        EXPECT_FALSE(ov131[size_t(i)].Items.empty());
    }

    const char* names[][2] = {{"StaticText1", "ComboBox1"}, {"StaticText6", "ComboBox6"},
                              {"StaticText2", "ComboBox2"}, {"StaticText3", "ComboBox3"},
                              {"StaticText4", "ComboBox4"}, {"StaticText5", "ComboBox5"}};
    for (size_t i = 0; i < OptionListCount; ++i) {
        EXPECT_EQ(ov131[i].CaptionName, names[i][0]);
        EXPECT_EQ(ov131[i].ListName, names[i][1]);
    }
}

// Every item of every model, written into any starting word, reads back in
// the status panel as the item's own text and selects the same item again.
TEST(OptionEditor, EveryItemDecodesToItsText) {
    for (const TCatalogueRow& row : Catalogue()) {
        const auto lists = OptionLists(Model(row.Name));
        for (unsigned start : {0x3FFFu, 0x0000u, 0x2AAAu, 0x1555u}) {
            for (size_t l = 0; l < OptionListCount; ++l) {
                if (!lists[l].Enabled) continue;
                for (size_t item = 0; item < lists[l].Items.size(); ++item) {
                    uint8_t lo, hi;
                    WordToPair(start, lo, hi);
                    const unsigned before = PairToWord(lo, hi);
                    ApplyItem(lists[l], int(item), lo, hi);
                    const unsigned field = ((1u << lists[l].BitCount) - 1) << lists[l].LowBit;
                    EXPECT_EQ(PairToWord(lo, hi) & ~field, before & ~field)
                        << row.Name << " list " << l << " touched other bits";
                    EXPECT_EQ(SelectedItem(lists[l], lo, hi), int(item)) << row.Name << " " << l;
                    const TOptionPanel panel = Decoded(row.Name, lo, hi);
                    if (!panel.Rows[l].Enabled) continue;
                    EXPECT_EQ(panel.Rows[l].Value, PanelText(lists[l].Items[item]))
                        << row.Name << " list " << l << " item " << item;
                }
            }
        }
    }
}

TEST(OptionEditor, LayoutsWithoutCatalogueModel) {
    TDeviceState d;
    d.OscLayout = 3;
    auto lists = OptionLists(d);
    EXPECT_EQ(lists[ListOsc].Caption, "PB4 Type");
    uint8_t lo = 0x7F, hi = 0x7F;
    ApplyItem(lists[ListOsc], 1, lo, hi); // "PB4" brings the RC code along
    EXPECT_EQ(lo & 0x0F, 0x0A);
    EXPECT_EQ((lo >> 4) & 3, 1);
    EXPECT_EQ(SelectedItem(lists[ListOsc], lo, hi), 1);
    // Shown from bits 4-5 alone: another oscillator code still reads "CLKOUT".
    lo = uint8_t((2 << 4) | 0x05);
    EXPECT_EQ(SelectedItem(lists[ListOsc], lo, hi), 2);

    d.OscLayout = 2;
    lists = OptionLists(d);
    ASSERT_EQ(lists[ListOsc].Items.size(), 6u);
    lo = 0, hi = 0;
    ApplyItem(lists[ListOsc], 5, lo, hi);
    EXPECT_EQ(lo & 0x3F, 42);
    EXPECT_EQ(Decoded("OV101", 0x7F, 0x7F).Rows[RowOsc].Value, "Blank");
}

TEST(OptionEditor, SelectionAndFaultyInput) {
    const auto ov101 = OptionLists(Model("OV101"));
    // An oscillator code no item has selects "Blank".
    EXPECT_EQ(SelectedItem(ov101[ListOsc], 0x00, 0x7F), 0);
    // OST "150uS" on OV101, as the panel shows it.
    uint8_t lo = 0x7F, hi = 0x7F;
    ApplyItem(ov101[ListOst], 1, lo, hi);
    EXPECT_EQ(Decoded("OV101", lo, hi).Rows[RowOst].Value, "150uS");
    // Disabled lists and items out of range change nothing.
    const uint8_t keepLo = lo, keepHi = hi;
    ApplyItem(ov101[ListPrd], 1, lo, hi);
    ApplyItem(ov101[ListOst], 9, lo, hi);
    ApplyItem(ov101[ListOst], -1, lo, hi);
    EXPECT_EQ(lo, keepLo);
    EXPECT_EQ(hi, keepHi);

    // PED "Blank" on OV128 sets word bits 6 and 7.
    const auto ov128 = OptionLists(Model("OV128"));
    lo = 0x00, hi = 0x00;
    ApplyItem(ov128[ListPed], 0, lo, hi);
    EXPECT_EQ(PairToWord(lo, hi), 0xC0u);
    EXPECT_EQ(Decoded("OV128", lo, hi).Rows[RowPed].Value, "Blank");
}

TEST(OptionEditor, HelpText) {
    const auto& help = OptionHelpLines();
    ASSERT_EQ(help.size(), 11u);
    EXPECT_EQ(help.front(), "PRD=Power Range Detect.");
    EXPECT_EQ(help[5], "         Don't choice 150us if the");
    EXPECT_EQ(help.back(), "PED=Power Edge Detect.");
}

} // namespace
} // namespace orvan
