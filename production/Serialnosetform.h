// Serial No. setup: start address, byte count, start value, increment,
// parts for a QTP file, number mode and byte order.
#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QButtonGroup;
class QPushButton;
namespace orvan {
class TWorkspace;
}

class TSerialNoSetupForm : public QDialog {
    Q_OBJECT
  public:
    explicit TSerialNoSetupForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    QLineEdit *StartAddress = nullptr, *NoOfByte = nullptr, *StartValue = nullptr,
              *Increment = nullptr, *NoOfPart = nullptr;
    QButtonGroup *RadioGroup1 = nullptr, *RadioGroup2 = nullptr;

    // Asks where the QTP file goes: empty when cancelled, `typeOk` false when
    // another file type was chosen. Tests replace it.
    std::function<QString(bool& typeOk)> AskQTPName;
    // "File Exists, Replace?": true for Yes. Tests replace it.
    std::function<bool()> AskReplace;

    void StartAddressExit();
    void NoOfByteExit();
    void StartValueExit();
    void BitBtn1Click(); // OK
    void BitBtn3Click(); // Disable Serial Mode
    void BitBtn4Click(); // QTP File
    void RadioGroup1Click();

  private:
    orvan::TWorkspace& Ws;
    int ByteCount() const;
};
