#include "ops/Programeeform.h"

TProgramEEPROM::TProgramEEPROM(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::ProgramEEPROM, parent) {}
