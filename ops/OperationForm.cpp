#include "ops/OperationForm.h"

#include "link/WriterLink.h"
#include "session/Operations.h"
#include "session/Workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A label without a buddy shows "&&" as it is; the operator reads one "&".
QString LabelText(const std::string& text) {
    return QString::fromStdString(orvan::DisplayText(text));
}

// The blue bar of the percentage: the text is drawn white where it lies
// over the bar and in the palette's text colour beside it, so that it reads
// on the bar and on a light or a dark background alike.
class TGauge : public QProgressBar {
  public:
    using QProgressBar::QProgressBar;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect frame = rect().adjusted(0, 0, -1, -1);
        const QRect inner = rect().adjusted(1, 1, -1, -1);
        p.fillRect(inner, palette().color(QPalette::Base));
        const int span = std::max(1, maximum() - minimum());
        const int filled = int(qint64(inner.width()) * (value() - minimum()) / span);
        const QRect bar(inner.left(), inner.top(), std::max(0, filled), inner.height());
        p.fillRect(bar, QColor(0, 0, 255));
        p.setPen(Qt::gray);
        p.drawRect(frame);
        if (value() < minimum()) return; // reset: no text
        const QString label = text();
        p.setClipRect(bar);
        p.setPen(Qt::white);
        p.drawText(inner, Qt::AlignCenter, label);
        p.setClipRegion(QRegion(inner).subtracted(bar));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(inner, Qt::AlignCenter, label);
    }
};

} // namespace

TOperationForm::TOperationForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, orvan::TOpKind kind,
                               QWidget* parent)
    : TOperationForm(ws, link.Comm1, link, *link.Clock, link.PulseWidths, orvan::LayoutOf(kind),
                     parent) {}

TOperationForm::TOperationForm(orvan::TWorkspace& ws, orvan::IPort& port,
                               orvan::TProtocolState& state, orvan::IClock& clock,
                               const orvan::TPulseWidths& widths, const orvan::TOpLayout& layout,
                               QWidget* parent)
    : QDialog(parent), Ws(ws), Port(port), State(state), Clock(clock), Widths(widths),
      Routine(layout.Routine), Shown(layout) {
    // No border icons: the buttons are the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    Lines = new QVBoxLayout(this);
    Lines->setSpacing(6);
    Lines->setSizeConstraint(QLayout::SetFixedSize);
    setObjectName(QString::fromLatin1(layout.DialogClass).mid(1));
    setWindowTitle(QString::fromLatin1(layout.Caption));
    using R = orvan::TLayoutLine::TRole;
    for (const orvan::TLayoutLine& l : layout.Lines) {
        const QString name = QString::fromLatin1(l.Control);
        if (l.Role == R::Gauge)
            AddGauge();
        else if (l.Role == R::Button)
            AddButton(name, QString::fromLatin1(l.Text))->setEnabled(l.Visible);
        else
            AddLine(name, LabelText(l.Text), l.Visible);
    }
    if (QLabel* title = Line(QStringLiteral("StaticText1"))) {
        QFont f = title->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.25);
        title->setFont(f);
    }
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : Buttons)
        row->addWidget(b);
    row->addStretch();
    Lines->addSpacing(8);
    Lines->addLayout(row);
    if (!Buttons.isEmpty()) {
        Buttons.front()->setDefault(true);
        // The first button closes the dialog (Button1Click, ButtonOkClick).
        connect(Buttons.front(), &QPushButton::clicked, this, &TOperationForm::Button1Click);
    }
    Queue.Notify = [this] {
        // One drain in flight is enough: it takes out everything queued.
        if (!DrainPosted.exchange(true))
            QMetaObject::invokeMethod(this, &TOperationForm::DrainUpdates, Qt::QueuedConnection);
    };
}

TOperationForm::~TOperationForm() {
    StopWorker();
}

void TOperationForm::StartWorker() {
    Started = true;
    Runner.Start(Port, State, Clock, Queue, orvan::SnapshotOf(Ws, Widths), Routine);
}

void TOperationForm::StopWorker() {
    Runner.Stop();
    // What the worker sent before it stopped still lands, commits included.
    DrainUpdates();
}

void TOperationForm::DrainUpdates() {
    DrainPosted = false;
    if (Queue.Drain(
            Ws, [this](const orvan::TOpUpdate& u) { Render(u); },
            [this](const orvan::TOpOutcome& o) { Finished(o); }) > 0)
        emit UpdatesRendered();
}

void TOperationForm::Render(const orvan::TOpUpdate& u) {
    Shown.Apply(u);
    const orvan::TDialogState::TControl& c = Shown[u.Control];
    const QString name = QString::fromStdString(u.Control);
    QWidget* w = name == QLatin1String("CGauge1") ? static_cast<QWidget*>(CGauge1)
                                                  : findChild<QWidget*>(name);
    if (w) Show(w, u.Kind, c);
    Rendered(u);
}

void TOperationForm::Show(QWidget* w, orvan::TOpUpdate::TKind kind,
                          const orvan::TDialogState::TControl& c) {
    using K = orvan::TOpUpdate::TKind;
    switch (kind) {
    case K::Text:
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(LabelText(c.Text));
        else if (auto* button = qobject_cast<QPushButton*>(w))
            button->setText(QString::fromStdString(c.Text));
        break;
    case K::Colour: {
        QPalette p = palette();
        if (c.Colour == orvan::TLineColour::Red)
            p.setColor(QPalette::WindowText, QColor(255, 0, 0));
        w->setPalette(p);
        break;
    }
    case K::Visible:
        w->setVisible(c.Visible);
        break;
    case K::Enabled:
        w->setEnabled(c.Enabled);
        if (c.Enabled && qobject_cast<QPushButton*>(w) && Buttons.size() == 1) w->setFocus();
        break;
    case K::Gauge:
        if (CGauge1) CGauge1->setValue(std::clamp(c.Gauge, 0, 100));
        break;
    }
}

QLabel* TOperationForm::Line(const QString& name) const {
    return findChild<QLabel*>(name);
}

QPushButton* TOperationForm::Button(const QString& name) const {
    return findChild<QPushButton*>(name);
}

void TOperationForm::done(int result) {
    StopWorker();
    QDialog::done(result);
}

void TOperationForm::reject() {
    for (QPushButton* b : Buttons)
        if (b->isEnabled() && b->objectName() != QLatin1String("Button2")) return done(Rejected);
}

QLabel* TOperationForm::AddLine(const QString& name, const QString& text, bool visible) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(320);
    label->setTextFormat(Qt::PlainText);
    // A hidden line keeps its place, so the dialog does not jump when it appears.
    QSizePolicy keep = label->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keep);
    label->setVisible(visible);
    Lines->addWidget(label);
    return label;
}

QProgressBar* TOperationForm::AddGauge() {
    CGauge1 = new TGauge(this);
    CGauge1->setObjectName(QStringLiteral("CGauge1"));
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setAlignment(Qt::AlignCenter);
    Lines->addWidget(CGauge1);
    return CGauge1;
}

QPushButton* TOperationForm::AddButton(const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setEnabled(false);
    Buttons.append(button);
    return button;
}

void TOperationForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (StartOnShow && !Started && !event->spontaneous()) StartWorker();
}
