// Auto Program dialog: "Exit" closes it, "Continue" runs the next chip.
// Enter means "Continue" whenever it is offered and "Exit" only when it is
// offered alone, so a line driven from the keyboard never leaves
// production by a slip of the key.
#pragma once

#include "ops/OperationForm.h"

#include <functional>
#include <string>

class TAutoProgramForm : public TOperationForm {
    Q_OBJECT
  public:
    TAutoProgramForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                     orvan::IClock& clock, const orvan::TPulseWidths& widths,
                     QWidget* parent = nullptr);
    // On the main window's line: a line lost is said on the link line at
    // once, and the next "Continue" opens the port again through
    // `portCheck` (the main window's port check: empty when the port
    // opened, else why not) before the chip.
    TAutoProgramForm(orvan::TWorkspace& ws, orvan::TWriterLink& link,
                     std::function<std::string()> portCheck, QWidget* parent = nullptr);

    void Button2Click();

  protected:
    void Rendered(const orvan::TOpUpdate& u) override;
    void Finished(const orvan::TOpOutcome& outcome) override;

  private:
    // The default button (Enter) and the keyboard follow what is offered.
    void PointEnter();
    // Shows a lost line once, when the link tells of it.
    void NoteLineLost();
    // The port open again after a lost line; false (said on the link line)
    // when it cannot be.
    bool LineBack();
    void LinkLine(const std::string& text, bool red);

    orvan::TWriterLink* Link = nullptr;
    std::function<std::string()> PortCheck;
    // This dialog's chips, as recorded.
    int Passes = 0, Fails = 0;
};
