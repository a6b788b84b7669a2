#pragma once
// The main window's life ends cleanly when the session or a service manager
// asks the program to stop (SIGTERM, SIGINT, SIGHUP): the event loop is left
// as if the window had been closed, and the program exits with 0.

namespace rk {

// Installs the handlers; call once, after the application object exists and
// just before its event loop runs.
void QuitEventLoopOnSignals();

} // namespace rk
