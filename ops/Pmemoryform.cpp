#include "ops/Pmemoryform.h"

TProgramMemoryForm::TProgramMemoryForm(orvan::TWorkspace& ws, orvan::TWriterLink& link,
                                       QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::ProgramMemory, parent) {}
