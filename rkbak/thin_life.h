#pragma once
// The windowless thinning of one job ("/thin/NAME") by its keep policy, and
// the thinning that follows each windowless backup of a job with a policy.

#include <iosfwd>
#include <optional>
#include <string>

namespace rk {

// 0 when the job was thinned (or had nothing to thin), 1 when the thinning
// failed (nothing of the failed period deleted, the reason on `errors`), 2
// when there is no such job or it has no keep policy.
int RunThinLife(const std::string& jobName, std::ostream& errors);

// After a backup: the thinning's exit code (0 or 1), or nothing when the
// job has no keep policy.
std::optional<int> ThinAfterBackup(const std::string& jobName, std::ostream& errors);

} // namespace rk
