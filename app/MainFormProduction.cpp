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
#include "production/Sha256.h"
#include "production/StoreConfig.h"
#include "session/ProductionCommands.h"

#include <QFileDialog>
#include <QMessageBox>

bool TMainForm::OpenProductionRecords() {
    if (std::string error;
        !orvan::PrepareRecords(Ws().Records, Ws().PortName(), Ws().LoadedFileName, error)) {
        ShowPlainMessage(this, QStringLiteral("Production records cannot be opened: %1")
                                   .arg(QString::fromStdString(error)));
        return false;
    }
    std::vector<orvan::TChipRecord> unknown;
    unknown.swap(Ws().Records->Unknown);
    for (const orvan::TChipRecord& chip : unknown)
        ShowPlainMessage(this, QString::fromStdString(orvan::UnknownOutcomeLine(chip)));
    return true;
}

void TMainForm::RunAutoProgramDialog() {
    // Production without records does not start.
    if (!OpenProductionRecords() || !AskWhereSeriesContinues()) return;
    {
        // Production goes on over a line lost and back: the dialog opens
        // the port again as a chip command here would.
        TAutoProgramForm dialog(
            Ws(), Link(), [this] { return PortCheck(); }, this);
        dialog.exec();
    }
    UpdateSerialModeControls();
    RenderPanel(); // pass count, serial number, QTP file
}

bool TMainForm::AskWhereSeriesContinues() {
    orvan::TWorkspace& ws = Ws();
    if (!ws.Serial.SerialModeOn) return true;
    const bool qtp = ws.QTPActive && ws.QTP.IsOpen();
    const std::string series = qtp ? orvan::QtpSeriesKey(orvan::Sha256Hex(*ws.QTP.Text))
                                   : orvan::SeriesKeyOf(ws.DeviceName, ws.Serial);
    int64_t used = 0;
    std::string next, error;
    if (!ws.Records->Store->SeriesState(series, used, next, error)) {
        ShowPlainMessage(
            this, QStringLiteral("Production records: %1").arg(QString::fromStdString(error)));
        return false;
    }
    const std::string start = qtp ? "record 1" : ws.Serial.HexText();
    const std::string goesOn = qtp ? "record " + std::to_string(used + 1) : next;
    if (used == 0 || goesOn == start) return true;
    // Numbers from this series are in chips already: going on is the
    // default, starting again is asked twice.
    const QString where = QString::fromStdString(goesOn), from = QString::fromStdString(start);
    if (QMessageBox::question(this, QStringLiteral("Auto Program"),
                              QStringLiteral("This series has been used: it continues at %1.\n"
                                             "Continue at %1?")
                                  .arg(where)) == QMessageBox::Yes)
        return true;
    if (QMessageBox::question(this, QStringLiteral("Auto Program"),
                              QStringLiteral("Start again at %1? Numbers that chips already carry "
                                             "will be programmed again. The choice is recorded.")
                                  .arg(from),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return false;
    ws.Records->RestartSeries = true;
    return true;
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
