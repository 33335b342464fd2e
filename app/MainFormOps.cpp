// The chip operations' dialogs and the OPTION editor, run from the main
// window. The command handlers (MainFormCommands.cpp) make the entry checks
// and set the flags; the worker's results reach the workspace through the
// dialog, on this thread.
#include "app/MainForm.h"
#include "app/MessageBoxes.h"

#include "buffer/Eedata.h"
#include "device/Editoptionform.h"
#include "ops/Bcform.h"
#include "ops/Forcewriteform.h"
#include "ops/Pmemoryform.h"
#include "ops/Poptionform.h"
#include "ops/Programeeform.h"
#include "ops/Rxform.h"
#include "ops/Verifyicform.h"
#include "production/Records.h"

void TMainForm::RunBlankCheckDialog() {
    TBlankCheckForm dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunReadDialog() {
    TReadForm dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunVerifyDialog() {
    TVerifyForm dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunProgramOptionDialog() {
    TProgramOptionForm dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunProgramMemoryDialog() {
    TProgramMemoryForm dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunProgramEEPROMDialog() {
    TProgramEEPROM dialog(Ws(), Link(), this);
    dialog.exec();
}

void TMainForm::RunForceWriteDialog() {
    if (!OpenProductionRecords()) return;
    {
        TForceWriteForm dialog(Ws(), Link(), this);
        dialog.exec();
    }
    RenderPanel(); // the pass counter
}

void TMainForm::ReadRefresh() {
    Ws().RefreshPending = true;
    RecreateIDWindow();
    Ws().GetICInfo();
    DestroyChild(EEWindow);
    if (Ws().Device.IsFlash()) {
        auto* form = new TEEDataForm(Ws());
        EEWindow = form;
        AddChild(form);
    }
    // Emptied first: the window holds the chip's data now, not the file's.
    Ws().LoadedFileName.clear();
    RecreateMemoryWindow();
}

void TMainForm::RunOptionEditor() {
    TEditOption dialog(Ws(), this);
    dialog.exec();
}
