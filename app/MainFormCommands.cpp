// The main window's command handlers, the chip-command entry checks and the
// 500 ms timer.
#include "app/MainForm.h"

#include "app/MessageBoxes.h"
#include "buffer/BufferOps.h"
#include "buffer/Fillbuffer.h"

#include <QAction>
#include <QApplication>

// --- Entry checks -------------------------------------------------------------

bool TMainForm::ChipCommandEntry() {
    if (Link().PortFailed) CheckComPort(); // shows its own message when it fails again
    return !Link().PortFailed;
}

bool TMainForm::CheckResetAddr() {
    Ws().GetICInfo();
    const std::optional<std::string> question = orvan::ResetAddrQuestion(Ws().Device, Ws().Buffers);
    if (!question) return true;
    return AskAbortIgnore(this, QString::fromStdString(*question));
}

// --- Chip commands ------------------------------------------------------------

void TMainForm::BlankCheckActionExecute() {
    if (!ChipCommandEntry()) return;
    Ws().EraseFirst = false;
    RunBlankCheckDialog();
}

void TMainForm::EraseClick() {
    if (!ChipCommandEntry()) return;
    Ws().EraseFirst = true;
    RunBlankCheckDialog();
}

void TMainForm::ToolButton7Click() {
    if (!ChipCommandEntry()) return;
    Ws().ReadDone = false;
    RunReadDialog();
    if (Ws().ReadDone) ReadRefresh();
}

void TMainForm::Veryfy1Click() {
    if (!ChipCommandEntry()) return;
    Ws().VerifyProtect = false;
    RunVerifyDialog();
}

void TMainForm::VerifywithProtect1Click() {
    if (!ChipCommandEntry()) return;
    Ws().VerifyProtect = true;
    RunVerifyDialog();
}

void TMainForm::AutoProgram1Click() {
    if (!ChipCommandEntry() || !CheckResetAddr()) return;
    Ws().SkipBlankCheck = false;
    Ws().GetICInfo();
    Ws().EraseFirst = Ws().Device.IsFlash();
    RunAutoProgramDialog();
    RepopulateMemoryWindow();
    RenderPanel();
}

void TMainForm::AutoProgramwithoutBlankCheck1Click() {
    if (!ChipCommandEntry() || !CheckResetAddr()) return;
    Ws().SkipBlankCheck = true; // EraseFirst keeps what the last command left
    RunAutoProgramDialog();
    RepopulateMemoryWindow();
    RenderPanel();
}

void TMainForm::OPTION3Click() {
    if (!ChipCommandEntry()) return;
    RunProgramOptionDialog();
}

void TMainForm::ID3Click() {
    if (!ChipCommandEntry()) return;
    RunProgramIDDialog();
}

void TMainForm::ProgramMemory2Click() {
    if (!ChipCommandEntry() || !CheckResetAddr()) return;
    RunProgramMemoryDialog();
}

void TMainForm::WriteEEClick() {
    if (!ChipCommandEntry()) return;
    RunProgramEEPROMDialog();
}

void TMainForm::ToolButton23Click() {
    if (!ChipCommandEntry()) return;
    Ws().Serial.SerialModeOn = false;
    UpdateSerialModeControls();
    RunForceWriteDialog();
}

void TMainForm::Label3DblClick() {
    ToolButton23->setVisible(!ToolButton23->isVisible());
}

// --- Edit commands ------------------------------------------------------------

void TMainForm::EditOPTIONClick() {
    RunOptionEditor();
}

void TMainForm::SerialNoMode1Click() {
    RunSerialNoDialog();
    RepopulateMemoryWindow();
    UpdateSerialModeControls();
    RenderPanel();
}

void TMainForm::CounterMode1Click() {
    RunCounterDialog();
}

void TMainForm::LoadQTPFile1Click() {
    RunLoadQTPFile();
}

void TMainForm::ClearOPTION1Click() {
    Ws().ClearOption();
    RenderPanel();
}

void TMainForm::ClearID1Click() {
    Ws().ClearID();
    if (IDFormOpen()) RecreateIDWindow();
    RenderPanel();
}

void TMainForm::ClearBuffer1Click() {
    Ws().ClearBuffer();
    if (MemoryWindowOpen()) {
        // Emptied first, so the new window does not carry the old file's name.
        Ws().LoadedFileName.clear();
        RecreateMemoryWindow();
    }
    CloseDisasmWindow();
    RenderPanel();
}

void TMainForm::FillBuffer1Click() {
    {
        TFillBufferForm dialog(Ws(), this);
        dialog.exec();
    }
    // Without a window manager to hand the keyboard back, F5 and Ctrl+F
    // would stay dead after the dialog (and its error box) closed.
    if (isVisible()) activateWindow();
    RepopulateMemoryWindow();
    Ws().CalChecksum();
    CloseDisasmWindow();
    RenderPanel();
}

void TMainForm::ClearEEPROMBuffer1Click() {
    Ws().ClearEEPROM();
    RecreateEEWindow();
}

void TMainForm::ComboBox2Change() {
    ResetData();
}

void TMainForm::FileSaveAsItemClick() {
    SaveDisassembly();
}

void TMainForm::HelpAbout1Execute() {
    RunAboutBox();
}

void TMainForm::VersionInfo1Click() {
    RunVersionInfo();
}

// --- Reset and controls ---------------------------------------------------------

void TMainForm::ResetData() {
    Ws().ResetData();
    if (IDFormOpen()) RecreateIDWindow();
    if (MemoryWindowOpen()) {
        Ws().LoadedFileName.clear();
        RecreateMemoryWindow();
    }
    UpdateFlashControls();
    if (Ws().Device.IsFlash()) RecreateEEWindow();
    UpdateSerialModeControls();
    RenderPanel();
}

void TMainForm::UpdateFlashControls() {
    Ws().GetICInfo();
    const bool flash = Ws().Device.IsFlash();
    for (QAction* a : {Erase, WriteEE, EEPROM1, ClearEEPROMBuffer1})
        a->setEnabled(flash);
    if (!flash) DestroyChild(EEWindow);
}

void TMainForm::UpdateSerialModeControls() {
    const bool free = !Ws().Serial.SerialModeOn;
    for (QAction* a : {ToolID, ToolProgramMemory, ToolProgramOption, OPTION3, ID3, ProgramMemory2})
        a->setEnabled(free);
}

// --- Timer ------------------------------------------------------------------------

void TMainForm::Timer1Timer() {
    FileSaveAsItem->setEnabled(DisasmOpen());
    if (Ws().RefreshPending) {
        Ws().RefreshPending = false;
        Ws().RefreshData();
    }
    Ws().Panel.SerialMode = Ws().Serial.SerialModeOn ? "Enable" : "Disable";
    UpdateSerialModeControls();
    RenderPanel();
    // A line lost since the last tick (cable pulled): said once, and not over
    // an operation's dialog, which reports the failed exchange itself.
    if (!QApplication::activeModalWidget() && Link().TakeLineLostNotice())
        ShowMessage(QString::fromStdString(Link().LineLostMessage()));
}
