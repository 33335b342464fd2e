// The "Verify" dialog, plain or with protect.
#pragma once

#include "ops/OperationForm.h"

class TVerifyForm : public TOperationForm {
    Q_OBJECT
  public:
    TVerifyForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
