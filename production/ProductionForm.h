// The production operations' dialog: title and status lines, the buttons,
// one worker run at a time. Renders the worker's updates on the GUI thread
// in order, applies its commits to the workspace, shows its message boxes,
// and stops and joins the worker when it closes.
#pragma once

#include "ops/Operation.h"

#include <QDialog>

#include <atomic>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace orvan {
class TWorkspace;
} // namespace orvan

struct TProductionLine {
    const char* Control;
    const char* Text;
    bool Visible;
};

class TProductionOpForm : public QDialog {
    Q_OBJECT
  public:
    TProductionOpForm(orvan::TWorkspace& ws, orvan::IPort& port, orvan::TProtocolState& state,
                      orvan::IClock& clock, orvan::TPulseWidths widths,
                      orvan::TWorkerRoutine routine, const char* objectName, const char* caption,
                      const std::vector<TProductionLine>& lines,
                      const std::vector<TProductionLine>& buttons, QWidget* parent = nullptr);
    ~TProductionOpForm() override;

    void StartWorker();
    void StopWorker();
    bool WorkerRunning() const { return Runner.Running(); }
    void DrainUpdates();

    QLabel* Line(const QString& name) const;
    QPushButton* Button(const QString& name) const;

    void done(int result) override;
    void reject() override;

  signals:
    void UpdatesRendered();

  protected:
    void showEvent(QShowEvent* event) override;
    // Each update after it was rendered (on the GUI thread).
    virtual void Rendered(const orvan::TOpUpdate&) {}
    orvan::TWorkspace& Ws;

  private:
    void Render(const orvan::TOpUpdate& u);

    orvan::IPort& Port;
    orvan::TProtocolState& State;
    orvan::IClock& Clock;
    orvan::TPulseWidths Widths;
    orvan::TWorkerRoutine Routine;
    QVBoxLayout* Lines = nullptr;
    QList<QPushButton*> Buttons;
    bool Started = false;
    std::atomic<bool> DrainPosted{false};
    orvan::TOperationQueue Queue;
    orvan::TOperationRunner Runner;
};
