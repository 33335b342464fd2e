// ID and Checksum window: the ID in ASCII or HEX, the checksum read from a
// chip and, two double-clicks deep, the information bytes.
#pragma once

#include <QMdiSubWindow>

class QButtonGroup;
class QLabel;
class QWidget;
namespace orvan {
class TWorkspace;
}

class TIDChecksumForm : public QMdiSubWindow {
    Q_OBJECT
  public:
    explicit TIDChecksumForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    QButtonGroup* RadioGroup1 = nullptr;
    QLabel *Label2 = nullptr, *Label4 = nullptr, *Label8 = nullptr;
    QLabel *BodyOption1 = nullptr, *BodyOption2 = nullptr;
    QLabel *StaticText1 = nullptr, *StaticText5 = nullptr;
    QWidget* Panel2 = nullptr;

    // Renders the ID in the current mode and copies it to the status panel.
    void IDLabelShow();
    void RadioGroup1Change(int index);
    void Label2DblClick();
    void StaticText1DblClick();
    void StaticText5DblClick();
    int FormHeight() const { return Height; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SetHeight(int height);
    orvan::TWorkspace& Ws;
    int Height = 210;
};
