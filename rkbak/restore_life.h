#pragma once
// The windowless restore of a point in time ("/restore/JOB/ARCHIVE/DESTINATION"):
// the whole job as it was when ARCHIVE was made, deleted files left out,
// into DESTINATION, for scripts.

#include <iosfwd>
#include <string>

namespace rk {

// 0 when every file of that point was restored; 1 when the restore failed or
// some files could not be restored (each named on `errors`); 2 when there is
// no such job or backup, or the destination cannot be used (nothing done).
int RunRestoreLife(const std::string& jobName, const std::string& archiveName,
                   const std::string& destination, std::ostream& errors);

} // namespace rk
