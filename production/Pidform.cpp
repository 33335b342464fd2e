#include "production/Pidform.h"

#include "production/Programid.h"

TProgramIDForm::TProgramIDForm(orvan::TWorkspace& ws, orvan::IPort& port,
                               orvan::TProtocolState& state, orvan::IClock& clock,
                               const orvan::TPulseWidths& widths, QWidget* parent)
    : TOperationForm(ws, port, state, clock, widths, orvan::ProgramIDLayout(), parent) {}
