#include "production/Autopform.h"

#include "app/MessageBoxes.h"
#include "production/Autoprogram.h"
#include "production/Records.h"

#include <QPushButton>

namespace {

orvan::TOpUpdate Update(orvan::TOpUpdate::TKind kind, const char* control, int value,
                        std::string text = {}) {
    return {kind, control, std::move(text), value};
}

} // namespace

TAutoProgramForm::TAutoProgramForm(orvan::TWorkspace& ws, orvan::IPort& port,
                                   orvan::TProtocolState& state, orvan::IClock& clock,
                                   const orvan::TPulseWidths& widths, QWidget* parent)
    : TOperationForm(ws, port, state, clock, widths, orvan::AutoProgramLayout(), parent) {
    Button(QStringLiteral("Button2"))->setDefault(true);
    connect(Button(QStringLiteral("Button2")), &QPushButton::clicked, this,
            &TAutoProgramForm::Button2Click);
}

void TAutoProgramForm::Rendered(const orvan::TOpUpdate& u) {
    if (u.Control == orvan::MessageBoxControl && u.Kind == orvan::TOpUpdate::TKind::Text &&
        !u.Text.empty())
        ShowPlainMessage(this, QString::fromStdString(u.Text));
}

void TAutoProgramForm::Finished(const orvan::TOpOutcome& outcome) {
    if (!outcome.Recorded) return;
    ++(outcome.Pass ? Passes : Fails);
    Render(Update(orvan::TOpUpdate::TKind::Text, orvan::YieldLineControl, 0,
                  orvan::YieldLineText(Passes, Fails)));
}

void TAutoProgramForm::Button2Click() {
    using K = orvan::TOpUpdate::TKind;
    for (const char* name : {"Button1", "Button2"})
        Render(Update(K::Enabled, name, 0));
    for (const char* name : {"Label2", "Label3", "Label4"})
        Render(Update(K::Visible, name, 0));
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", orvan::RecordLineControl})
        Render(Update(K::Colour, name, int(orvan::TLineColour::Default)));
    Render(Update(K::Text, "Label1", 0));
    Render(Update(K::Text, "Label2", 0, "Program....."));
    Render(Update(K::Text, "Label3", 0, "Verify....."));
    Render(Update(K::Text, "Label4", 0, "Program OPTION....."));
    StopWorker(); // joins the finished run and takes out what it left
    StartWorker();
}
