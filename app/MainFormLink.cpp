// TMainForm's writer connection: port choice, start-up connection, exit,
// and the hidden pulse-width edits the command headers read.
#include "app/MainForm.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

// Limits an edit's text the way its change handler must; true when the
// text had to change (the edit then signals again with the new text).
bool LimitEdit(QLineEdit* edit, int limit) {
    const std::string shown = orvan::LimitWidthText(edit->text().toStdString(), limit);
    if (edit->text().toStdString() == shown) return false;
    edit->setText(QString::fromStdString(shown));
    return true;
}

} // namespace

std::string TMainForm::PortCheck() {
    return Link().CheckComPort(ComboBox1->currentText().toStdString(), HandShake->currentIndex());
}

void TMainForm::CheckComPort() {
    const std::string error = PortCheck();
    if (!error.empty()) ShowMessage(QString::fromStdString(error));
}

void TMainForm::ComboBox1Change() {
    CheckComPort();
    if (Link().PortFailed) return;
    ShowMessage(QString::fromStdString(Link().ConnectCheck(Ws().Buffers, Ws().Device)));
}

void TMainForm::StartupConnect(const std::function<void()>& closeLogo) {
    CheckComPort();
    if (Link().PortFailed) {
        if (closeLogo) closeLogo();
        return;
    }
    const std::string message = Link().ConnectCheck(Ws().Buffers, Ws().Device);
    if (closeLogo) closeLogo();
    ShowMessage(QString::fromStdString(message));
    // The handshake is chosen by platform only on the two desktop systems
    // the writer was first sold for; on this one the selector is left as it
    // is (no entry: the line's own flow control).
}

void TMainForm::RestorePortSettings() {
    Link().RestorePortSettings();
}

void TMainForm::PulseWidthChange() {
    if (LimitEdit(PulseWidth, 127)) return;
    Link().PulseWidths =
        orvan::PulseWidthsFromEdits(!PulseWidth->isHidden(), PulseWidth->text().toStdString(),
                                    !EraseWidth->isHidden(), EraseWidth->text().toStdString());
}

void TMainForm::EraseWidthChange() {
    if (LimitEdit(EraseWidth, 255)) return;
    Link().PulseWidths =
        orvan::PulseWidthsFromEdits(!PulseWidth->isHidden(), PulseWidth->text().toStdString(),
                                    !EraseWidth->isHidden(), EraseWidth->text().toStdString());
}
