// TMainForm: the MDI frame. It owns the workspace (device, buffers, panel
// texts, settings), the writer link and the child windows, wires commands to
// the core and renders the core's state; it computes nothing itself.
#pragma once

#include "app/Workspace.h"
#include "link/WriterLink.h"

#include <QMainWindow>
#include <QString>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QTimer;
class QAction;
class QToolButton;

class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    orvan::TWorkspace& Ws() { return *Workspace; }
    orvan::TWriterLink& Link() { return *WriterLink; }

    // --- Window parts other units use -------------------------------------
    QComboBox* ComboBox1 = nullptr; // port "Com1".."Com8"
    QComboBox* HandShake = nullptr; // "Default", "CTS", "None"; none selected at start
    QComboBox* ComboBox2 = nullptr; // device
    QLineEdit* PulseWidth = nullptr; // hidden service fields
    QLineEdit* EraseWidth = nullptr;

    // Plain message box with an OK button.
    void ShowMessage(const QString& text);
    // Renders Ws().Panel into the status panel labels.
    void RenderPanel();
    // ResetData with its window part (child windows, flash-only controls).
    void ResetData();
    // Enables or disables the flash-only controls for the selected device.
    void UpdateFlashControls();
    // Close and create anew, when open (or always, for the memory window
    // after a load): caption LoadedFileName or "Program Memory".
    void RecreateMemoryWindow();
    void RecreateIDWindow();
    void RecreateEEWindow();
    void CloseDisasmWindow();
    bool MemoryWindowOpen() const;

    // --- File commands and start-up configuration (MainFormFiles.cpp) -----
    void FileOpen1Execute();
    void LoadConfig1Click();
    void FileSaveItemClick();
    void SaveProgramMemory1Click();
    // FormCreate step 9: read Default.cfg from StartDirectory when it exists;
    // returns false when it does not exist (the caller then shows blank buffers).
    bool LoadStartupConfig();
    // FormClose steps 3 and 5: write Default.cfg.
    void SaveDefaultConfig();

    // --- Writer connection (MainFormLink.cpp) -----------------------------
    void CheckComPort();
    void ComboBox1Change();
    // FormCreate steps 11-13: open the port, poll the writer, show the
    // connect message. `closeLogo` hides the picture window at the right moment.
    void StartupConnect(const std::function<void()>& closeLogo);
    // FormClose step 1.
    void RestorePortSettings();
    void PulseWidthChange();
    void EraseWidthChange();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<orvan::TWorkspace> Workspace;
    std::unique_ptr<orvan::TWriterLink> WriterLink;
    // The window code adds its own members below.
};
