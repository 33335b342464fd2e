// The operation dialogs as the operator first sees them: caption, lines top
// to bottom with their initial text and visibility, buttons. The desktop
// dialogs and orvan-cli build from the same table, so both show the lines
// in one order.
#pragma once

#include "ops/Operation.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvan {

enum class TOpKind : uint8_t {
    BlankCheck,
    Read,
    ProgramMemory,
    ProgramOption,
    Verify,
    ProgramEEPROM,
    ForceWrite
};

struct TLayoutLine {
    const char* Control;
    const char* Text; // initial text; for a button its caption
    bool Visible;
    enum class TRole : uint8_t { Line, Gauge, Button } Role = TRole::Line;
};

struct TOpLayout {
    const char* DialogClass; // TBlankCheckForm ...
    const char* Caption;
    std::vector<TLayoutLine> Lines;
    TWorkerRoutine Routine;
};

const TOpLayout& LayoutOf(TOpKind kind);

// A label's text as the operator reads it: "&&" shows one "&".
std::string DisplayText(std::string_view labelText);

// The dialog's controls as they stand, built from its layout and kept up to
// date from the worker's updates (orvan-cli and tests render it).
class TDialogState {
  public:
    explicit TDialogState(const TOpLayout& layout);
    void Apply(const TOpUpdate& u);

    struct TControl {
        std::string Text;
        TLineColour Colour = TLineColour::Default;
        bool Visible = true;
        bool Enabled = true;
        int Gauge = 0;
    };
    const TControl& operator[](const std::string& control) const;
    // The visible, non-empty text lines top to bottom as the operator reads
    // them, red lines marked "ERROR: ".
    std::vector<std::string> FinalLines() const;
    bool AnyRed() const;

  private:
    const TOpLayout& Layout;
    std::map<std::string, TControl> Controls;
};

// True when the dialog, as it finally stands, shows that the operation did
// all it set out to do: no red line, and the last success line of the
// operation in place (for `flash` devices the EEPROM line too, where the
// operation handles the EEPROM). Some failures are shown in the default
// colour, so the absence of red alone does not tell.
bool OperationSucceeded(TOpKind kind, const TDialogState& dialog, bool flash);

} // namespace orvan
