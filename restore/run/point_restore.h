#pragma once
// Restoring files as they were at a point in time: each file's chosen
// version is extracted from the archive holding it, archives newest first,
// with the restore run's extraction command lines (an "@" list of the
// archive's files, "-o-": a file that exists already is never replaced).
// "rkbak /restore" restores the whole tree of a point this way; the restore
// window restores its selection, any version of any file, the same way.

#include "engine/job.h"
#include "engine/points_in_time.h"
#include "engine/run_result.h"

#include <string>
#include <utility>
#include <vector>

namespace rk::restore {

struct PointRestoreDetails {
    std::size_t filesAsked = 0;
    // Archives whose extraction left some files out (the unzip utility
    // named each on its error output).
    std::vector<std::string> incompleteArchives;
};
using PointRestoreResult = RunResult<PointRestoreDetails>;

// Extracts `files` (each with the version to restore) from the archives of
// `folder` that `points` describes into `destination` (Windows text of a
// folder, made when missing). Done when every archive extracted all its
// files; Partial when some files could not be; Failed when an extraction
// failed or nothing could be written (also when the job's passwords cannot
// be had for an encrypted archive); Refused when a path cannot go into a
// command line or the destination cannot be made; Cancelled when the person
// stopped the unzip utility (ToolWatchScope).
PointRestoreResult RestoreVersions(const Installation& installation, const std::string& folder,
                                   const PointsInTime& points,
                                   const std::vector<PresentFile>& files,
                                   const std::string& destination);

// As RestoreVersions, with the passwords the caller's ToolPasswordScope
// holds (none looked up): for a run that extracts several times with one
// lookup.
PointRestoreResult ExtractVersions(const Installation& installation, const std::string& folder,
                                   const PointsInTime& points,
                                   const std::vector<PresentFile>& files,
                                   const std::string& destination);

// A run that left some backups' files out ends Partial, naming those
// backups, with the utility's lines that said why.
template <typename RestoreResult>
void MarkIncomplete(RestoreResult& result, std::vector<std::string>&& lines) {
    if (result.details.incompleteArchives.empty())
        return;
    result.status = RunStatus::Partial;
    result.reason = "Some files could not be restored from the backup";
    result.reason += result.details.incompleteArchives.size() == 1 ? " " : "s ";
    for (std::size_t i = 0; i < result.details.incompleteArchives.size(); ++i)
        result.reason += (i == 0 ? "" : ", ") + result.details.incompleteArchives[i];
    result.reason += ".";
    result.utilityLines = std::move(lines);
}

// The paths (Windows text) of the archives holding the versions of `files`,
// oldest first, each once.
std::vector<std::string> ArchivePathsOf(const std::string& folder, const PointsInTime& points,
                                        const std::vector<PresentFile>& files);

// The whole tree of the job folder `folder` as it was when `archiveName`
// was made, into `destination`: Refused when the folder has no archive of
// that name; else as RestoreVersions.
PointRestoreResult RestorePointInTime(const Installation& installation, const std::string& folder,
                                      const std::string& archiveName,
                                      const std::string& destination);

} // namespace rk::restore
