// Counter Setup: sets the pass count.
#pragma once

#include <QDialog>

class QLineEdit;
namespace orvan {
class TWorkspace;
}

class TCounterSetupForm : public QDialog {
    Q_OBJECT
  public:
    explicit TCounterSetupForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);
    QLineEdit* Edit1 = nullptr;
    void BitBtn1Click();

  private:
    orvan::TWorkspace& Ws;
};
