#include "engine/utility_failure.h"

#include "engine/utility_lines.h"

namespace rk {

std::string UtilityFailureReason(const ToolOutcome& outcome) {
    if (!outcome.started)
        return outcome.startError.empty() ? std::string("the utility could not be started")
                                          : outcome.startError;
    if (!outcome.endError.empty())
        return outcome.endError;
    const std::string_view line = LastLine(outcome.stderrTail);
    if (outcome.exitCode == kWrongPasswordExitCode)
        return std::string(kWrongPasswordText) +
               (line.empty() ? "" : " (" + std::string(line) + ")");
    if (!line.empty())
        return std::string(line);
    return "the utility ended with exit code " + std::to_string(outcome.exitCode);
}

Result<void> UtilityResult(const ToolOutcome& outcome) {
    if (platform::ProcessSucceeded(outcome))
        return {};
    return Result<void>::Failure(UtilityFailureReason(outcome),
                                 MeaningfulLines(outcome.stderrTail));
}

} // namespace rk
