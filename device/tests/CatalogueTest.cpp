#include "device/Catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace orvan {
namespace {

struct TDerived {
    const char* Name;
    int MemBytes;
    uint8_t Tech;
    uint8_t OscRule;
    uint8_t Osc, Prd, Ost, Wdt, Ped, Sec;
};

TEST(Catalogue, DerivedValuesPerModel) {
    const TDerived cases[] = {
        {"OV101", 1024, TechOTP, 0, 1, 0, 1, 1, 1, 2},
        {"OV111", 2048, TechOTP, 2, 1, 0, 3, 2, 0, 2},
        {"OV113", 2048, TechOTP, 3, 1, 0, 2, 1, 0, 2},
        {"OV115", 2048, TechOTP, 1, 4, 0, 4, 1, 1, 2},
        {"OV117", 4096, TechOTP, 0, 1, 1, 4, 1, 1, 2},
        {"OV128", 2048, TechFlash, 0, 1, 2, 5, 3, 2, 1},
        {"OV129", 4096, TechFlash, 0, 1, 2, 5, 3, 2, 1},
        {"OV131", 4096, TechOTP, 0, 5, 0, 0, 0, 0, 2},
        {"OV132", 12288, TechOTP, 0, 6, 0, 0, 0, 0, 2},
    };
    for (const TDerived& c : cases) {
        SCOPED_TRACE(c.Name);
        TDeviceState s;
        ASSERT_GE(GetICInfo(c.Name, s), 0);
        EXPECT_EQ(s.ICName, c.Name);
        EXPECT_EQ(s.ICMemBytes, c.MemBytes);
        EXPECT_EQ(s.ICTech, c.Tech);
        EXPECT_EQ(s.ICOscRule, c.OscRule);
        EXPECT_EQ(s.OscLayout, c.Osc);
        EXPECT_EQ(s.PrdLayout, c.Prd);
        EXPECT_EQ(s.OstLayout, c.Ost);
        EXPECT_EQ(s.WdtLayout, c.Wdt);
        EXPECT_EQ(s.PedLayout, c.Ped);
        EXPECT_EQ(s.SecLayout, c.Sec);
        EXPECT_EQ(s.EEBytes(), c.Tech == TechFlash ? 128 : 1);
    }
}

TEST(Catalogue, OrderNamesAndFlashModels) {
    const auto rows = Catalogue();
    ASSERT_EQ(rows.size(), 37u);
    std::set<std::string> names;
    int flash = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "OV%03zu", 101 + i);
        EXPECT_STREQ(rows[i].Name, expected);
        names.insert(rows[i].Name);
        EXPECT_EQ(rows[i].LastAddrLo, 0xFF);
        if (rows[i].Tech == TechFlash) {
            ++flash;
            EXPECT_EQ(rows[i].EELastAddrLo, 0x7F);
        } else {
            EXPECT_EQ(rows[i].EELastAddrLo, 0);
        }
    }
    EXPECT_EQ(names.size(), 37u);
    EXPECT_EQ(flash, 2);
}

TEST(Catalogue, RepeatedRowsDifferOnlyByName) {
    for (int i = 0; i < 3; ++i) {
        TDeviceState a, b;
        const std::string na = "OV10" + std::to_string(i + 1);
        const std::string nb = "OV13" + std::to_string(i + 3);
        ASSERT_EQ(GetICInfo(na, a), i);
        ASSERT_EQ(GetICInfo(nb, b), 32 + i);
        EXPECT_EQ(a.ICCodeHi, b.ICCodeHi);
        EXPECT_EQ(a.ICCodeLo, b.ICCodeLo);
        EXPECT_EQ(a.ICMemBytes, b.ICMemBytes);
        EXPECT_EQ(a.OptAndHi, b.OptAndHi);
        EXPECT_EQ(a.OptAndLo, b.OptAndLo);
    }
}

TEST(Catalogue, UnknownNameLeavesStateUntouched) {
    TDeviceState s;
    ASSERT_EQ(GetICInfo("OV117", s), 16);
    EXPECT_EQ(GetICInfo("ov101", s), -1); // case-sensitive
    EXPECT_EQ(GetICInfo("", s), -1);
    EXPECT_EQ(s.ICName, "OV117");
    EXPECT_EQ(s.ICMemBytes, 4096);
}

} // namespace
} // namespace orvan
