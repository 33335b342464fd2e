// Every catalogue row and every family against a table written out here, so
// that a slip in one byte of the built-in tables shows.
#include "device/Catalogue.h"
#include "device/OptionDecode.h"

#include <gtest/gtest.h>

#include <string>

namespace orvan {
namespace {

struct TRow {
    const char* Name;
    unsigned LastWord;
    int Words;
    int Family;
    int Bits; // instruction word width
    uint8_t CodeHi, CodeLo;
    unsigned Writer;
    bool Flash;
    uint8_t AndLo, OrLo, AndHi, OrHi;
    int LastEE; // -1: no EEPROM
    uint8_t OscRule;
};

// clang-format off
const TRow Expected[] = {
    {"OV101", 0x01FF,  512,  1, 12, 0x02, 0x20, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV102", 0x03FF, 1024,  1, 12, 0x02, 0x21, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV103", 0x07FF, 2048,  1, 12, 0x03, 0x20, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV104", 0x01FF,  512,  1, 12, 0x02, 0x23, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV105", 0x03FF, 1024,  1, 12, 0x02, 0x24, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV106", 0x07FF, 2048,  1, 12, 0x02, 0x25, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV107", 0x03FF, 1024,  7, 12, 0x50, 0xC0, 2, false, 0x00, 0x00, 0x40, 0x00,   -1, 0},
    {"OV108", 0x03FF, 1024,  7, 12, 0x50, 0xC1, 2, false, 0x00, 0x00, 0x40, 0x00,   -1, 0},
    {"OV109", 0x01FF,  512,  7, 12, 0x12, 0x66, 1, false, 0x00, 0x00, 0x40, 0x00,   -1, 0},
    {"OV110", 0x03FF, 1024,  9, 12, 0x71, 0xC0, 2, false, 0x40, 0x1A, 0x5F, 0x00,   -1, 0},
    {"OV111", 0x03FF, 1024,  8, 12, 0x71, 0x41, 2, false, 0x4F, 0x10, 0x5F, 0x00,   -1, 2},
    {"OV112", 0x03FF, 1024,  4, 12, 0x71, 0xC4, 2, false, 0x70, 0x0A, 0x47, 0x08,   -1, 0},
    {"OV113", 0x03FF, 1024,  3, 12, 0x71, 0x45, 2, false, 0x7F, 0x00, 0x47, 0x08,   -1, 3},
    {"OV114", 0x03FF, 1024, 12, 12, 0x71, 0xC6, 2, false, 0x40, 0x1A, 0x5F, 0x00,   -1, 0},
    {"OV115", 0x03FF, 1024, 11, 12, 0x71, 0x47, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 1},
    {"OV116", 0x03FF, 1024,  2, 14, 0x22, 0x43, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV117", 0x07FF, 2048,  5, 14, 0x75, 0x00, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV118", 0x0FFF, 4096,  5, 14, 0x75, 0x01, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV119", 0x07FF, 2048,  5, 14, 0x74, 0x61, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV120", 0x0FFF, 4096,  6, 14, 0x74, 0x20, 2, false, 0x4F, 0x20, 0x5F, 0x00,   -1, 0},
    {"OV121", 0x0FFF, 4096,  5, 14, 0x74, 0x62, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV122", 0x03FF, 1024,  5, 14, 0x72, 0x01, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV123", 0x07FF, 2048,  5, 14, 0x72, 0x02, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV124", 0x07FF, 2048,  5, 14, 0x75, 0x02, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV125", 0x0FFF, 4096,  5, 14, 0x75, 0x03, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV126", 0x0FFF, 4096,  5, 14, 0x75, 0x64, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV127", 0x0FFF, 4096,  5, 14, 0x74, 0x63, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV128", 0x03FF, 1024, 10, 14, 0x32, 0x27, 1, true,  0x7F, 0x00, 0x7F, 0x00, 0x7F, 0},
    {"OV129", 0x07FF, 2048, 10, 14, 0x32, 0x28, 1, true,  0x7F, 0x00, 0x7F, 0x00, 0x7F, 0},
    {"OV130", 0x0FFF, 4096,  5, 14, 0x74, 0x65, 2, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV131", 0x07FF, 2048, 13, 14, 0x75, 0x65, 2, false, 0x5F, 0x00, 0x55, 0x00,   -1, 0},
    {"OV132", 0x17FF, 6144, 14, 14, 0x74, 0x64, 2, false, 0x57, 0x00, 0x55, 0x00,   -1, 0},
    {"OV133", 0x01FF,  512,  1, 12, 0x02, 0x20, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV134", 0x03FF, 1024,  1, 12, 0x02, 0x21, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV135", 0x07FF, 2048,  1, 12, 0x03, 0x20, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV136", 0x07FF, 2048,  1, 12, 0x02, 0x22, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
    {"OV137", 0x03FF, 1024,  2, 14, 0x22, 0x41, 1, false, 0x7F, 0x00, 0x5F, 0x00,   -1, 0},
};

// OscLayout, PrdLayout, OstLayout, WdtLayout, PedLayout, SecLayout by family.
const uint8_t ExpectedFamilies[FamilyCount][6] = {
    {0, 0, 0, 0, 0, 0}, {1, 0, 1, 1, 1, 2}, {1, 1, 4, 1, 1, 2}, {1, 0, 2, 1, 0, 2},
    {0, 0, 2, 1, 0, 2}, {1, 1, 4, 1, 1, 2}, {1, 0, 4, 1, 1, 2}, {0, 0, 0, 0, 0, 2},
    {1, 0, 3, 2, 0, 2}, {0, 0, 3, 2, 0, 2}, {1, 2, 5, 3, 2, 1}, {4, 0, 4, 1, 1, 2},
    {0, 0, 4, 1, 1, 2}, {5, 0, 0, 0, 0, 2}, {6, 0, 0, 0, 0, 2},
};
// clang-format on

TEST(CatalogueTable, EveryRowAsStored) {
    const auto rows = Catalogue();
    ASSERT_EQ(rows.size(), std::size(Expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TRow& e = Expected[i];
        const TCatalogueRow& r = rows[i];
        SCOPED_TRACE(e.Name);
        EXPECT_STREQ(r.Name, e.Name);
        EXPECT_EQ(r.LastAddrHi * 256u + r.LastAddrLo, e.LastWord);
        EXPECT_EQ(r.Family, e.Family);
        EXPECT_EQ(r.WordType, e.Bits == 12 ? Word12Bit : Word14Bit);
        EXPECT_EQ(r.CodeHi, e.CodeHi);
        EXPECT_EQ(r.CodeLo, e.CodeLo);
        EXPECT_EQ(r.WriterType, e.Writer);
        EXPECT_EQ(r.OptAndLo, e.AndLo);
        EXPECT_EQ(r.OptOrLo, e.OrLo);
        EXPECT_EQ(r.OptAndHi, e.AndHi);
        EXPECT_EQ(r.OptOrHi, e.OrHi);
        EXPECT_EQ(r.Tech, e.Flash ? TechFlash : TechOTP);
        EXPECT_EQ(r.EELastAddrHi * 256 + r.EELastAddrLo, e.LastEE < 0 ? 0 : e.LastEE);
        EXPECT_EQ(r.OscRule, e.OscRule);
    }
}

TEST(CatalogueTable, DeviceStateOfEveryModel) {
    for (std::size_t i = 0; i < std::size(Expected); ++i) {
        const TRow& e = Expected[i];
        SCOPED_TRACE(e.Name);
        TDeviceState s;
        ASSERT_EQ(GetICInfo(e.Name, s), static_cast<int>(i));
        EXPECT_EQ(s.ICName, e.Name);
        EXPECT_EQ(s.LastWordAddr(), static_cast<int>(e.LastWord));
        EXPECT_EQ(s.ICMemBytes, 2 * e.Words);
        EXPECT_EQ(s.WordCount(), e.Words);
        EXPECT_EQ(s.ICFamily, e.Family);
        EXPECT_EQ(s.ICWordType, e.Bits == 12 ? 1u : 2u);
        EXPECT_EQ(s.ICCodeHi, e.CodeHi);
        EXPECT_EQ(s.ICCodeLo, e.CodeLo);
        EXPECT_EQ(s.ICWriterType, e.Writer);
        EXPECT_EQ(s.OptAndLo, e.AndLo);
        EXPECT_EQ(s.OptAndHi, e.AndHi);
        EXPECT_EQ(s.IsFlash(), e.Flash);
        EXPECT_EQ(s.EEBytes(), e.LastEE < 0 ? 1 : e.LastEE + 1);
        EXPECT_EQ(s.ICOscRule, e.OscRule);
        const uint8_t* f = ExpectedFamilies[e.Family];
        EXPECT_EQ(s.OscLayout, f[0]);
        EXPECT_EQ(s.PrdLayout, f[1]);
        EXPECT_EQ(s.OstLayout, f[2]);
        EXPECT_EQ(s.WdtLayout, f[3]);
        EXPECT_EQ(s.PedLayout, f[4]);
        EXPECT_EQ(s.SecLayout, f[5]);

        // The masks as every OPTION refresh applies them: all bits clear
        // leaves the OR masks, all set the AND masks with the OR bits.
        uint8_t lo = 0, hi = 0;
        ApplyOptionMasks(static_cast<int>(i), lo, hi);
        EXPECT_EQ(lo, e.OrLo);
        EXPECT_EQ(hi, e.OrHi);
        lo = hi = 0x7F;
        ApplyOptionMasks(static_cast<int>(i), lo, hi);
        EXPECT_EQ(lo, e.AndLo | e.OrLo);
        EXPECT_EQ(hi, e.AndHi | e.OrHi);
    }
}

TEST(CatalogueTable, EveryFamilyLayout) {
    for (int family = 0; family < FamilyCount; ++family) {
        SCOPED_TRACE(family);
        const TFamilyLayout& f = FamilyLayout(family);
        const uint8_t* e = ExpectedFamilies[family];
        EXPECT_EQ(f.Osc, e[0]);
        EXPECT_EQ(f.Prd, e[1]);
        EXPECT_EQ(f.Ost, e[2]);
        EXPECT_EQ(f.Wdt, e[3]);
        EXPECT_EQ(f.Ped, e[4]);
        EXPECT_EQ(f.Sec, e[5]);
    }
}

} // namespace
} // namespace orvan
