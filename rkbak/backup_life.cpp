#include "rkbak/backup_life.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "core/text.h"
#include "engine/backup_run.h"
#include "engine/last_backup.h"
#include "engine/skipped_run.h"
#include "jobs/job_store.h"
#include "platform/absent_disk.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "rkbak/named_job.h"

#include <ctime>
#include <ostream>
#include <sys/stat.h>

namespace rk {

namespace {

// A folder's host path without the separator at its end.
std::optional<std::string> HostFolder(const std::string& windowsPath) {
    std::optional<std::string> host = platform::ToHostPath(windowsPath);
    while (host && host->size() > 1 && host->back() == '/')
        host->pop_back();
    return host;
}

// A folder, links followed.
bool IsHostFolder(const std::string& hostPath) {
    struct stat info {};
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string NowRecorded() {
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    return RecordedTime(local);
}

} // namespace

std::string DiskNotConnectedText(const std::string& jobName, const std::string& hostPath) {
    return "The backup disk for \"" + jobName + "\" (" + hostPath +
           ") is not connected; the backup runs when it is.";
}

std::optional<std::string> FolderOnDiskNotConnected(const std::string& jobName) {
    if (Trim(jobName).empty() || Trim(JobStoreFolder).empty())
        return std::nullopt;
    std::optional<std::string> store = HostFolder(JobStoreFolder);
    if (!store)
        return std::nullopt;
    if (!IsHostFolder(*store)) {
        if (platform::AbsentDiskMountPointHere(*store))
            return store;
        return std::nullopt;
    }
    // A name that cannot be a job's is never looked for on a disk.
    if (jobName.find_first_of(RefusedJobNameCharacters) != std::string::npos || jobName == "." ||
        jobName == "..")
        return std::nullopt;
    // The job's folder may be a link to a folder on the disk.
    std::optional<std::string> job = HostFolder(JobStoreFolder + jobName);
    if (job && platform::AbsentDiskMountPointHere(*job))
        return job;
    return std::nullopt;
}

std::optional<int> AnswerBeforeIncrementalBackup(const std::string& jobName, bool retry,
                                                 std::ostream& errors,
                                                 const DesktopNotice& notify) {
    const std::string jobFolder = JobStoreFolder + jobName;
    if (retry && !ReadSkippedRun(jobFolder))
        return app::ExitSuccess;
    const std::optional<std::string> missing = FolderOnDiskNotConnected(jobName);
    if (!missing)
        return std::nullopt;
    const std::string line = DiskNotConnectedText(jobName, *missing);
    ReportLine(errors, line);
    // The user was told when the scheduled run was skipped.
    if (retry)
        return app::ExitFailed;
    if (!RecordSkippedRun(jobFolder, {NowRecorded(), line, *missing}))
        ReportLine(errors, "the skipped run could not be recorded in " + SkippedRunFolder());
    if (notify)
        notify("The backup disk for \"" + jobName + "\" is not connected", line);
    return app::ExitFailed;
}

int RunIncrementalBackupLife(const std::string& jobName, std::ostream& errors) {
    if (const std::optional<int> refused = RefuseUnknownJob(
            jobName, "/ib needs the name of a backup job, as in /ib/Weekly", errors))
        return *refused;
    // The run goes ahead: a skip recorded earlier is made up for now.
    ClearSkippedRun(JobStoreFolder + jobName);
    const BackupOutcome outcome = RunBackup(BackupMode::Incremental, jobName);
    if (outcome.status == RunStatus::Done)
        return app::ExitSuccess;
    // The zip utility's lines have reached standard error already; they are
    // not said twice.
    std::string reason = outcome.details.ownReason;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    ReportLine(errors, "job \"" + jobName + "\": " + reason);
    return app::ExitFailed;
}

} // namespace rk
