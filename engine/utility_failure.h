#pragma once
// What to tell the user about a utility run that did not succeed.

#include "engine/tool_runner.h"
#include "platform/result.h"

#include <string>

namespace rk {

// The exit code of the unzip utility when no password given opens an
// encrypted entry (as Info-ZIP's unzip has it).
inline constexpr int kWrongPasswordExitCode = 82;

// What the user reads for it.
inline constexpr const char* kWrongPasswordText =
    "the backup is encrypted, and the password is wrong or missing";

// Why it could not be started; why its end could not be read; the last
// non-empty line of the utility's error output; or its exit code when it
// wrote nothing.
std::string UtilityFailureReason(const ToolOutcome& outcome);

// Success when the utility was started, its end was read and it ended with
// exit code 0 (platform::ProcessSucceeded); else the failure with that
// reason and the lines of its error output that say something
// (MeaningfulLines).
[[nodiscard]] Result<void> UtilityResult(const ToolOutcome& outcome);

} // namespace rk
