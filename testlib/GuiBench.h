// What the QtTest suites share: the main window without a writer, a device
// picked as the operator picks it, the next file dialog answered, and ports
// that lead nowhere.
#pragma once

#include "app/MainForm.h"

#include <QString>
#include <QStringList>

#include <memory>

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

} // namespace orvan::test
