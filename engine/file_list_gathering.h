#pragma once
// The file picker's gathering step: each archive of the range is listed by the
// unzip utility into the listing file, and the listings are merged into one
// list of distinct names, with status text and progress in the main window.

#include "engine/archive_listing.h"
#include "engine/job.h"
#include "engine/progress_display.h"
#include "engine/run_result.h"

#include <string>
#include <vector>

namespace rk {

// What the gathering adds to its RunResult. Its status: Done when every
// archive was listed and merged, Failed at the first archive whose listing
// could not be made (the reason says why).
struct GatherDetails {
    // The archive whose listing could not be made.
    std::string failedArchive;
};

using GatherOutcome = RunResult<GatherDetails>;

// Lists the archives (names in `sourceFolder`, oldest first) one after the
// other into `listingPath` and merges them into `files`. Stops at the first
// archive whose listing cannot be made.
GatherOutcome GatherFileLists(const Installation& installation, const std::string& sourceFolder,
                              const std::vector<std::string>& archiveNames,
                              const std::string& listingPath, ProgressDisplay& progress,
                              MergedFileList& files);

} // namespace rk
