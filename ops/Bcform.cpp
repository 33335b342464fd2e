#include "ops/Bcform.h"

TBlankCheckForm::TBlankCheckForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::BlankCheck, parent) {}
