// Exchanges with the writer over the whole workspace: the header, a
// worker's snapshot, and a whole operation run headless.
#pragma once

#include "link/Header.h"
#include "ops/Operation.h"

#include <functional>
#include <stop_token>

namespace orvan {

class TWorkspace;
class TWriterLink;

// GetICInfo first (its result is not looked at: an unknown model leaves the
// device fields as they were), then the header into CommandHeader.
void GetHeader(TWorkspace& ws, const TPulseWidths& widths, unsigned area, unsigned action);

// What a worker reads of the workspace, production's part included.
TOperationInput SnapshotOf(const TWorkspace& ws, const TPulseWidths& widths);

// Headless: snapshot, run `routine` on its own thread against the link's
// port, apply its commits to `ws` on this thread as they come, and pass
// every update to `render` (on this thread, in order). A stop requested on
// `cancel` (a signal, say) stops the worker between two bytes.
TOpOutcome RunOperation(TWorkspace& ws, TWriterLink& link, TWorkerRoutine routine,
                        const std::function<void(const TOpUpdate&)>& render,
                        std::stop_token cancel = {});

// Connect and about, headless: the connect message or the firmware text
// into `text`. A writer that is silent, answers wrongly or is of the wrong
// type fails them (the connect message the first failing line); a writer of
// the right type without firmware text passes about with "Unknown".
TOpOutcome ConnectWriter(TWorkspace& ws, TWriterLink& link, std::string& text,
                         std::stop_token cancel = {});
TOpOutcome AboutWriter(TWorkspace& ws, TWriterLink& link, std::string& text,
                       std::stop_token cancel = {});

} // namespace orvan
