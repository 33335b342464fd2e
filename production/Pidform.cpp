#include "production/Pidform.h"

#include "production/Programid.h"

TProgramIDForm::TProgramIDForm(orvan::TWorkspace& ws, orvan::IPort& port,
                               orvan::TProtocolState& state, orvan::IClock& clock,
                               orvan::TPulseWidths widths, QWidget* parent)
    : TProductionOpForm(ws, port, state, clock, widths, orvan::ProgramIDThread, "ProgramIDForm",
                        "Program ID Checksum",
                        {{"StaticText1", "ID and Checksum", true},
                         {"Label1", "Programming.....", true},
                         {"Label2", "", true}},
                        {{"Button1", "OK", true}}, parent) {}
