#pragma once
// One backup run of one job: a root backup (every file of the job's source
// folders) or an incremental backup (the files changed since), made by the zip
// utility into a new archive "rk_yyyy_mm_dd_hh_nn_ss.zip" in the job folder.

#include "engine/backup_mode.h"
#include "engine/run_result.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct Installation;
class Job;

// What a backup run adds to its RunResult. Its status: Done when the
// archive holds every file, Partial when it was made but some files could
// not be read, Failed when no archive was made, Cancelled when the person
// stopped it (no archive was made).
struct BackupDetails {
    std::string archiveName;
    // The reason without the zip utility's own lines, for a caller whose
    // standard error shows those lines already (they pass through).
    std::string ownReason;
    // For an archive made without some files: the first files left out, as
    // the zip utility named them (at most kMostNamedLeftOut), and how many
    // were left out in all.
    std::vector<std::string> leftOut;
    long long leftOutCount = 0;
};

using BackupOutcome = RunResult<BackupDetails>;

// The most files left out that a run's record and notification name.
inline constexpr std::size_t kMostNamedLeftOut = 10;

// "rk_" + the local date and time as "yyyy_mm_dd_hh_nn_ss" + ".zip".
std::string BackupArchiveName(const std::tm& localTime);

// A line of the source list file: the folder trimmed, one backslash, "*.*".
std::string SourceListLine(std::string_view folderValue);

// Runs the backup of the job with the installation's zip utility, its list
// file in the installation's program folder (else the temporary folder), and
// records its end with the job. Records the archive as the job's "rootbk"
// after a root backup that made it.
BackupOutcome RunBackup(const Installation& installation, const Job& job, BackupMode mode);

// The same run of the job `jobName` of the installation the program-wide
// values name.
BackupOutcome RunBackup(BackupMode mode, const std::string& jobName);

} // namespace rk
