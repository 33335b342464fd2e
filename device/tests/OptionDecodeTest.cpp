#include "device/OptionDecode.h"
#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace orvan {
namespace {

// Decodes `word` for `model`; "-" in the expectation means the row is greyed.
struct TCase {
    const char* Model;
    unsigned Word;
    std::array<const char*, OptionRowCount> Values; // OSC PRD OST WDT PED Security
    int Status;
};

TOptionPanel Decode(const std::string& model, unsigned word, uint8_t* lo = nullptr,
                    uint8_t* hi = nullptr) {
    TDeviceState d;
    const int row = GetICInfo(model, d);
    EXPECT_GE(row, 0) << model;
    uint8_t optLo, optHi;
    WordToPair(word, optLo, optHi);
    TOptionPanel panel;
    RefreshOptionPanel(d, row, optLo, optHi, panel);
    if (lo) *lo = optLo;
    if (hi) *hi = optHi;
    return panel;
}

TEST(OptionDecode, RowsPerLayout) {
    const TCase cases[] = {
        // family 1: PRD greyed, Security from bit 13
        {"OV101", 0x3FFF, {"Blank", "-", "Blank", "Blank", "Blank", "Disable"}, 1},
        // oscillator value 0 is an error; the other rows stay blank
        {"OV101", 0x3FF0, {"Error", "-", "Blank", "Blank", "Blank", "Disable"}, 3},
        {"OV101", 0x1FF5, {"HF", "-", "Blank", "Blank", "Blank", "Enable"}, 1},
        {"OV101", 0x1A96, {"XT", "-", "20mS", "Enable", "Enable", "Enable"}, 0},
        // family 10: every row active, blank Security does not count as blank
        {"OV128", 0x3FFF, {"Blank", "Blank", "Blank", "Blank", "Blank", "Blank"}, 1},
        {"OV128", 0x1666, {"XT", "Enable", "0mS", "Disable", "Enable", "Enable"}, 0},
        {"OV128", 0x0000, {"Error", "Error", "Error", "Error", "Error", "Error"}, 2},
        // family 13: only the oscillator (MHz codes) and Security
        {"OV131", 0x3FFF, {"Blank", "-", "-", "-", "-", "Disable"}, 1},
        {"OV131", 0x3FF9, {"18MHz", "-", "-", "-", "-", "Disable"}, 0},
        // family 14: two-bit MHz oscillator
        {"OV132", 0x3FFD, {"6MHz", "-", "-", "-", "-", "Disable"}, 0},
        // family 5: PRD active beside the PUT timer
        {"OV117", 0x3F6F, {"Blank", "Disable", "75mS", "Blank", "Blank", "Disable"}, 1},
        // family 11: six-bit oscillator with ECLK
        {"OV115", 0x3FEA, {"ECLK", "-", "Blank", "Blank", "Blank", "Disable"}, 1},
        // family 8: OST in bits 6-9, WDT in bits 10-11
        {"OV111", 0x3FFF, {"Blank", "-", "Blank", "Blank", "-", "Disable"}, 1},
        // family 4 with OR masks: OST and WDT read 0 -> Error
        {"OV112", 0x0000, {"-", "-", "Error", "Error", "-", "Enable"}, 2},
        // family 7: Security only
        {"OV107", 0x1FFF, {"-", "-", "-", "-", "-", "Enable"}, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Model) + " word " + std::to_string(c.Word));
        const TOptionPanel p = Decode(c.Model, c.Word);
        for (int r = 0; r < OptionRowCount; ++r) {
            const std::string want = c.Values[size_t(r)];
            if (want == "-") {
                EXPECT_FALSE(p.Rows[size_t(r)].Enabled) << "row " << r;
            } else {
                EXPECT_TRUE(p.Rows[size_t(r)].Enabled) << "row " << r;
                EXPECT_EQ(p.Rows[size_t(r)].Value, want) << "row " << r;
            }
        }
        EXPECT_EQ(p.OptionStatus, c.Status);
    }
}

TEST(OptionDecode, NameLabelsFollowTheLayout) {
    TOptionPanel p = Decode("OV128", 0x3FFF);
    EXPECT_EQ(p.Rows[RowPrd].Name, "MCLR HI:");
    EXPECT_EQ(p.Rows[RowPrd].NameLeft, 40);
    EXPECT_EQ(p.Rows[RowOst].Name, "PUT:");
    EXPECT_EQ(p.Rows[RowOsc].Name, "OSC Type:");

    p = Decode("OV117", 0x3FFF);
    EXPECT_EQ(p.Rows[RowPrd].Name, "PRD:");
    EXPECT_EQ(p.Rows[RowPrd].NameLeft, 72);

    // A panel that showed PUT goes back to OST for an OST-type device.
    TDeviceState d;
    GetICInfo("OV101", d);
    uint8_t lo = 0x7F, hi = 0x7F;
    RefreshOptionPanel(d, 0, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOst].Name, "OST:");
}

TEST(OptionDecode, UnusedOscillatorLayouts) {
    // No family uses layouts 2 and 3; decode them on a hand-made device.
    TDeviceState d;
    d.OscLayout = 2;
    TOptionPanel p;
    uint8_t lo = 0x1A, hi = 0x7F; // bits 0-5 = 26
    RefreshOptionPanel(d, -1, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Value, "RC, PB4");
    lo = 0x2A;
    RefreshOptionPanel(d, -1, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Value, "RC, CLK");
    lo = 0x00;
    RefreshOptionPanel(d, -1, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Value, "Error");

    d.OscLayout = 3;
    lo = 0x2A; // bits 4-5 = 2
    RefreshOptionPanel(d, -1, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Name, "PB4 Type:");
    EXPECT_EQ(p.Rows[RowOsc].Value, "CLKOUT");
    d.OscLayout = 1;
    RefreshOptionPanel(d, -1, lo, hi, p);
    EXPECT_EQ(p.Rows[RowOsc].Name, "OSC Type:");
}

TEST(OptionDecode, MasksAreAppliedInPlace) {
    uint8_t lo = 0, hi = 0;
    Decode("OV112", 0x0000, &lo, &hi);
    EXPECT_EQ(lo, 0x0A);
    EXPECT_EQ(hi, 0x08);
    Decode("OV101", 0x3FFF, &lo, &hi);
    EXPECT_EQ(lo, 0x7F);
    EXPECT_EQ(hi, 0x5F);
    Decode("OV107", 0x3FFF, &lo, &hi);
    EXPECT_EQ(lo, 0x00);
    EXPECT_EQ(hi, 0x40);
}

TEST(OptionDecode, GreyedRowKeepsItsLastText) {
    TOptionPanel p;
    TDeviceState d;
    uint8_t lo = 0x66, hi = 0x2C; // OV128 word 0x1666: MCLR HI "Enable"
    RefreshOptionPanel(d, GetICInfo("OV128", d), lo, hi, p);
    ASSERT_EQ(p.Rows[RowPrd].Value, "Enable");
    lo = hi = 0x7F;
    RefreshOptionPanel(d, GetICInfo("OV101", d), lo, hi, p);
    EXPECT_FALSE(p.Rows[RowPrd].Enabled);
    EXPECT_EQ(p.Rows[RowPrd].Value, "Enable");
}

} // namespace
} // namespace orvan
