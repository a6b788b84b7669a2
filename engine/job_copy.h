#pragma once
// A job's copy on other storage, kept up to date through rclone: after every
// run that gives the job's folder an archive (a backup, a consolidation, a
// thinning) and on Copy Now, every archive the copy lacks is sent and
// checked, then the record of what has been backed up (".rkzip-state") and
// the job's settings files, so a job brought back can go on with
// incremental runs; then, and only when everything was sent and checked,
// the archives a checked consolidation or thinning replaced here are deleted
// from the copy. A run that cannot send everything records the copy as
// pending (engine/copy_record.h) and the next one sends what is missing.
//
// And the way back: the jobs a copy holds, and one of them downloaded into
// the job store, checked against the copy.

#include "engine/copy_record.h"
#include "engine/copy_target.h"
#include "engine/offsite_copy.h"
#include "engine/rclone_run.h"
#include "platform/result.h"

#include <ctime>
#include <string>
#include <vector>

namespace rk {

struct CopyEnd {
    bool configured = false; // the job has a copy set ("remote" of section "copy")
    bool complete = false;   // everything is on the copy and checked
    bool cancelled = false;  // the person stopped it
    std::string remote;      // the setting as written
    std::string reason;      // why the copy is pending, when it is
    std::vector<std::string> sent;
    std::vector<std::string> deleted;

    // "Copy to REMOTE pending: REASON", empty when nothing is pending.
    std::string PendingLine() const;
};

// Brings the copy of the job in `jobFolder` (Windows text) up to date and
// records the outcome at `now`. A job without a copy set does nothing.
CopyEnd CopyJob(const std::string& jobFolder, const CopyWatch& watch, std::time_t now);

// The local archives compared with the copy (read back whole where the
// storage gives no MD5 sums). Nothing when the job has no copy set.
[[nodiscard]] Result<std::vector<CopyDifference>> VerifyJobCopy(const std::string& jobFolder,
                                                                const CopyWatch& watch);

// The jobs the folder of the copy holds: its subfolders with a "rkjob.ini".
[[nodiscard]] Result<std::vector<std::string>> ListJobsOnCopy(const CopyTarget& folder);

// Downloads the job `name` of the copy's folder into the job store
// `jobStore` (Windows text, with its trailing backslash): into a new private
// folder first, checked against the copy, then given the job's name, its
// copy setting pointing at where it came from. A job store that has a job
// or folder of that name already is left alone.
[[nodiscard]] Result<void> FetchJob(const CopyTarget& folder, const std::string& name,
                                    const std::string& jobStore, const CopyWatch& watch);

} // namespace rk
