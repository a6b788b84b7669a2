#pragma once
// Running a program of the host system (found on PATH, as "systemctl" or
// "crontab"), without any shell, with its output captured.

#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

struct HostProgramOutcome {
    bool started = false;
    // The exit status; 128 + the signal number when a signal ended it; -1
    // when how it ended could not be read (endError says why).
    int exitCode = -1;
    std::string out;
    std::string err;
    // Why it could not be started, when it could not.
    std::string startError;
    // Why how it ended could not be read, when it could not: it then counts
    // as failed.
    std::string endError;
};

// True when the program was started, its end was read and it exited 0.
bool HostProgramSucceeded(const HostProgramOutcome& outcome);

// Runs args[0] (a host program name looked up on PATH, or a host path) with
// the remaining arguments unchanged, writes `input` to its standard input and
// waits for it; its standard output and error are kept, not passed on.
HostProgramOutcome RunHostProgram(const std::vector<std::string>& args,
                                  std::string_view input = {});

// Whether a program of that name is found on PATH (or is an executable host
// path).
bool HostProgramExists(const std::string& name);

} // namespace rk::platform
