#pragma once
// Restoring chosen versions into a folder that may hold files of the same
// names already. The unzip utility never replaces a file ("-o-"), so each
// archive's files are extracted into a private staging folder inside the
// destination and then put in place one by one, by the person's choice for
// a file that exists there now: keep both (the restored one takes a name
// with its backup's date), replace (the file there is kept aside until the
// whole restore has ended without error, then removed; put back when it
// fails or is cancelled) or skip.
//
// "Restore as it was" also needs the files of a folder that were not there
// at the point: FilesNotAtPoint finds them, RemoveRestoredExtras removes the
// ones the person agreed to.

#include "engine/job.h"
#include "engine/points_in_time.h"
#include "engine/run_result.h"

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace rk::restore {

enum class ExistingFiles { KeepBoth, Replace, Skip };

struct PlacedRestoreDetails {
    std::size_t placed = 0;   // restored where nothing was
    std::size_t keptBoth = 0; // restored beside a file of the same name
    std::size_t replaced = 0; // restored over a file kept aside, then removed
    std::size_t skipped = 0;  // not restored: a file of that name is there
    // Archives whose extraction left some files out.
    std::vector<std::string> incompleteArchives;
};
using PlacedRestoreResult = RunResult<PlacedRestoreDetails>;

// Called after each archive: how many of how many are done.
using ArchiveProgress = std::function<void(std::size_t done, std::size_t total)>;

// Restores `files` (each with its version) from the archives of `folder`
// into `destination` (Windows text, made when missing), newest archive
// first, with the job's passwords for encrypted archives. Done, Partial
// (some files could not be extracted), Failed, Refused or Cancelled (the
// person stopped the unzip utility through a ToolWatchScope); on Failed and
// Cancelled every replaced file is back where it was.
PlacedRestoreResult RestoreWithChoice(const Installation& installation, const std::string& folder,
                                      const PointsInTime& points,
                                      const std::vector<PresentFile>& files,
                                      const std::string& destination, ExistingFiles choice,
                                      const ArchiveProgress& progress = {});

// The name a restored file takes beside one of the same name: the backup's
// date and time before the extension ("f.txt" restored from the backup of
// "2026-12-09 14:00:00" is "f (2026-12-09 14-00-00).txt").
std::string KeptBothName(const std::string& fileName, const std::string& when);

// The files (and links) below `folders` of `destination` (listed names
// relative to it, "" for all of it) whose listed names are not among
// `present`, in name order: what "Restore as it was" removes. The run's own
// staging folders are never among them.
std::vector<std::string> FilesNotAtPoint(const std::string& destination,
                                         const std::vector<std::string>& folders,
                                         const std::set<std::string>& present);

// Removes those files (listed names relative to `destination`); the names
// that could not be removed.
std::vector<std::string> RemoveRestoredExtras(const std::string& destination,
                                              const std::vector<std::string>& names);

} // namespace rk::restore
