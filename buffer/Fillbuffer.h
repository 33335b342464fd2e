// The "Fill Buffer" dialog: fills a range of program words with one value.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace orvan {
class TWorkspace;
}

class TFillBufferForm : public QDialog {
    Q_OBJECT
  public:
    explicit TFillBufferForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    // OK: checks the entries in order and fills, or shows the error box.
    // The dialog closes either way; true when the buffer was filled.
    bool Button1Click();

    QLineEdit* StartAddr = nullptr; // "Start address :"
    QLineEdit* EndAddr = nullptr;   // "End address :"
    QLineEdit* Data = nullptr;      // "Data :"
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // Cancel

  private:
    orvan::TWorkspace& Ws;
};
