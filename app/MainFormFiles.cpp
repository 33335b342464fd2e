// TMainForm's file commands: Open, configuration files, Save Program Memory,
// Default.cfg at start and exit.
#include "app/MainForm.h"

void TMainForm::FileOpen1Execute() {}
void TMainForm::LoadConfig1Click() {}
void TMainForm::FileSaveItemClick() {}
void TMainForm::SaveProgramMemory1Click() {}
bool TMainForm::LoadStartupConfig() { return false; }
void TMainForm::SaveDefaultConfig() {}
