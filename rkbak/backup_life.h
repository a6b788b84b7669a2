#pragma once
// The windowless incremental backup of one job ("/ib/NAME"), for schedulers.

#include <iosfwd>
#include <string>

namespace rk {

// Backs the job up; 0 when the archive was made, 1 when the run failed or
// some files could not be read, 2 when there is no such job. Every problem is
// one line on `errors`.
int RunIncrementalBackupLife(const std::string& jobName, std::ostream& errors);

} // namespace rk
