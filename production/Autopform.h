// Auto Program dialog: "Exit" closes it, "Continue" runs the next chip.
#pragma once

#include "ops/OperationForm.h"

class TAutoProgramForm : public TOperationForm {
    Q_OBJECT
  public:
    TAutoProgramForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                     orvan::IClock& clock, const orvan::TPulseWidths& widths,
                     QWidget* parent = nullptr);

    void Button2Click();

  protected:
    void Rendered(const orvan::TOpUpdate& u) override;
    void Finished(const orvan::TOpOutcome& outcome) override;

  private:
    // This dialog's chips, as recorded.
    int Passes = 0, Fails = 0;
};
