#pragma once
// A scheduled backup that did not run because the disk holding the job store
// was not connected. The job folder is on that disk, so the record is kept in
// the user's state folder ($XDG_STATE_HOME/ravelkeep, else
// ~/.local/state/ravelkeep), one small file per job folder. The window shows
// it, and the schedule's retry makes the backup once the disk is back.

#include <optional>
#include <string>

namespace rk {

struct SkippedRun {
    std::string time;     // "yyyy-mm-dd hh:nn:ss", local time, as RecordedTime writes it
    std::string reason;   // the line the run told the user
    std::string hostPath; // the missing folder as the operating system names it
};

// The folder the records are kept in, host path (not made).
std::string SkippedRunFolder();

// Records (replacing an earlier record) that the run of the job in
// `jobFolder` (Windows text, as JobStoreFolder + name) was skipped. False
// when the record could not be written.
bool RecordSkippedRun(const std::string& jobFolder, const SkippedRun& skipped);

// The job's skip record, when its last scheduled run was skipped.
std::optional<SkippedRun> ReadSkippedRun(const std::string& jobFolder);

// Removes the job's skip record, when there is one (a run of the job went
// ahead).
void ClearSkippedRun(const std::string& jobFolder);

} // namespace rk
