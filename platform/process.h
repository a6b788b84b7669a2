#pragma once
// Starting a utility named by Windows path text without any shell and
// waiting for it.

#include "platform/spawned_process.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

// Splits a command line: blanks separate arguments, double quotes group (and
// are removed), backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// Runs the program named by args[0] (Windows path text, mapped to the host)
// with the remaining arguments unchanged, waits without a time limit, and
// hands back the outcome. The process's standard error is passed on to ours
// and its last lines are kept. `whileWaiting`, when set, is called about every
// 50 ms while the process runs (the window uses it to repaint).
ProcessOutcome RunProcess(const std::vector<std::string>& args,
                          const std::function<void()>& whileWaiting = {});
ProcessOutcome RunProcess(const std::vector<std::string>& args, const ProcessWatch& watch);
// The same with what else `start` asks (a descriptor to pass on, variables
// withheld); its args[0] is Windows path text as above.
ProcessOutcome RunProcess(ProcessStart start, const ProcessWatch& watch);

} // namespace rk::platform
