#include "ops/OpLayout.h"

#include "ops/Blankcheck.h"
#include "ops/Forcewrite.h"
#include "ops/Programee.h"
#include "ops/Programmemory.h"
#include "ops/Programoption.h"
#include "ops/Readic.h"
#include "ops/Verify.h"

namespace orvan {
namespace {

using R = TLayoutLine::TRole;

TLayoutLine Line(const char* control, const char* text = "", bool visible = true) {
    return {control, text, visible, R::Line};
}
TLayoutLine Button(const char* control, const char* caption, bool enabled = false) {
    // Buttons start disabled: Visible carries "enabled" for them.
    return {control, caption, enabled, R::Button};
}
const TLayoutLine Gauge{"CGauge1", "", true, R::Gauge};

} // namespace

const TOpLayout& LayoutOf(TOpKind kind) {
    static const TOpLayout layouts[] = {
        {"TBlankCheckForm",
         "Blank Check",
         {Line("StaticText1", "Blank Check"), Line("Label1", "", false), Line("Label2"),
          Line("Label3"), Line("Label4"), Line("Label5"), Button("Button1", "OK")},
         BlankCheckThread},
        {"TReadForm",
         "Read",
         {Line("StaticText1", "Read"), Line("Label1"), Line("Label2"), Line("Label3"),
          Line("EEInfo", "", false), Gauge, Button("Button1", "OK")},
         ReadICThread},
        {"TProgramMemoryForm",
         "Program Memory",
         {Line("StaticText1", "Program memory"), Line("Label1", "Program....."),
          Line("Label2", "0000"), Button("Button1", "OK")},
         ProgramMemoryThread},
        {"TProgramOptionForm",
         "Program OPTION",
         {Line("StaticText1", "OPTION"), Line("Label1", "Programming....."),
          Button("Button1", "OK")},
         ProgramOptionThread},
        {"TVerifyForm",
         "Verify",
         {Line("StaticText1", "Verify"), Line("Label2", "Verify ......"), Line("Label4"),
          Line("Label5"), Line("EEInfo", "", false), Line("Label3", "IC=0000 , Buffer=0000", false),
          Button("Button1", "OK")},
         VerifyThread},
        {"TProgramEEPROM",
         "Program EEPROM",
         {Line("StaticText1", "Program EEPROM"), Line("Label1", "Program..."),
          Line("Label3", "", false), Line("Label2", "", false), Button("ButtonOk", "OK")},
         ProgramEEThread},
        {"TForceWriteForm",
         "Program Memory Without Check",
         {Line("StaticText1", "Program Memory Without Check"), Line("Label1", "", false), Gauge,
          Line("Label2"), Line("Label3", "", false),
          // A chip record that could not be written (production records).
          Line("RecordLine"), Button("Button1", "Exit"), Button("Button2", "Continue")},
         ForceWriteThread},
    };
    return layouts[static_cast<size_t>(kind)];
}

TDialogState::TDialogState() = default;

TDialogState::TDialogState(TControl blank) : Blank(std::move(blank)) {}

TDialogState::TDialogState(const TOpLayout& layout) : From(&layout) {
    for (const TLayoutLine& l : layout.Lines) {
        TControl& c = Controls[l.Control];
        c.Text = l.Text;
        if (l.Role == R::Button)
            c.Enabled = l.Visible;
        else
            c.Visible = l.Visible;
    }
}

bool TDialogState::Apply(const TOpUpdate& u) {
    // Not a structured binding: older compilers cannot capture one below.
    const auto emplaced = Controls.try_emplace(u.Control, Blank);
    const bool named = emplaced.second;
    TControl& c = emplaced.first->second;
    auto set = [&](auto& field, auto value) {
        if (field == value) return named;
        field = value;
        return true;
    };
    switch (u.Kind) {
    case TOpUpdate::TKind::Text:
        return set(c.Text, u.Text);
    case TOpUpdate::TKind::Colour:
        return set(c.Colour, TLineColour(u.Value));
    case TOpUpdate::TKind::Visible:
        return set(c.Visible, u.Value != 0);
    case TOpUpdate::TKind::Enabled:
        return set(c.Enabled, u.Value != 0);
    case TOpUpdate::TKind::Gauge:
        return set(c.Gauge, u.Value);
    }
    return named;
}

const TDialogState::TControl& TDialogState::operator[](const std::string& control) const {
    const auto it = Controls.find(control);
    return it == Controls.end() ? Blank : it->second;
}

std::vector<std::string> TDialogState::FinalLines() const {
    std::vector<std::string> out;
    if (!From) return out;
    for (const TLayoutLine& l : From->Lines) {
        if (l.Role != R::Line) continue;
        const TControl& c = (*this)[l.Control];
        if (!c.Visible || c.Text.empty()) continue;
        out.push_back((c.Colour == TLineColour::Red ? "ERROR: " : "") + DisplayText(c.Text));
    }
    return out;
}

std::string TDialogState::FirstRed() const {
    if (!From) return {};
    for (const TLayoutLine& l : From->Lines) {
        const TControl& c = (*this)[l.Control];
        if (l.Role == R::Line && c.Visible && c.Colour == TLineColour::Red && !c.Text.empty())
            return DisplayText(c.Text);
    }
    return {};
}

} // namespace orvan
