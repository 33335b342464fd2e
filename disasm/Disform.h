// TDisassembleForm: the disassembly child window. The listing is built once,
// from the program buffer as it is when the window is created; "Disassemble"
// replaces the window to show later edits.
#pragma once

#include <QMdiSubWindow>
#include <QStringList>

#include <string>
#include <vector>

class QPlainTextEdit;

namespace orvan {
class TWorkspace;
}

class TDisassembleForm : public QMdiSubWindow {
    Q_OBJECT
  public:
    // Caption: LoadedFileName, or "Disassembly" when none was loaded.
    explicit TDisassembleForm(orvan::TWorkspace& ws, QWidget* parent = nullptr);

    // The lines the window shows, as the ".dis" file holds them.
    QStringList Lines() const;
    // Replaces what the memo shows.
    void ShowListing(const std::vector<std::string>& lines);

    QPlainTextEdit* Memo1 = nullptr;

  private:
    void FormCreate(orvan::TWorkspace& ws);
};
