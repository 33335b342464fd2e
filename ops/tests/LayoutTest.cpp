// The dialogs' starting picture, how updates land on it, and what of it
// is news.
#include "ops/OpLayout.h"

#include <gtest/gtest.h>

namespace orvan::test {
namespace {

TOpUpdate Text(const char* control, const char* text) {
    return {TOpUpdate::TKind::Text, control, text, 0};
}
TOpUpdate Red(const char* control) {
    return {TOpUpdate::TKind::Colour, control, {}, int(TLineColour::Red)};
}
TOpUpdate Show(const char* control) {
    return {TOpUpdate::TKind::Visible, control, {}, 1};
}

TEST(Layout, FinalLinesTopToBottom) {
    TDialogState d(LayoutOf(TOpKind::Verify));
    // Hidden lines and empty lines are not read out.
    EXPECT_EQ(d.FinalLines(), (std::vector<std::string>{"Verify", "Verify ......"}));
    EXPECT_FALSE(d["Button1"].Enabled);

    d.Apply(Text("Label2", "OPTION verify Fail!!"));
    d.Apply(Red("Label2"));
    d.Apply(Text("Label4", "ID && Checksum verify OK!!"));
    d.Apply(Text("Label5", "Data Verify error at 0012H"));
    d.Apply(Text("Label3", "IC=0343H, Buffer=03C3H"));
    d.Apply(Show("Label3"));
    EXPECT_EQ(d.FinalLines(),
              (std::vector<std::string>{"Verify", "ERROR: OPTION verify Fail!!",
                                        "ID & Checksum verify OK!!", "Data Verify error at 0012H",
                                        "IC=0343H, Buffer=03C3H"}));
}

TEST(Layout, DisplayTextUndoublesAmpersands) {
    EXPECT_EQ(DisplayText("OPTION program && verify OK!!"), "OPTION program & verify OK!!");
    EXPECT_EQ(DisplayText("a &&& b"), "a && b");
    EXPECT_EQ(DisplayText("&"), "&");
}

TEST(Layout, OnlyAChangeIsNewsAndTheTopmostRedLineIsTheError) {
    TDialogState v(LayoutOf(TOpKind::Verify));
    EXPECT_TRUE(v.Apply(Text("Label5", "Data Verify error at 0000H")));
    EXPECT_FALSE(v.Apply(Text("Label5", "Data Verify error at 0000H")));
    EXPECT_FALSE(v.Apply(Show("Label2"))); // visible from the start
    // A default-colour failure is no red line.
    EXPECT_EQ(v.FirstRed(), "");
    v.Apply(Red("Label5"));
    v.Apply(Red("Label4"));
    v.Apply(Text("Label4", "ID && Checksum verify fail!!"));
    EXPECT_EQ(v.FirstRed(), "ID & Checksum verify fail!!");

    // Without a layout every control is news when first named, even with
    // the blank state it starts from.
    TDialogState free;
    EXPECT_TRUE(free.Apply(Show("Label1")));
    EXPECT_FALSE(free.Apply(Show("Label1")));
    EXPECT_TRUE(free.Apply({TOpUpdate::TKind::Gauge, "CGauge1", {}, 0}));
    EXPECT_TRUE(free.Has("Label1") && !free.Has("Label2"));
    EXPECT_TRUE(free["Button1"].Enabled);

    // Force write: a new run's colour reset makes an old red line count no more.
    TDialogState fw(LayoutOf(TOpKind::ForceWrite));
    fw.Apply(Red("Label1"));
    fw.Apply(Show("Label1"));
    fw.Apply(Text("Label1", "Connect Timeout!!"));
    EXPECT_EQ(fw.FirstRed(), "Connect Timeout!!");
    EXPECT_TRUE(fw.Apply({TOpUpdate::TKind::Colour, "Label1", {}, int(TLineColour::Default)}));
    EXPECT_EQ(fw.FirstRed(), "");
}

TEST(Layout, EveryDialogStartsWithItsButtonsDisabled) {
    for (TOpKind k :
         {TOpKind::BlankCheck, TOpKind::Read, TOpKind::ProgramMemory, TOpKind::ProgramOption,
          TOpKind::Verify, TOpKind::ProgramEEPROM, TOpKind::ForceWrite}) {
        const TOpLayout& l = LayoutOf(k);
        TDialogState d(l);
        EXPECT_NE(l.Routine, nullptr);
        EXPECT_EQ(d["StaticText1"].Text, l.Lines.front().Text);
        for (const TLayoutLine& line : l.Lines)
            if (line.Role == TLayoutLine::TRole::Button) {
                EXPECT_FALSE(d[line.Control].Enabled);
            }
    }
}

} // namespace
} // namespace orvan::test
