// TMainForm: the MDI frame. It owns the workspace (device, buffers, panel
// texts, settings), the writer link and the child windows, wires commands to
// the core and renders the core's state; it computes nothing itself.
//
// Sources by concern: MainForm.cpp (construction, layout, lifecycle),
// MainFormPanel.cpp (status panel), MainFormCommands.cpp (command handlers,
// timer), MainFormWindows.cpp (child windows), MainFormOps.cpp (the chip
// operations' dialogs, the read refresh, the OPTION editor),
// MainFormDialogs.cpp (where the other dialogs attach), MainFormFiles.cpp
// (file commands), MainFormLink.cpp (writer connection).
#pragma once

#include "link/WriterLink.h"
#include "session/Workspace.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;
class TEEDataForm;
class TMDIChild;

class TMainForm : public QMainWindow {
    Q_OBJECT
  public:
    struct TStartOptions {
        // Hides and frees the start-up picture; called once during FormCreate.
        std::function<void()> CloseLogo;
        // FormCreate steps 11-13 (open the port, poll the writer). Tests start
        // without touching a serial line.
        bool Connect = true;
    };

    explicit TMainForm(QWidget* parent = nullptr);
    explicit TMainForm(TStartOptions options, QWidget* parent = nullptr);
    ~TMainForm() override;

    orvan::TWorkspace& Ws() { return *Workspace; }
    orvan::TWriterLink& Link() { return *WriterLink; }

    // Restored 800 x 628 centred on the desktop, then maximised.
    void ShowCentredMaximised();

    // --- Window parts other units use -------------------------------------
    QComboBox* ComboBox1 = nullptr;  // port "Com1".."Com8"
    QComboBox* HandShake = nullptr;  // "Default", "CTS", "None"; none selected at start
    QComboBox* ComboBox2 = nullptr;  // device
    QLineEdit* PulseWidth = nullptr; // hidden service fields
    QLineEdit* EraseWidth = nullptr;
    QMdiArea* MdiArea = nullptr;
    QTimer* Timer1 = nullptr;

    // Tool bar. Open shares the File menu's action FileOpen1.
    QToolBar* ToolBar1 = nullptr;
    QAction *ToolSave = nullptr, *Erase = nullptr, *ToolBlankCheck = nullptr, *ToolRead = nullptr,
            *ToolVerify = nullptr, *ToolVerifyProtect = nullptr, *ToolID = nullptr,
            *ToolProgramMemory = nullptr, *ToolProgramOption = nullptr, *WriteEE = nullptr,
            *ToolAutoProgram = nullptr, *ToolAutoProgramNoBlank = nullptr, *ToolCascade = nullptr,
            *ToolTileHorizontal = nullptr, *ToolTileVertical = nullptr, *ToolButton23 = nullptr;
    QLabel* Label3 = nullptr; // "Serial Port :"

    // Menu items.
    QAction *FileOpen1 = nullptr, *LoadConfig1 = nullptr, *FileSaveItem = nullptr,
            *FileSaveAsItem = nullptr, *SaveProgramMemory1 = nullptr, *FileExit1 = nullptr;
    QAction *ProgramMemory1 = nullptr, *ID2 = nullptr, *Disassemble1 = nullptr, *EEPROM1 = nullptr;
    QAction *EditOPTION = nullptr, *SerialNoMode1 = nullptr, *CounterMode1 = nullptr,
            *LoadQTPFile1 = nullptr, *ClearOPTION1 = nullptr, *ClearID1 = nullptr,
            *ClearBuffer1 = nullptr, *FillBuffer1 = nullptr, *ClearEEPROMBuffer1 = nullptr;
    QAction *BlankCheckAction = nullptr, *Read1 = nullptr, *Veryfy1 = nullptr,
            *VerifywithProtect1 = nullptr, *AutoProgram1 = nullptr,
            *AutoProgramwithoutBlankCheck1 = nullptr, *OPTION3 = nullptr, *ID3 = nullptr,
            *ProgramMemory2 = nullptr;
    QAction *WindowCascade1 = nullptr, *WindowTileHorizontal1 = nullptr,
            *WindowTileVertical1 = nullptr, *WindowMinimizeAll1 = nullptr,
            *WindowArrangeAll1 = nullptr;
    QAction *HelpAbout1 = nullptr, *VersionInfo1 = nullptr;
    QMenu* WindowMenu = nullptr;

    // Status panel: OPTION row names and values in panel order (OSC, PRD,
    // OST, WDT, PED, Security): StaticText2/7/3/4/5/6 and Label5/10/6/7/8/9.
    std::array<QLabel*, orvan::OptionRowCount> OptionNames{};
    std::array<QLabel*, orvan::OptionRowCount> OptionValues{};
    QLabel *Label11 = nullptr, *Label17 = nullptr, *OptChecksum = nullptr,
           *ProtectSum = nullptr; // checksum rows
    QLabel* Label18 = nullptr;    // ID bytes
    QLabel* Label13 = nullptr;    // pass count
    QLabel* Label15 = nullptr;    // serial number (hex)
    QLabel* Label1 = nullptr;     // serial-number mode
    QLabel* Label19 = nullptr;    // QTP file
    QGroupBox *DeviceGroup = nullptr, *IDGroup = nullptr, *PassCountGroup = nullptr;

    // Plain message box with an OK button. Every box of the application goes
    // through app/MessageBoxes.h, which tests answer without a modal loop.
    void ShowMessage(const QString& text);
    // Renders Ws().Panel (and the device and port selection) into the window.
    // The timer calls it every tick, so panel texts are written to Ws().Panel,
    // never straight into the labels.
    void RenderPanel();
    // ResetData with its window part (child windows, flash-only controls).
    void ResetData();
    // Enables or disables the flash-only controls for the selected device; an
    // open EEPROM window is closed for a device without EEPROM.
    void UpdateFlashControls();
    // While serial-number mode is on, only whole auto-program runs are
    // allowed: the ID, Program Memory and Program OPTION commands are disabled.
    void UpdateSerialModeControls();

    // Child windows. RecreateMemoryWindow and RecreateIDWindow destroy the
    // window if it exists and always create it anew (memory caption
    // LoadedFileName or "Program Memory"); RecreateEEWindow does so only when
    // the EEPROM window is open.
    void RecreateMemoryWindow();
    void RecreateIDWindow();
    void RecreateEEWindow();
    void CloseDisasmWindow();
    // Re-populates an open program-memory window from the buffer.
    void RepopulateMemoryWindow();
    bool MemoryWindowOpen() const;
    bool IDFormOpen() const { return !IDWindow.isNull(); }
    bool EEFormOpen() const { return !EEWindow.isNull(); }
    bool DisasmOpen() const { return !DisasmWindow.isNull(); }
    TMDIChild* MemoryWindow() const;
    TEEDataForm* EEDataWindow() const;
    QMdiSubWindow* IDChildWindow() const { return IDWindow; }
    // The disassembly window registers itself here when it is created.
    void SetDisasmWindow(QMdiSubWindow* window);

    // --- Lifecycle ---------------------------------------------------------
    void FormCreate();
    void FormShow();
    void FormClose();

    // --- Commands (MainFormCommands.cpp) ------------------------------------
    // Chip command entry: retries a failed port; false when it is still failed.
    bool ChipCommandEntry();
    // The reset-address question; false when the operator chose Abort.
    bool CheckResetAddr();

    void FileSaveAsItemClick();
    void FileExit1Execute();
    void ProgramMemory1Click();
    void ID2Click();
    void Disassemble1Click();
    void EEPROM1Click();
    void EditOPTIONClick();
    void SerialNoMode1Click();
    void CounterMode1Click();
    void LoadQTPFile1Click();
    void ClearOPTION1Click();
    void ClearID1Click();
    void ClearBuffer1Click();
    void FillBuffer1Click();
    void ClearEEPROMBuffer1Click();
    void BlankCheckActionExecute();
    void EraseClick();
    void ToolButton7Click(); // Read
    void Veryfy1Click();
    void VerifywithProtect1Click();
    void AutoProgram1Click();
    void AutoProgramwithoutBlankCheck1Click();
    void OPTION3Click();
    void ID3Click();
    void ProgramMemory2Click();
    void WriteEEClick();
    void ToolButton23Click();
    void Label3DblClick();
    void ComboBox2Change();
    void HelpAbout1Execute();
    void VersionInfo1Click();
    void Timer1Timer();

    // Standard window actions.
    void WindowCascade1Execute();
    void WindowTileHorizontal1Execute();
    void WindowTileVertical1Execute();
    void WindowMinimizeAll1Execute();
    void WindowArrangeAll1Execute();

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
    // Opens the chosen port with the chosen handshake; the port error, or
    // empty when it opened. CheckComPort shows it.
    std::string PortCheck();
    void CheckComPort();
    void ComboBox1Change();
    // FormCreate steps 11-13: open the port, poll the writer, show the
    // connect message. `closeLogo` hides the picture window at the right moment.
    void StartupConnect(const std::function<void()>& closeLogo);
    // FormClose step 1.
    void RestorePortSettings();
    void PulseWidthChange();
    void EraseWidthChange();

    // --- Where the operations' windows attach (MainFormOps.cpp, MainFormDialogs.cpp)
    // Each runs its modal dialog; the entry checks and flags are done by the
    // command before it is called.
    void RunBlankCheckDialog();
    void RunReadDialog();
    void ReadRefresh(); // after a read that stored the program memory
    void RunVerifyDialog();
    void RunAutoProgramDialog();
    // With serial numbers from a series already used: go on, or (asked twice)
    // start again at the settings' number. False: the operator declined both.
    bool AskWhereSeriesContinues();
    // The production records opened (first time: the station's name taken),
    // chips left with an unknown outcome told once. False after the message
    // when they cannot be: production does not start.
    bool OpenProductionRecords();
    void RunProgramOptionDialog();
    void RunProgramIDDialog();
    void RunProgramMemoryDialog();
    void RunProgramEEPROMDialog();
    void RunForceWriteDialog();
    void RunOptionEditor();
    void RunSerialNoDialog();
    void RunCounterDialog();
    void RunLoadQTPFile();
    void RunAboutBox();
    void RunVersionInfo();
    void OpenDisassembly(); // destroys an existing listing, builds a new one
    void SaveDisassembly();
    void CloseQTPFile();
    QMdiSubWindow* NewIDWindow(); // the ID window for the current buffers

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    QWidget* BuildStatusPanel();
    void FillWindowMenu();
    void AddChild(QMdiSubWindow* window);
    void DestroyChild(QPointer<QMdiSubWindow>& window);
    QString MemoryCaption() const;

    std::unique_ptr<orvan::TWorkspace> Workspace;
    std::unique_ptr<orvan::TWriterLink> WriterLink;
    TStartOptions Options;
    bool Closed = false;
    QPointer<QMdiSubWindow> MemoryChild;
    QPointer<QMdiSubWindow> IDWindow;
    QPointer<QMdiSubWindow> EEWindow;
    QPointer<QMdiSubWindow> DisasmWindow;
    QList<QAction*> WindowListActions;
    QList<QWidget*> ServiceFields; // the hidden pulse-width rows, labels included
    QHash<QObject*, void (TMainForm::*)()> DoubleClicks;
};
