// The "Read" dialog: OPTION, ID, program memory (with the gauge) and EEPROM.
#pragma once

#include "ops/OperationForm.h"

class TReadForm : public TOperationForm {
    Q_OBJECT
  public:
    TReadForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
