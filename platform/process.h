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
    // The exit status; 128 + the signal number when a signal ended it.
    int exitCode = -1;
    // The last lines the process wrote to its standard error.
    std::string stderrTail;
    // Why it could not be started, when it could not.
    std::string startError;
};

// Runs the program named by args[0] (Windows path text, mapped to the host)
// with the remaining arguments unchanged, waits without a time limit, and
// hands back the outcome. The process's standard error is passed on to ours
// and its last lines are kept. `whileWaiting`, when set, is called about every
// 50 ms while the process runs (the window uses it to repaint).
ProcessOutcome RunProcess(const std::vector<std::string>& args,
                          const std::function<void()>& whileWaiting = {});

} // namespace rk::platform
