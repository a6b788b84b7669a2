#pragma once
// Starting a utility without any shell and waiting for it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

// Splits a command line: blanks separate arguments, double quotes group (and
// are removed), backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

struct ProcessOutcome {
    bool started = false;
    // The exit status; 128 + the signal number when a signal ended it; -1
    // when how it ended could not be read (endError says why).
    int exitCode = -1;
    // The last lines the process wrote to its standard error (whole lines).
    std::string stderrTail;
    // Why it could not be started, when it could not.
    std::string startError;
    // Why how it ended could not be read (waitpid failed), when it could not:
    // such a process counts as failed, never as one that exited 0.
    std::string endError;
    // It was asked to stop (sent SIGTERM) because the watcher wanted it.
    bool stopped = false;
};

// What the caller watches while the process runs.
struct ProcessWatch {
    // Called about every 50 ms (the window uses it to repaint).
    std::function<void()> whileWaiting;
    // When both are set, the process gets a channel as descriptor 3, named
    // by this environment variable ("RKZIP_PROGRESS_FD=3"), and every line it
    // writes there is handed to `progressLine` without its line end.
    std::string progressVariable;
    std::function<void(std::string_view line)> progressLine;
    // Asked between reads; when it answers true the process is sent SIGTERM
    // once, and is waited for as before.
    std::function<bool()> stopRequested;
    // When set, every whole line the process writes to its standard error is
    // handed here (without its line end) as well as passed on; a last line
    // without a line end is handed over when the process ends.
    std::function<void(std::string_view line)> errorLine;
};

// "cannot read how 'PROGRAM' ended: REASON", for a waitpid that failed with
// `error`.
std::string EndErrorText(const std::string& program, int error);

// Runs the program named by args[0] (Windows path text, mapped to the host)
// with the remaining arguments unchanged, waits without a time limit, and
// hands back the outcome. The process's standard error is passed on to ours
// and its last lines are kept. `whileWaiting`, when set, is called about every
// 50 ms while the process runs (the window uses it to repaint).
ProcessOutcome RunProcess(const std::vector<std::string>& args,
                          const std::function<void()>& whileWaiting = {});
ProcessOutcome RunProcess(const std::vector<std::string>& args, const ProcessWatch& watch);

} // namespace rk::platform
