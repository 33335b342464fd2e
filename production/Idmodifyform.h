// ID Modify: the ID as ASCII text (12 characters) or as 12 hex bytes.
#pragma once

#include <QDialog>

class QLineEdit;
namespace orvan {
class TWorkspace;
}

class TIDModify : public QDialog {
    Q_OBJECT
  public:
    explicit TIDModify(orvan::TWorkspace& ws, QWidget* parent = nullptr);
    QLineEdit* Edit1 = nullptr;     // ASCII mode
    QLineEdit* MaskEdit2 = nullptr; // HEX mode
    void BitBtn1Click();

  private:
    orvan::TWorkspace& Ws;
};
