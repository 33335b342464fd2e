// The dialog every chip operation shows, the production ones included: a
// title line, status lines, an optional gauge and its buttons, as the
// operation's layout says. It starts the operation's worker, renders the
// worker's updates on the GUI thread in the order they were sent, applies
// its commits to the main window's workspace, and on close stops and joins
// the worker before it takes out what is left.
#pragma once

#include "ops/OpLayout.h"

#include <QDialog>

#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace orvan {
class TWorkspace;
class TWriterLink;
} // namespace orvan

class TOperationForm : public QDialog {
    Q_OBJECT
  public:
    // Built from the operation's layout: caption, lines top to bottom with
    // their initial texts, the gauge where it has one, the buttons (disabled).
    TOperationForm(orvan::TWorkspace& ws, orvan::TWriterLink& link, orvan::TOpKind kind,
                   QWidget* parent = nullptr);
    // The same over a line of the caller's (a production dialog's), for the
    // operation `layout` describes.
    TOperationForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                   orvan::IClock& clock, const orvan::TPulseWidths& widths,
                   const orvan::TOpLayout& layout, QWidget* parent = nullptr);
    ~TOperationForm() override;

    // Starts a run of the worker on a fresh snapshot of the workspace.
    void StartWorker();
    // Stops a run still in progress (between two bytes) and waits for it.
    void StopWorker();
    bool WorkerRunning() const { return Runner.Running(); }
    // Renders and applies everything the worker queued so far.
    void DrainUpdates();
    // Where the worker sends its updates and commits (any thread).
    orvan::IOperationSink& Sink() { return Queue; }

    // A line, gauge or button by its control name; null when it has none.
    QLabel* Line(const QString& name) const;
    QProgressBar* Gauge() const { return CGauge1; }
    QPushButton* Button(const QString& name) const;

    // Closes the dialog (`Button1Click`; `ButtonOkClick` in Program EEPROM).
    void Button1Click() { accept(); }

    void done(int result) override;
    // Escape closes only what the operator could close with a button.
    void reject() override;

  signals:
    // After each drain that took something out; tests wait on it.
    void UpdatesRendered();

  protected:
    void showEvent(QShowEvent* event) override;
    // False for a dialog that starts its first run at construction.
    bool StartOnShow = true;
    // A change the dialog makes itself (its "Continue"), as a worker's would be.
    void Render(const orvan::TOpUpdate& u);
    // After each update was rendered, on the GUI thread: what a dialog shows
    // beyond its lines (a message box).
    virtual void Rendered(const orvan::TOpUpdate&) {}
    // A run is over, after its last update.
    virtual void Finished(const orvan::TOpOutcome&) {}

    orvan::TWorkspace& Ws;

  private:
    QLabel* AddLine(const QString& name, const QString& text, bool visible);
    QProgressBar* AddGauge();
    QPushButton* AddButton(const QString& name, const QString& caption);
    // `w` as the model now holds its control, for an update of `kind`.
    void Show(QWidget* w, orvan::TOpUpdate::TKind kind, const orvan::TDialogState::TControl& c);

    orvan::IPort& Port;
    orvan::TProtocolState& State;
    orvan::IClock& Clock;
    const orvan::TPulseWidths& Widths;
    orvan::TWorkerRoutine Routine;
    // What the widgets show, kept from the worker's updates.
    orvan::TDialogState Shown;
    QVBoxLayout* Lines = nullptr;
    QProgressBar* CGauge1 = nullptr;
    QList<QPushButton*> Buttons;
    bool Started = false;
    std::atomic<bool> DrainPosted{false};
    // The queue outlives the runner: a worker pushes until it is joined.
    orvan::TOperationQueue Queue;
    orvan::TOperationRunner Runner;
};
