// SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C in the terminal, a service
// manager) close the main window the way File > Exit does, so the port is
// put back and Default.cfg is written instead of being lost.
#pragma once

#include <functional>

class QObject;

// Installs the handlers; `onSignal` runs on the GUI thread, once per signal.
// Returns false when the handlers could not be set up.
bool InstallCloseOnSignal(QObject* owner, std::function<void()> onSignal);
