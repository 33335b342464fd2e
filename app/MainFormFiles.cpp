// TMainForm's file commands: Open, configuration files, Save Program Memory,
// Default.cfg at start and exit. The dialogs live here; reading and writing
// is the core's, which says what the window still has to do.
#include "app/MainForm.h"

#include "buffer/DataFile.h"
#include "buffer/FileNames.h"
#include "buffer/SaveBin.h"
#include "session/ConfigFile.h"
#include "session/FileCommands.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace {

std::string ToPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The suggested name: the last data file up to the first "." of its name.
QString SuggestedName(const orvan::TWorkspace& ws) {
    return FromPath(orvan::NameBeforeFirstDot(ws.LoadedFileName));
}

struct TChoice {
    bool Accepted = false;
    int Filter = -1; // index into the filter list
    QString Name;
};

TChoice RunFileDialog(QFileDialog& dialog, const QStringList& filters) {
    // Qt's own dialog everywhere, so the chosen filter and the typed name
    // behave alike on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    TChoice choice;
    if (dialog.exec() != QDialog::Accepted) return choice;
    choice.Accepted = true;
    choice.Filter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty()) choice.Name = files.first();
    return choice;
}

const QStringList SaveFilters = {QStringLiteral("Config file (*.cfg)"),
                                 QStringLiteral("Orvan Bin (*.bin)")};

} // namespace

// Shows the core's messages, then does the window part it asked for.
static void ApplyFileResult(TMainForm& form, const orvan::TFileResult& result,
                            const std::string& deviceBefore) {
    for (const std::string& m : result.Messages)
        form.ShowMessage(QString::fromStdString(m));
    if (result.ResetWindows) form.ResetData();
    if (result.RecreateIDWindow) form.RecreateIDWindow();
    if (result.RecreateMemoryWindow) form.RecreateMemoryWindow();
    if (result.CloseDisasm) form.CloseDisasmWindow();
    if (form.Ws().DeviceName != deviceBefore) {
        // A configuration chose another model: its controls and EEPROM view follow.
        form.UpdateFlashControls();
        if (form.Ws().Device.IsFlash()) form.RecreateEEWindow();
    }
    form.UpdateSerialModeControls();
    form.RenderPanel();
}

void TMainForm::FileOpen1Execute() {
    const QStringList filters = {
        QStringLiteral("Orvan bin (*.bin)"),   QStringLiteral("Orvan hex (*.ohx)"),
        QStringLiteral("PIC obj (*.obj)"),     QStringLiteral("PIC hex (*.hex)"),
        QStringLiteral("Config file (*.cfg)"), QStringLiteral("All File (*.*)")};
    QFileDialog dialog(this, QStringLiteral("Open File"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a typed name that is missing gets its message
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("bin"));
    dialog.selectFile(SuggestedName(Ws()));
    const TChoice choice = RunFileDialog(dialog, filters);
    const std::string deviceBefore = Ws().DeviceName;

    orvan::TFileResult result;
    if (!choice.Accepted) {
        orvan::FinishOpenCommand(Ws(), result);
    } else {
        orvan::TFileOptions options;
        options.ShowFormatWarnings = MemoryWindowOpen();
        result = orvan::OpenDataFile(Ws(), ToPath(choice.Name), options);
    }
    // Serial-number mode and QTP are off whenever the command got that far.
    if (!Ws().QTPActive) CloseQTPFile();
    ApplyFileResult(*this, result, deviceBefore);
}

void TMainForm::LoadConfig1Click() {
    const QStringList filters = {QStringLiteral("Config files (*.cfg)"),
                                 QStringLiteral("Text files (*.txt)")};
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    const TChoice choice = RunFileDialog(dialog, filters);
    if (!choice.Accepted) return;
    if (choice.Filter != 0 || choice.Name.isEmpty()) {
        ShowMessage(QString::fromLatin1(orvan::CantLoadText));
        return;
    }
    const std::string deviceBefore = Ws().DeviceName;
    Ws().ConfigPath = ToPath(choice.Name);
    orvan::TFileOptions options;
    options.ShowFormatWarnings = MemoryWindowOpen();
    orvan::TFileResult result = orvan::LoadCfgFile(Ws(), orvan::TCfgMode::Full, options);
    if (!result.Ok) result.ResetWindows = true;
    result.CloseDisasm = true;
    ApplyFileResult(*this, result, deviceBefore);
}

void TMainForm::FileSaveItemClick() {
    QFileDialog dialog(this, QStringLiteral("Save Configuration"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true); // the file is replaced
    dialog.setNameFilters(SaveFilters);
    dialog.selectNameFilter(SaveFilters[0]);
    dialog.setDefaultSuffix(QStringLiteral("cfg"));
    dialog.selectFile(SuggestedName(Ws()));
    const TChoice choice = RunFileDialog(dialog, SaveFilters);
    if (!choice.Accepted) return;
    if (choice.Filter != 0 || choice.Name.isEmpty() ||
        !orvan::SaveCfgFile(Ws(), ToPath(choice.Name)))
        ShowMessage(QString::fromLatin1(orvan::CantBeSavedText));
}

void TMainForm::SaveProgramMemory1Click() {
    const std::vector<uint8_t> image = orvan::BinFileBytes(Ws());
    QFileDialog dialog(this, QStringLiteral("Save program memory buffer"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilters(SaveFilters);
    dialog.selectNameFilter(SaveFilters[1]);
    dialog.setDefaultSuffix(QStringLiteral("bin"));
    dialog.selectFile(SuggestedName(Ws()));
    const TChoice choice = RunFileDialog(dialog, SaveFilters);
    if (!choice.Accepted) return;
    if (choice.Filter != 1 || choice.Name.isEmpty() ||
        !orvan::WriteFileAtomic(ToPath(choice.Name), image))
        ShowMessage(QString::fromLatin1(orvan::SorryCantBeSavedText));
}

namespace {

std::string DefaultCfgPath(const orvan::TWorkspace& ws) {
    return ToPath(QDir(FromPath(ws.StartDirectory)).filePath(QStringLiteral("Default.cfg")));
}

} // namespace

bool TMainForm::LoadStartupConfig() {
    Ws().ConfigPath = DefaultCfgPath(Ws());
    if (!orvan::RealFiles().Exists(Ws().ConfigPath)) return false;
    const std::string deviceBefore = Ws().DeviceName;
    orvan::TFileOptions options;
    // The data file this configuration names may have damaged records; the
    // operator is not told at start-up. The suppression ends with this load.
    options.SuppressRecordError = true;
    options.ShowFormatWarnings = MemoryWindowOpen();
    orvan::TFileResult result = orvan::LoadCfgFile(Ws(), orvan::TCfgMode::Full, options);
    if (!result.Ok) result.ResetWindows = true;
    ApplyFileResult(*this, result, deviceBefore);
    return true;
}

void TMainForm::SaveDefaultConfig() {
    Ws().ConfigPath = DefaultCfgPath(Ws());
    if (!orvan::SaveCfgFile(Ws(), Ws().ConfigPath))
        ShowMessage(QStringLiteral("'") + FromPath(Ws().ConfigPath) +
                    QStringLiteral("' file can't be saved!"));
}
