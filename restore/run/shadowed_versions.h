#pragma once
// Consolidating a range never loses a version because a name changed kind.
// Extracting newest first, a file that a newer archive replaced by a folder of
// the same name (or a folder replaced by a file or link) is passed over as
// "exists already". Such a file is kept all the same: taken from the newest
// archive of the range that holds it and put into the extraction folder
// under a name whose clashing part carries that archive's date and time,
// "notes~2026_12_01_10_00_00" for the file "notes" of
// rk_2026_12_01_10_00_00.zip, or "notes~2026_12_01_10_00_00\a.txt" for a file
// below a folder "notes" that is a file now. Removing "~" and the stamp gives
// the name back.

#include "engine/job.h"
#include "platform/result.h"

#include <string>
#include <vector>

namespace rk::restore {

// `archivePaths` are the range's archives, newest first; `workFolder` is a
// folder beside the extraction folder that this step may make and removes
// again; `listingPath` and `listPath` are the listing and list files it
// may use. Gives the names given to the versions kept, in listed form (none
// when every file the archives hold is in the extraction folder), or why a
// version could not be kept.
[[nodiscard]] Result<std::vector<std::string>>
KeepShadowedVersions(const Installation& installation, const std::vector<std::string>& archivePaths,
                     const std::string& extractionFolder, const std::string& workFolder,
                     const std::string& listingPath, const std::string& listPath);

} // namespace rk::restore
