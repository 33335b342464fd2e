// SIGINT, SIGTERM and SIGHUP (and a closed output pipe) for orvan-cli: they ask the running command
// to stop (the exchange ends between two bytes, the port is closed and its line settings put back)
// and the process then exits with 128 + the signal's number: 130, 143 or 129. That takes
// milliseconds, except after a chip operation stopped inside a block: the writer is then given its
// second of quiet to drop the block first, so that the next run finds it ready.
#pragma once

#include <stop_token>

namespace orvan::cli {

// Call first in main, before any thread starts: the three signals are then
// taken by a watcher thread of their own. A command that has not ended
// three seconds after the signal is ended with the same exit status, once
// any write to the production records has ended.
void InstallStopSignals();

// Requested when one of the signals arrives; every exchange with the writer
// takes it.
std::stop_token StopToken();

// The signal that asked for the stop, or 0.
int CaughtSignal();

// Standard output could not be written (errno `error`). A closed pipe (the
// reader, such as `head`, has gone) stops the command as SIGPIPE would, and
// the process exits 141; any other failure (a full disk) is kept for the
// exit status, 4.
void NoteOutputFailure(int error);
// The first output failure's errno, or 0.
int OutputFailure();

} // namespace orvan::cli
