// The "Program Memory Without Check" dialog: a production loop. The first
// run starts with the dialog; "Continue" starts each next one, "Exit" closes.
#pragma once

#include "ops/OperationForm.h"

class TForceWriteForm : public TOperationForm {
    Q_OBJECT
  public:
    TForceWriteForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent = nullptr);

    // "Continue": both buttons off until the new run ends.
    void Button2Click();
};
