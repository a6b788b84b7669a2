#pragma once
// The windowless verification of one job ("/verify/NAME"): every archive of
// the job read back, for schedulers.

#include <iosfwd>
#include <string>

namespace rk {

// 0 when every archive reads back, 1 when one does not (each named on
// `errors` with the reason), 2 when there is no such job.
int RunVerifyLife(const std::string& jobName, std::ostream& errors);

} // namespace rk
