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

// The dialog's controls as they stand, kept up to date from the worker's
// updates: the one model of an operation dialog. The desktop dialogs render
// their widgets from it; orvan-cli's lines, its JSON events and the tests
// read it. Whether a run passed is its outcome's to say, not the lines'.
class TDialogState {
  public:
    struct TControl {
        std::string Text; // as the worker wrote it: "&&" for one "&"
        TLineColour Colour = TLineColour::Default;
        bool Visible = true;
        bool Enabled = true;
        int Gauge = 0;
    };

    // Without a layout: a control starts as `blank` (else as TControl's
    // defaults) when an update first names it.
    TDialogState();
    explicit TDialogState(TControl blank);
    // Built from the layout: its lines with their initial texts, the
    // buttons disabled as the layout says.
    explicit TDialogState(const TOpLayout& layout);

    // True when the update changed the control, or named it first.
    bool Apply(const TOpUpdate& u);

    const TControl& operator[](const std::string& control) const;
    // The control is in the layout or an update named it.
    bool Has(const std::string& control) const { return Controls.count(control) != 0; }
    const TOpLayout* Layout() const { return From; }
    // The visible, non-empty text lines top to bottom as the operator reads
    // them, red lines marked "ERROR: ".
    std::vector<std::string> FinalLines() const;
    // The topmost red line as the operator reads it; empty when none is.
    std::string FirstRed() const;

  private:
    const TOpLayout* From = nullptr;
    TControl Blank;
    std::map<std::string, TControl> Controls;
};

} // namespace orvan
