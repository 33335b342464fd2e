// SIGINT, SIGTERM and SIGHUP for orvan-cli: they ask the running command to
// stop (the exchange ends between two bytes, the port is closed and its line
// settings put back) and the process then exits with 128 + the signal's
// number: 130, 143 or 129.
#pragma once

#include <stop_token>

namespace orvan::cli {

// Call first in main, before any thread starts: the three signals are then
// taken by a watcher thread of their own. A command that does not end
// within a second of the signal is ended with the same exit status.
void InstallStopSignals();

// Requested when one of the signals arrives; every exchange with the writer
// takes it.
std::stop_token StopToken();

} // namespace orvan::cli
