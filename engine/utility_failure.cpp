#include "engine/utility_failure.h"

namespace rk {

bool UtilitySucceeded(const ToolOutcome& outcome) {
    return outcome.started && outcome.endError.empty() && outcome.exitCode == 0;
}

std::string UtilityFailureReason(const ToolOutcome& outcome) {
    if (!outcome.started)
        return outcome.startError.empty() ? std::string("the utility could not be started")
                                          : outcome.startError;
    if (!outcome.endError.empty())
        return outcome.endError;
    const std::string& text = outcome.stderrTail;
    const std::size_t end = text.find_last_not_of("\r\n ");
    if (end != std::string::npos) {
        const std::size_t newline = text.find_last_of('\n', end);
        const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
        return text.substr(start, end + 1 - start);
    }
    return "the utility ended with exit code " + std::to_string(outcome.exitCode);
}

Result<void> UtilityResult(const ToolOutcome& outcome) {
    if (UtilitySucceeded(outcome))
        return {};
    return Result<void>::Failure(UtilityFailureReason(outcome));
}

} // namespace rk
