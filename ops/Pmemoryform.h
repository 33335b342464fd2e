// The "Program Memory" dialog: programming and the read-back verdict.
#pragma once

#include "ops/OperationForm.h"

class TProgramMemoryForm : public TOperationForm {
    Q_OBJECT
  public:
    TProgramMemoryForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
