// Program ID & Checksum dialog.
#pragma once

#include "production/ProductionForm.h"

class TProgramIDForm : public TProductionOpForm {
    Q_OBJECT
  public:
    TProgramIDForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                   orvan::IClock& clock, orvan::TPulseWidths widths, QWidget* parent = nullptr);
};
