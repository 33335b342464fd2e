// Command headers: every area against every action, OTP and flash, the
// oscillator rule, the pulse widths and their edits.
#include "link/Header.h"
#include "session/Operations.h"
#include "session/Workspace.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvan {
namespace {

TDeviceState Model(const char* name) {
    TDeviceState d;
    EXPECT_GE(GetICInfo(name, d), 0) << name;
    return d;
}

// Expected H3, H4, H5, H7 (before the action's pulse width) per area.
struct TAreaRow {
    unsigned Area;
    int H3Read, H3Other, H4, H5, H7;
};

TEST(Header, AreasTimesActions) {
    const TPulseWidths widths{34, 91};
    for (const char* name : {"OV101", "OV128", "OV132"}) {
        const TDeviceState d = Model(name);
        const bool otp = d.ICTech == TechOTP;
        const TAreaRow areas[] = {
            {0, d.ICLastAddrLo, d.ICLastAddrLo, d.ICLastAddrHi, 0, 0x02},
            {1, 0x02, 0x00, 0x00, 1, 0x30},
            {2, 0x0F, 0x07, 0x00, 2, 0x02},
            {3, d.EELastAddrLo, d.EELastAddrLo, d.EELastAddrHi, 3, 0x0C},
            {5, 0x02, 0x00, 0x00, 5, 0x30},
            {4, 0x00, 0x00, 0x00, 2, 0x02},
            {6, 0x00, 0x00, 0x00, 2, 0x02},
            {200, 0x00, 0x00, 0x00, 2, 0x02},
        };
        for (const TAreaRow& a : areas) {
            for (unsigned action : {0u, 1u, 2u, 3u, 4u, 9u}) {
                const THeader h = BuildHeader(a.Area, action, d, 0x7F, 0x7F, widths);
                const bool read = action == HeaderAction::Read;
                SCOPED_TRACE(std::string(name) + " area " + std::to_string(a.Area) + " action " +
                             std::to_string(action));
                EXPECT_EQ(h[0], 0xA1);
                EXPECT_EQ(h[1], 0x00);
                EXPECT_EQ(h[2], 0x00);
                EXPECT_EQ(h[3], read ? a.H3Read : a.H3Other);
                EXPECT_EQ(h[4], a.H4);
                EXPECT_EQ(h[5], a.H5);
                const bool ee = a.Area == 3;
                EXPECT_EQ(h[6], d.ICCodeHi | (ee ? 0x80 : 0));
                EXPECT_EQ(h[8], d.ICCodeLo | (ee && read ? 0x80 : 0));
                int h7 = a.H7, h9 = 0xA5;
                switch (action) {
                case 0:
                    h9 = otp ? 0xA6 : 0xA7;
                    if (!otp) h7 = widths.Program;
                    break;
                case 2:
                    h9 = 0xA8, h7 = widths.Erase;
                    break;
                case 3:
                    h9 = 0xA7, h7 = widths.Program;
                    break;
                default:
                    break;
                }
                EXPECT_EQ(h[7], h7);
                EXPECT_EQ(h[9], h9);
            }
        }
    }
}

TEST(Header, StandardWidthsForProgramming) {
    const TPulseWidths standard;
    const THeader otp = BuildHeader(0, HeaderAction::Program, Model("OV101"), 0x7F, 0x7F, standard);
    EXPECT_EQ(otp[9], 0xA6);
    EXPECT_EQ(otp[7], 0x02);
    const THeader flash =
        BuildHeader(0, HeaderAction::Program, Model("OV128"), 0x7F, 0x7F, standard);
    EXPECT_EQ(flash[9], 0xA7);
    EXPECT_EQ(flash[7], 12);
    const THeader erase = BuildHeader(0, HeaderAction::Erase, Model("OV128"), 0x7F, 0x7F, standard);
    EXPECT_EQ(erase[7], 80);
    // OV128: program memory 0000h-03FFh, EEPROM 00h-7Fh.
    EXPECT_EQ(flash[3], 0xFF);
    EXPECT_EQ(flash[4], 0x03);
    const THeader ee =
        BuildHeader(3, HeaderAction::ProgramPulse, Model("OV128"), 0x7F, 0x7F, standard);
    EXPECT_EQ(ee[3], 0x7F);
    EXPECT_EQ(ee[6], 0x32 | 0x80);
    EXPECT_EQ(ee[8], 0x27);
}

TEST(Header, OscillatorRule) {
    struct {
        uint8_t rule, lo, hi;
        bool bit7;
    } cases[] = {
        {0, 0x0A, 0x00, false}, {0, 0x3A, 0x00, false}, {1, 0x3A, 0x7F, true},
        {1, 0x0A, 0x00, true},  {1, 0x0B, 0x00, false}, {1, 0x1A, 0x00, true},
        {1, 0x7F, 0x7F, false}, {2, 0x0A, 0x00, true},  {2, 0x2A, 0x00, false},
        {2, 0x3A, 0x00, true},  {2, 0x1A, 0x00, true},  {2, 0x2B, 0x00, false},
        {3, 0x0A, 0x00, true},  {3, 0x0A, 0x10, false}, {3, 0x0A, 0x18, true},
        {3, 0x0A, 0x08, true},  {3, 0x0A, 0x70, false}, {3, 0x0C, 0x00, false},
        {7, 0x0A, 0x00, false},
    };
    TDeviceState d = Model("OV111");
    for (const auto& c : cases) {
        d.ICOscRule = c.rule;
        SCOPED_TRACE("rule " + std::to_string(c.rule) + " lo " + std::to_string(c.lo) + " hi " +
                     std::to_string(c.hi));
        for (unsigned area : {0u, 1u, 2u, 5u}) {
            const THeader read = BuildHeader(area, HeaderAction::Read, d, c.lo, c.hi, {});
            EXPECT_EQ((read[8] & 0x80) != 0, c.bit7);
            EXPECT_EQ(read[8] & 0x7F, d.ICCodeLo & 0x7F);
            for (unsigned action : {0u, 2u, 3u, 4u}) {
                const THeader other = BuildHeader(area, action, d, c.lo, c.hi, {});
                EXPECT_EQ(other[8], d.ICCodeLo);
            }
        }
    }
}

TEST(Header, WidthEdits) {
    struct {
        const char* text;
        int limit;
        const char* shown;
    } cases[] = {
        {"", 127, "1"},      {"0", 127, "1"},
        {"00", 255, "1"},    {"127", 127, "127"},
        {"128", 127, "127"}, {"300", 255, "255"},
        {"256", 255, "255"}, {"255", 255, "255"},
        {"5", 127, "5"},     {"99999999999999", 127, "127"},
        {"1x2", 127, "12"},  {"-3", 127, "3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LimitWidthText(c.text, c.limit), c.shown) << c.text;

    const TPulseWidths hidden = PulseWidthsFromEdits(false, "5", false, "80");
    EXPECT_EQ(hidden.Program, 12);
    EXPECT_EQ(hidden.Erase, 80);
    const TPulseWidths shown = PulseWidthsFromEdits(true, "5", true, "33");
    EXPECT_EQ(shown.Program, 10);
    EXPECT_EQ(shown.Erase, 33);
    const TPulseWidths limited = PulseWidthsFromEdits(true, "200", true, "");
    EXPECT_EQ(limited.Program, 254);
    EXPECT_EQ(limited.Erase, 1);
}

TEST(Header, GetHeaderRefreshesTheDeviceFirst) {
    auto ws = std::make_unique<TWorkspace>();
    ASSERT_TRUE(ws->SelectDevice("OV128"));
    ws->Device = TDeviceState{}; // stale fields: GetHeader must look the model up again
    GetHeader(*ws, {}, HeaderArea::EEPROM, HeaderAction::Read);
    const THeader expected = {0xA1, 0, 0, 0x7F, 0x00, 3, 0x32 | 0x80, 0x0C, 0x27 | 0x80, 0xA5};
    EXPECT_EQ(ws->Buffers.CommandHeader, expected);

    // An unknown model leaves the fields as they were and still builds.
    ws->DeviceName = "NoSuchModel";
    GetHeader(*ws, {}, HeaderArea::ProgramMemory, HeaderAction::Program);
    EXPECT_EQ(ws->Buffers.CommandHeader[6], 0x32);
    EXPECT_EQ(ws->Buffers.CommandHeader[9], 0xA7);
}

} // namespace
} // namespace orvan
