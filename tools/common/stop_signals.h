#pragma once
// Ending a run cleanly when it is asked to stop. The program that starts
// rkzip and rkunzip stops them with SIGTERM; a terminal gives SIGINT or
// SIGHUP. Each utility removes what it has half written before it ends.

namespace rk::tools {

// Decides what a stop signal does: true when the process is to end by it now
// (after removing what it must), false when the run is to go on and end by
// itself. Runs on the watching thread, not in a signal handler.
using StopCleanUp = bool (*)();

// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread, so in every thread
// started after it, and starts a thread that waits for them: on one it calls
// `cleanUp` and, when that says so, ends the process by the signal, as it
// would have ended unwatched. Signals ignored when the process started stay
// ignored. Called once, before any other thread is started.
void WatchStopSignals(StopCleanUp cleanUp);

} // namespace rk::tools
