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

std::string DisplayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
    }
    return out;
}

TDialogState::TDialogState(const TOpLayout& layout) : Layout(layout) {
    for (const TLayoutLine& l : layout.Lines) {
        TControl& c = Controls[l.Control];
        c.Text = l.Text;
        if (l.Role == R::Button)
            c.Enabled = l.Visible;
        else
            c.Visible = l.Visible;
    }
}

void TDialogState::Apply(const TOpUpdate& u) {
    TControl& c = Controls[u.Control];
    switch (u.Kind) {
    case TOpUpdate::TKind::Text:
        c.Text = u.Text;
        break;
    case TOpUpdate::TKind::Colour:
        c.Colour = TLineColour(u.Value);
        break;
    case TOpUpdate::TKind::Visible:
        c.Visible = u.Value != 0;
        break;
    case TOpUpdate::TKind::Enabled:
        c.Enabled = u.Value != 0;
        break;
    case TOpUpdate::TKind::Gauge:
        c.Gauge = u.Value;
        break;
    }
}

const TDialogState::TControl& TDialogState::operator[](const std::string& control) const {
    static const TControl none;
    const auto it = Controls.find(control);
    return it == Controls.end() ? none : it->second;
}

std::vector<std::string> TDialogState::FinalLines() const {
    std::vector<std::string> out;
    for (const TLayoutLine& l : Layout.Lines) {
        if (l.Role != R::Line) continue;
        const TControl& c = (*this)[l.Control];
        if (!c.Visible || c.Text.empty()) continue;
        out.push_back((c.Colour == TLineColour::Red ? "ERROR: " : "") + DisplayText(c.Text));
    }
    return out;
}

bool TDialogState::AnyRed() const {
    for (const auto& [name, c] : Controls)
        if (c.Visible && c.Colour == TLineColour::Red && !c.Text.empty()) return true;
    return false;
}

bool OperationSucceeded(TOpKind kind, const TDialogState& d, bool flash) {
    if (d.AnyRed()) return false;
    auto is = [&](const char* control, const char* text) { return d[control].Text == text; };
    switch (kind) {
    case TOpKind::BlankCheck:
        return is("Label4", "Data ......... OK.");
    case TOpKind::Read:
        return is("Label3", "Read Data OK") && (!flash || is("EEInfo", "Read EEPROM OK!"));
    case TOpKind::ProgramMemory:
    case TOpKind::ForceWrite:
        return is("Label2", "Data verify OK!!");
    case TOpKind::ProgramOption:
        return is("Label1", "OPTION program && verify OK!!");
    case TOpKind::Verify:
        return is("Label5", "Data verify OK!!") &&
               (!flash || is("EEInfo", "EEPROM Data Verify OK!!"));
    case TOpKind::ProgramEEPROM:
        return is("Label3", "EEPROM Data Verify OK!!");
    }
    return false;
}

} // namespace orvan
