#pragma once
// Running a program of the host system (found on PATH, as "systemctl" or
// "crontab"), without any shell, with its output captured.

#include "platform/spawned_process.h"

#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

// Runs args[0] (a host program name looked up on PATH, or a host path) with
// the remaining arguments unchanged, writes `input` to its standard input and
// waits for it; its standard output and error are kept whole (`out`, `err`),
// not passed on. ProcessSucceeded tells whether it exited 0.
ProcessOutcome RunHostProgram(const std::vector<std::string>& args, std::string_view input = {});

// Whether a program of that name is found on PATH (or is an executable host
// path).
bool HostProgramExists(const std::string& name);

} // namespace rk::platform
