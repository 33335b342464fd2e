// Program ID & Checksum dialog.
#pragma once

#include "ops/OperationForm.h"

class TProgramIDForm : public TOperationForm {
    Q_OBJECT
  public:
    TProgramIDForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                   orvan::IClock& clock, const orvan::TPulseWidths& widths,
                   QWidget* parent = nullptr);
};
