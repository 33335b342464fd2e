// The "Blank Check" dialog (erase first when the command asks for it).
#pragma once

#include "ops/OperationForm.h"

class TBlankCheckForm : public TOperationForm {
    Q_OBJECT
  public:
    TBlankCheckForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
