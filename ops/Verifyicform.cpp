#include "ops/Verifyicform.h"

TVerifyForm::TVerifyForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::Verify, parent) {}
