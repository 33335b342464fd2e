#include "production/Autopform.h"

#include "app/MessageBoxes.h"
#include "link/WriterLink.h"
#include "production/Autoprogram.h"
#include "production/Records.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

orvan::TOpUpdate Update(orvan::TOpUpdate::TKind kind, const char* control, int value,
                        std::string text = {}) {
    return {kind, control, std::move(text), value};
}

// How often the dialog looks for a line lost between two chips.
constexpr int LineWatchMs = 500;

} // namespace

TAutoProgramForm::TAutoProgramForm(orvan::TWorkspace& ws, orvan::IPort& port,
                                   orvan::TProtocolState& state, orvan::IClock& clock,
                                   const orvan::TPulseWidths& widths, QWidget* parent)
    : TOperationForm(ws, port, state, clock, widths, orvan::AutoProgramLayout(), parent) {
    // A button with the keyboard must not take Enter for itself: Enter is
    // the default button's, which PointEnter keeps.
    for (const char* name : {"Button1", "Button2"})
        Button(QString::fromLatin1(name))->setAutoDefault(false);
    Button(QStringLiteral("Button2"))->setDefault(true);
    connect(Button(QStringLiteral("Button2")), &QPushButton::clicked, this,
            &TAutoProgramForm::Button2Click);
}

TAutoProgramForm::TAutoProgramForm(orvan::TWorkspace& ws, orvan::TWriterLink& link,
                                   std::function<std::string()> portCheck, QWidget* parent)
    : TAutoProgramForm(ws, link.Comm1, link, *link.Clock, link.PulseWidths, parent) {
    Link = &link;
    PortCheck = std::move(portCheck);
    // A port error carries the reason the open failed, often a long one.
    Line(QString::fromLatin1(orvan::LinkLineControl))->setWordWrap(true);
    // A cable pulled between two chips is said before the next Continue.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &TAutoProgramForm::NoteLineLost);
    watch->start(LineWatchMs);
}

void TAutoProgramForm::Rendered(const orvan::TOpUpdate& u) {
    if (u.Control == orvan::MessageBoxControl && u.Kind == orvan::TOpUpdate::TKind::Text &&
        !u.Text.empty())
        ShowPlainMessage(this, QString::fromStdString(u.Text));
    if (u.Kind == orvan::TOpUpdate::TKind::Enabled) PointEnter();
}

void TAutoProgramForm::Finished(const orvan::TOpOutcome& outcome) {
    NoteLineLost();
    if (!outcome.Recorded) return;
    ++(outcome.Pass ? Passes : Fails);
    Render(Update(orvan::TOpUpdate::TKind::Text, orvan::YieldLineControl, 0,
                  orvan::YieldLineText(Passes, Fails)));
}

void TAutoProgramForm::PointEnter() {
    QPushButton* exit = Button(QStringLiteral("Button1"));
    QPushButton* next = Button(QStringLiteral("Button2"));
    QPushButton* enter = next->isEnabled() ? next : exit->isEnabled() ? exit : nullptr;
    if (!enter) return; // a run in progress: Enter does nothing
    enter->setDefault(true);
    enter->setFocus();
}

void TAutoProgramForm::NoteLineLost() {
    if (Link && Link->TakeLineLostNotice())
        LinkLine(orvan::LineLostText(Link->LineLostReason()), true);
}

bool TAutoProgramForm::LineBack() {
    if (!Link || !PortCheck || !Link->PortFailed) return true;
    const std::string error = PortCheck();
    LinkLine(error, !error.empty());
    return error.empty();
}

void TAutoProgramForm::LinkLine(const std::string& text, bool red) {
    using K = orvan::TOpUpdate::TKind;
    Render(Update(K::Text, orvan::LinkLineControl, 0, text));
    Render(Update(K::Colour, orvan::LinkLineControl,
                  int(red ? orvan::TLineColour::Red : orvan::TLineColour::Default)));
}

void TAutoProgramForm::Button2Click() {
    using K = orvan::TOpUpdate::TKind;
    StopWorker(); // joins the finished run and takes out what it left
    for (const char* name : {"Button1", "Button2"})
        Render(Update(K::Enabled, name, 0));
    // The port is opened again as a main-window command would; when it
    // cannot be, the next Continue tries again.
    if (!LineBack()) {
        for (const char* name : {"Button1", "Button2"})
            Render(Update(K::Enabled, name, 1));
        return;
    }
    for (const char* name : {"Label2", "Label3", "Label4"})
        Render(Update(K::Visible, name, 0));
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", orvan::RecordLineControl})
        Render(Update(K::Colour, name, int(orvan::TLineColour::Default)));
    Render(Update(K::Text, "Label1", 0));
    Render(Update(K::Text, "Label2", 0, "Program....."));
    Render(Update(K::Text, "Label3", 0, "Verify....."));
    Render(Update(K::Text, "Label4", 0, "Program OPTION....."));
    StartWorker();
}
