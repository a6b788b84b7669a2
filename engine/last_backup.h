#pragma once
// The end of a job's last backup run, from the window or from "rkbak /ib",
// kept in its own section "lastbackup" of the job's "rkjob.ini": when it
// ended, root or incremental, its outcome, the archive and the reason.

#include "engine/backup_mode.h"
#include "engine/backup_run.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct LastBackup {
    std::string time;    // "yyyy-mm-dd hh:nn:ss", local time
    std::string mode;    // "root" or "incremental"
    std::string outcome; // "made", "partial", "failed" or "cancelled"
    std::string archive; // the archive's name
    std::string reason;  // the reason on one line (OneLineReason), when there is one
    // For "partial": the first files left out ("left1".."left10") and how
    // many were left out in all ("leftcount").
    std::vector<std::string> leftOut;
    long long leftOutCount = 0;
};

// Records the outcome of a run of the job in `jobFolder` that ended at
// `ended`; a job whose folder does not exist records nothing.
void RecordLastBackup(const std::string& jobFolder, BackupMode mode, const BackupOutcome& outcome,
                      const std::tm& ended);

// A reason of several lines as the record keeps it, on one line: the lines
// without blanks at their ends, joined by a blank after a line that ends in
// ":", else by "; ".
std::string OneLineReason(std::string_view reason);

// What a person is told about a recorded run: its reason; for a partial run
// whose left-out files are named, the archive, how many were left out and
// the names, one a line.
std::string LastBackupDetail(const LastBackup& last);

// A local time as these records write it: "yyyy-mm-dd hh:nn:ss".
std::string RecordedTime(const std::tm& local);

// The moment a recorded local time stands for, or nothing when the text is
// not in that form.
std::optional<std::time_t> RecordedTimeValue(const std::string& recorded);

// The last run recorded in the job folder, or nothing.
std::optional<LastBackup> ReadLastBackup(const std::string& jobFolder);

} // namespace rk
