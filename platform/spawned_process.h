#pragma once
// Starting a process without any shell and waiting for it: the one place that
// spawns, pumps the pipes and reads how a process ended. The zip and unzip
// utilities (platform/process.h) and the host programs (platform/host_program.h)
// are both run through it and both end in a ProcessOutcome.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

struct ProcessOutcome {
    bool started = false;
    // The exit status; 128 + the signal number when a signal ended it; -1
    // when how it ended could not be read (endError says why).
    int exitCode = -1;
    // The last lines the process wrote to its standard error (whole lines).
    std::string stderrTail;
    // Its whole standard output, when it was kept (else empty).
    std::string out;
    // Its whole standard error, when it was kept instead of passed on (else
    // empty; stderrTail has the last lines either way).
    std::string err;
    // Why it could not be started, when it could not.
    std::string startError;
    // Why how it ended could not be read (waitpid failed), when it could not:
    // such a process counts as failed, never as one that exited 0.
    std::string endError;
    // It was asked to stop (sent SIGTERM) because the watcher wanted it.
    bool stopped = false;
};

// True when the process was started, its end was read and it exited 0.
bool ProcessSucceeded(const ProcessOutcome& outcome);

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

// What to start and what becomes of its standard streams.
struct ProcessStart {
    // args[0] is the program: a host path, or, with `searchPath`, a name
    // looked up on PATH. The rest are its arguments, unchanged.
    std::vector<std::string> args;
    bool searchPath = false;
    // How messages name the program ("cannot start 'NAME'"); args[0] when
    // empty.
    std::string shownName;
    // With `feedInput`, `input` is written to its standard input, which is
    // then closed; without, it reads /dev/null.
    bool feedInput = false;
    std::string_view input;
    // Its standard output is kept in ProcessOutcome::out; otherwise it goes
    // where ours goes.
    bool keepOutput = false;
    // Its standard error is kept whole in ProcessOutcome::err; otherwise it
    // is passed on to ours.
    bool keepErrors = false;
    // When set (not -1), this descriptor of ours is inherited as descriptor
    // `passedAs`, named by the environment variable `passedVariable`
    // ("RAVELKEEP_PASSWORD_FD=4"); the password channel of the utilities.
    int passedDescriptor = -1;
    int passedAs = 4;
    std::string passedVariable;
    // Variables of our environment the process does not inherit.
    std::vector<std::string> withheldVariables;
};

// "cannot read how 'PROGRAM' ended: REASON", for a waitpid that failed with
// `error`.
std::string EndErrorText(const std::string& program, int error);

// Starts the process, exchanges its streams as `start` asks while `watch`
// watches, waits for it without a time limit and hands back the outcome.
ProcessOutcome SpawnAndWait(const ProcessStart& start, const ProcessWatch& watch = {});

} // namespace rk::platform
