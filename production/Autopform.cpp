#include "production/Autopform.h"

#include "production/Autoprogram.h"
#include "production/Records.h"

#include <QLabel>
#include <QPushButton>

TAutoProgramForm::TAutoProgramForm(orvan::TWorkspace& ws, orvan::IPort& port,
                                   orvan::TProtocolState& state, orvan::IClock& clock,
                                   orvan::TPulseWidths widths, QWidget* parent)
    : TProductionOpForm(ws, port, state, clock, widths, orvan::AutoProgramThread, "AutoProgramForm",
                        "Auto Program",
                        {{"StaticText1", "Auto Program", true},
                         {orvan::RecordLineControl, "", true},
                         {"EraseMsg", "", false},
                         {"Label1", "Blank Check.....", true},
                         {"Label2", "Program.....", false},
                         {"Label3", "", false},
                         {"Label4", "Program OPTION.....", false},
                         {"YieldLine", "", true}},
                        {{"Button1", "Exit", true}, {"Button2", "Continue", true}}, parent) {
    Button(QStringLiteral("Button2"))->setDefault(true);
    connect(Button(QStringLiteral("Button2")), &QPushButton::clicked, this,
            &TAutoProgramForm::Button2Click);
}

void TAutoProgramForm::Rendered(const orvan::TOpUpdate& u) {
    if (u.Control != orvan::ChipVerdictControl || u.Kind != orvan::TOpUpdate::TKind::Text) return;
    (u.Text == "pass" ? Passes : Fails) += 1;
    const int chips = Passes + Fails;
    Line(QStringLiteral("YieldLine"))
        ->setText(QStringLiteral("This run: %1 passed, %2 failed, yield %3")
                      .arg(Passes)
                      .arg(Fails)
                      .arg(QString::fromStdString(orvan::YieldText(Passes, chips))));
}

void TAutoProgramForm::Button2Click() {
    Button(QStringLiteral("Button1"))->setEnabled(false);
    Button(QStringLiteral("Button2"))->setEnabled(false);
    for (const char* name : {"Label2", "Label3", "Label4"})
        Line(QString::fromLatin1(name))->setVisible(false);
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", orvan::RecordLineControl})
        Line(QString::fromLatin1(name))->setPalette(palette());
    Line(QStringLiteral("Label1"))->setText(QString());
    Line(QStringLiteral("Label2"))->setText(QStringLiteral("Program....."));
    Line(QStringLiteral("Label3"))->setText(QStringLiteral("Verify....."));
    Line(QStringLiteral("Label4"))->setText(QStringLiteral("Program OPTION....."));
    StopWorker(); // joins the finished run and takes out what it left
    StartWorker();
}
