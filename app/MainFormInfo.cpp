// TMainForm's information windows and the disassembly listing: the about
// box, the version history, "Disassemble" and "Save Disassmble".
#include "app/MainForm.h"

#include "session/ConfigFile.h"
#include "buffer/FileNames.h"
#include "disasm/Disassembler.h"
#include "disasm/Disform.h"
#include "info/AboutBox.h"
#include "info/VersionInfo.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QPointer>

void TMainForm::RunAboutBox() {
    TAboutBox box(windowTitle(), Ws(), Link(), this);
    box.exec();
}

void TMainForm::RunVersionInfo() {
    TVersionInfo window(this);
    window.exec();
}

void TMainForm::OpenDisassembly() {
    CloseDisasmWindow();
    SetDisasmWindow(new TDisassembleForm(Ws()));
    FileSaveAsItem->setEnabled(true);
}

void TMainForm::SaveDisassembly() {
    QPointer<TDisassembleForm> form = qobject_cast<TDisassembleForm*>(DisasmWindow.data());
    if (!form) return; // the command is disabled without a listing
    const QStringList filters = {QStringLiteral("Disassemble files (*.dis)"),
                                 QStringLiteral("Text files (*.txt)")};
    QFileDialog dialog(this, QStringLiteral("Save disassembly"));
    // Qt's own dialog everywhere, so the chosen filter and the typed name
    // behave alike on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true); // the file is replaced
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[0]);
    dialog.setDefaultSuffix(QStringLiteral("dis"));
    dialog.selectFile(QFile::decodeName(
        QByteArray::fromStdString(orvan::NameBeforeFirstDot(Ws().LoadedFileName))));
    // The window may have gone while the dialog was up (the frame closing).
    if (dialog.exec() != QDialog::Accepted || !form) return;
    const QStringList files = dialog.selectedFiles();
    const QString name = files.isEmpty() ? QString() : files.first();
    // Saved from the window's own lines: the file holds what the operator sees.
    std::vector<std::string> lines;
    for (const QString& line : form->Lines())
        lines.push_back(line.toStdString());
    if (dialog.selectedNameFilter() != filters[0] || name.isEmpty() ||
        !orvan::SaveListing(QFile::encodeName(name).toStdString(), lines))
        ShowMessage(QString::fromLatin1(orvan::CantBeSavedText));
}
