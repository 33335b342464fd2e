// TMainForm's writer connection: port choice, start-up connection, exit.
#include "app/MainForm.h"

void TMainForm::CheckComPort() {}
void TMainForm::ComboBox1Change() {}
void TMainForm::StartupConnect(const std::function<void()>& closeLogo) {
    if (closeLogo) closeLogo();
}
void TMainForm::RestorePortSettings() {}
void TMainForm::PulseWidthChange() {}
void TMainForm::EraseWidthChange() {}
