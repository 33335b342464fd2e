// What the QtTest suites share: the main window without a writer, a device
// picked as the operator picks it, the next file dialog answered, and ports
// that lead nowhere.
#pragma once

#include "app/MainForm.h"
#include "testlib/BoxRecorder.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace orvan::test {

// The main window, started without connecting to the writer.
std::unique_ptr<TMainForm> NewForm();

// Picks `name` in the device box and activates it, as the operator does.
void SelectDevice(TMainForm& form, const QString& name);

// What the answered file dialog showed.
struct TSeenDialog {
    QString Title, Suffix, Filter, Proposed;
    QStringList Filters;
    bool Shown = false;
};

// Answers the next file dialog: chooses `filter` (when given), types `name`
// and accepts, or cancels when `name` is null; records what it showed. A
// dialog that refused the answer is cancelled after 5 s, so that it cannot
// hang the suite.
void AnswerDialog(TSeenDialog* seen, const QString& filter, const QString& name);

// ports.map in the current folder with every port leading nowhere, so that
// a retried open fails on any machine.
void MapPortsNowhere();

// A station at work on the real writer-sim: a folder of its own (the
// current folder while it lives) holding prog.bin, a Default.cfg that names
// the model, prog.bin and the OPTION word (none when `option` is negative),
// ports.map and the simulator's control file; writer-sim on Com1 with a
// fresh chip after each run, and the main window started there, connected.
class TSimStation {
  public:
    TSimStation(const std::string& model, const std::string& program, int option);
    ~TSimStation();
    TSimStation(const TSimStation&) = delete;
    TSimStation& operator=(const TSimStation&) = delete;

    // The simulator's fault lines from its next byte on ("" for none).
    void Fault(const std::string& lines);
    // Waits for writer-sim to end after its line went (a "drop-at" fault):
    // the cable is out, and its line is gone from ports.map.
    bool SimGone();
    // writer-sim again behind the same port name, its control file emptied
    // first: the cable is back.
    void Reconnect();

    TTempDir Dir;
    TBoxRecorder Boxes;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<TMainForm> Form;

  private:
    std::vector<std::string> SimArgs;
    QString OldDir;
};

} // namespace orvan::test
