#include "production/ProductionForm.h"

#include "app/MessageBoxes.h"
#include "production/Autoprogram.h"
#include "session/Operations.h"
#include "session/Workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// A label without a buddy shows "&&" as it is; the operator reads one "&".
QString LabelText(const std::string& text) {
    return QString::fromStdString(orvan::DisplayText(text));
}

} // namespace

TProductionOpForm::TProductionOpForm(orvan::TWorkspace& ws, orvan::IPort& port,
                                     orvan::TProtocolState& state, orvan::IClock& clock,
                                     orvan::TPulseWidths widths, orvan::TWorkerRoutine routine,
                                     const char* objectName, const char* caption,
                                     const std::vector<TProductionLine>& lines,
                                     const std::vector<TProductionLine>& buttons, QWidget* parent)
    : QDialog(parent), Ws(ws), Port(port), State(state), Clock(clock), Widths(widths),
      Routine(routine) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setObjectName(QString::fromLatin1(objectName));
    setWindowTitle(QString::fromLatin1(caption));
    Lines = new QVBoxLayout(this);
    Lines->setSizeConstraint(QLayout::SetFixedSize);
    for (const TProductionLine& l : lines) {
        auto* label = new QLabel(LabelText(l.Text), this);
        label->setObjectName(QString::fromLatin1(l.Control));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(320);
        label->setTextFormat(Qt::PlainText);
        QSizePolicy keep = label->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        label->setSizePolicy(keep);
        label->setVisible(l.Visible);
        Lines->addWidget(label);
    }
    if (QLabel* title = Line(QStringLiteral("StaticText1"))) {
        QFont f = title->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.25);
        title->setFont(f);
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (const TProductionLine& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.Text), this);
        button->setObjectName(QString::fromLatin1(b.Control));
        button->setEnabled(false);
        Buttons.append(button);
        row->addWidget(button);
    }
    row->addStretch();
    Lines->addSpacing(8);
    Lines->addLayout(row);
    if (!Buttons.isEmpty()) connect(Buttons.front(), &QPushButton::clicked, this, &QDialog::accept);
    Queue.Notify = [this] {
        if (!DrainPosted.exchange(true))
            QMetaObject::invokeMethod(this, &TProductionOpForm::DrainUpdates, Qt::QueuedConnection);
    };
}

TProductionOpForm::~TProductionOpForm() {
    StopWorker();
}

void TProductionOpForm::StartWorker() {
    Started = true;
    Runner.Start(Port, State, Clock, Queue, orvan::SnapshotOf(Ws, Widths), Routine);
}

void TProductionOpForm::StopWorker() {
    Runner.Stop();
    DrainUpdates();
}

void TProductionOpForm::DrainUpdates() {
    DrainPosted = false;
    if (Queue.Drain(Ws, [this](const orvan::TOpUpdate& u) { Render(u); }) > 0)
        emit UpdatesRendered();
}

void TProductionOpForm::Render(const orvan::TOpUpdate& u) {
    using K = orvan::TOpUpdate::TKind;
    if (u.Control == orvan::MessageBoxControl) {
        if (u.Kind == K::Text && !u.Text.empty())
            ShowPlainMessage(this, QString::fromStdString(u.Text));
        return;
    }
    QWidget* w = findChild<QWidget*>(QString::fromStdString(u.Control));
    if (!w) return;
    switch (u.Kind) {
    case K::Text:
        if (auto* label = qobject_cast<QLabel*>(w)) label->setText(LabelText(u.Text));
        break;
    case K::Colour: {
        QPalette p = palette();
        if (orvan::TLineColour(u.Value) == orvan::TLineColour::Red)
            p.setColor(QPalette::WindowText, QColor(255, 0, 0));
        w->setPalette(p);
        break;
    }
    case K::Visible:
        w->setVisible(u.Value != 0);
        break;
    case K::Enabled:
        w->setEnabled(u.Value != 0);
        break;
    case K::Gauge:
        break;
    }
}

QLabel* TProductionOpForm::Line(const QString& name) const {
    return findChild<QLabel*>(name);
}

QPushButton* TProductionOpForm::Button(const QString& name) const {
    return findChild<QPushButton*>(name);
}

void TProductionOpForm::done(int result) {
    StopWorker();
    QDialog::done(result);
}

void TProductionOpForm::reject() {
    // Escape closes only what the first button could close.
    if (!Buttons.isEmpty() && Buttons.front()->isEnabled()) done(Rejected);
}

void TProductionOpForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!Started && !event->spontaneous()) StartWorker();
}
