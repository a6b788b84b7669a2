#pragma once
// The windowless consolidation "/c/START/END/FOLDER": the archives of the
// folder between the two dates are consolidated into one new archive and, once
// it is checked, deleted. Nothing is shown; what goes wrong goes to `errors`.

#include "engine/progress_display.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace rk::restore {

// 0 when the consolidation succeeded; 1 when it failed (nothing deleted) or
// some replaced backups could not be deleted; 2 for a date that is not a date
// or a folder that does not exist (nothing done). `progress` is the main
// window's status text and progress bar, loaded but not shown.
int RunConsolidateLife(std::string_view startDate, std::string_view endDate,
                       const std::string& sourceFolder, ProgressDisplay& progress,
                       std::ostream& errors);

} // namespace rk::restore
