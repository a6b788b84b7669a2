#pragma once
// The windowless consolidation "/c/START/END/FOLDER": the archives of the
// folder between the two dates are consolidated into one new archive and, once
// it is checked, deleted. Nothing is shown; what goes wrong goes to `errors`.

#include <iosfwd>
#include <string>
#include <string_view>

namespace rk::restore {

// 0 when the consolidation succeeded; 1 when it failed (nothing deleted) or
// some replaced backups could not be deleted; 2 for a date that is not a date
// or a folder that does not exist (nothing done). No window is made: the
// run is built from the command line's values and runs silently, into a new
// folder of the temporary folder that is removed when it ends (kept, and
// named, only when it holds the only sound copy of a backup's files).
int RunConsolidateLife(std::string_view startDate, std::string_view endDate,
                       const std::string& sourceFolder, std::ostream& errors);

} // namespace rk::restore
