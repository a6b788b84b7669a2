#pragma once
// How a run of the program's utilities ended (a backup, later a restore or a
// verification): more than success or a reason, so not a Result. A status,
// the reason the user reads, the utility's own lines the reason rests on,
// and the details the kind of run adds.

#include <string>
#include <utility>
#include <vector>

namespace rk {

enum class RunStatus {
    Done,      // the run did all it was asked
    Partial,   // it did its work, but not all of it (the reason says what is missing)
    Failed,    // it did not do its work
    Cancelled, // the person stopped it
    Refused,   // it was not started
};

template <typename Details> struct RunResult {
    RunStatus status = RunStatus::Failed;
    // What went wrong, in words for the user; empty when the run was done.
    std::string reason;
    // The lines the utility wrote that the reason quotes; empty when none.
    std::vector<std::string> utilityLines;
    Details details;

    // A run that ended so, for that reason, with no utility lines and the
    // details left as they start.
    static RunResult Ended(RunStatus how, std::string why = {}) {
        return RunResult{how, std::move(why), {}, {}};
    }
};

} // namespace rk
