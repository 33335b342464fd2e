// The "Program OPTION" dialog: one line for every verdict.
#pragma once

#include "ops/OperationForm.h"

class TProgramOptionForm : public TOperationForm {
    Q_OBJECT
  public:
    TProgramOptionForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
