#include "ops/Bcform.h"

#include "ops/Blankcheck.h"

#include <QPushButton>

TBlankCheckForm::TBlankCheckForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::BlankCheckThread, parent) {
    setObjectName(QStringLiteral("BlankCheckForm"));
    setWindowTitle(QStringLiteral("Blank Check"));
    AddTitle(QStringLiteral("Blank Check"));
    AddLine(QStringLiteral("Label1"), QString(), false);
    AddLine(QStringLiteral("Label2"), QString());
    AddLine(QStringLiteral("Label3"), QString());
    AddLine(QStringLiteral("Label4"), QString());
    AddLine(QStringLiteral("Label5"), QString());
    connect(AddButton(QStringLiteral("Button1"), QStringLiteral("OK")), &QPushButton::clicked, this,
            &TOperationForm::Button1Click);
    FinishButtons();
}
