#include "ops/Forcewriteform.h"

#include <QPushButton>

TForceWriteForm::TForceWriteForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, QWidget* parent)
    : TOperationForm(ws, link, orvan::TOpKind::ForceWrite, parent) {
    connect(Button(QStringLiteral("Button2")), &QPushButton::clicked, this,
            &TForceWriteForm::Button2Click);
    // The first run starts with the dialog. Its updates queue until the
    // dialog's event loop runs, so it never meets a half-built dialog.
    StartOnShow = false;
    StartWorker();
}

void TForceWriteForm::Button2Click() {
    for (const char* button : {"Button1", "Button2"})
        Render({orvan::TOpUpdate::TKind::Enabled, button, {}, 0});
    StartWorker();
}
