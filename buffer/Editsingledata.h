// TEditSingleData: the "Enter new value" dialog of the buffer windows, and
// the hexadecimal key filter shared by the buffer dialogs.
#pragma once

#include <QDialog>
#include <QObject>

#include <optional>

class QLineEdit;
class QPushButton;

// Lets only backspace, 0-9, A-F and a-f through as typed characters; keys
// that type nothing (Enter, Tab, arrows) pass.
class THexKeyFilter : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    // Installs a filter owned by `edit` and a validator that keeps pasted text hexadecimal.
    static void Install(QLineEdit* edit);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class TEditSingleData : public QDialog {
    Q_OBJECT
  public:
    explicit TEditSingleData(QWidget* parent = nullptr);

    // Shows the dialog modally; the value (below 4000h), or nothing on Cancel.
    static std::optional<unsigned> Ask(QWidget* parent);

    // OK: accepts and closes with the value, or reports "Invalid Value,too
    // large!", empties the entry and stays open. True when accepted.
    bool Button1Click();
    std::optional<unsigned> Value() const { return Result; }

    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // Cancel

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::optional<unsigned> Result;
};
