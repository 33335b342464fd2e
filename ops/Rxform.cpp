#include "ops/Rxform.h"

TReadForm::TReadForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::Read, parent) {}
