#include "ops/Poptionform.h"

#include <QLabel>

TProgramOptionForm::TProgramOptionForm(orvan::TWorkspace& ws, orvan::TWriterLink& link,
                                       QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::ProgramOption, parent) {
    // The one line fills the dialog.
    Line(QStringLiteral("Label1"))->setMinimumHeight(64);
}
