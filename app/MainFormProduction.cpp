// The production windows run from the main window: auto program, program
// ID, serial-number setup, the pass counter and QTP files.
#include "app/MainForm.h"

#include "app/MessageBoxes.h"
#include "link/WriterLink.h"
#include "production/Autopform.h"
#include "production/Counterform.h"
#include "production/Pidform.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/Serialnosetform.h"

#include <QFileDialog>

void TMainForm::RunAutoProgramDialog() {
    // Production without records does not start.
    if (std::string error; !orvan::PrepareRecords(Ws(), error)) {
        ShowPlainMessage(this, QStringLiteral("Production records cannot be opened: %1")
                                   .arg(QString::fromStdString(error)));
        return;
    }
    {
        TAutoProgramForm dialog(Ws(), Link().Comm1, Link(), *Link().Clock, Link().PulseWidths,
                                this);
        dialog.exec();
    }
    UpdateSerialModeControls();
    RenderPanel(); // pass count, serial number, QTP file
}

void TMainForm::RunProgramIDDialog() {
    TProgramIDForm dialog(Ws(), Link().Comm1, Link(), *Link().Clock, Link().PulseWidths, this);
    dialog.exec();
}

void TMainForm::RunSerialNoDialog() {
    TSerialNoSetupForm dialog(Ws(), this);
    dialog.exec();
}

void TMainForm::RunCounterDialog() {
    TCounterSetupForm dialog(Ws(), this);
    dialog.exec();
    RenderPanel();
}

void TMainForm::RunLoadQTPFile() {
    Ws().QTPActive = false;
    const QStringList filters = {QStringLiteral("Config files (*.cfg)"),
                                 QStringLiteral("Text files (*.txt)")};
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[1]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedNameFilter() == filters[0] ||
        dialog.selectedFiles().isEmpty())
        return;
    std::optional<std::string> message;
    if (!orvan::LoadQTPFile(Ws(), dialog.selectedFiles().first().toStdString(), message)) {
        ShowPlainMessage(this, QStringLiteral("Can't load file!"));
        return;
    }
    if (message) ShowPlainMessage(this, QString::fromStdString(*message));
    RepopulateMemoryWindow();
    UpdateSerialModeControls();
    RenderPanel();
}

void TMainForm::CloseQTPFile() {
    orvan::CloseQTP(Ws());
}
