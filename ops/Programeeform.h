// The "Program EEPROM" dialog: programming and the read-back.
#pragma once

#include "ops/OperationForm.h"

class TProgramEEPROM : public TOperationForm {
    Q_OBJECT
  public:
    TProgramEEPROM(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);
};
