// The "Edit OPTION" window: one drop-down list per OPTION setting of the
// selected device. Choices edit a working copy; OK stores it in the OPTION
// bytes and leaves the panel redraw to the main window's timer.
#pragma once

#include "device/OptionEditor.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvan {
class TWorkspace;
}

class TEditOption : public QDialog {
    Q_OBJECT
  public:
    explicit TEditOption(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    // Fills each list for the device and selects the current setting; the
    // working copy starts from the OPTION bytes.
    void FormShow();
    // The operator chose an entry of list `id` (ComboBox1Change..ComboBox6Change).
    void ListChange(int id);
    void BitBtn1Click(); // OK

    uint8_t WorkingLo() const { return WorkLo; }
    uint8_t WorkingHi() const { return WorkHi; }

    // Indexed by orvan::TOptionListId (top to bottom).
    std::array<QLabel*, orvan::OptionListCount> Captions{};
    std::array<QComboBox*, orvan::OptionListCount> Lists{};
    QPlainTextEdit* Help = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // Cancel

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    orvan::TWorkspace& Ws;
    std::array<orvan::TOptionList, orvan::OptionListCount> Defs{};
    uint8_t WorkLo = 0x7F, WorkHi = 0x7F;
};
