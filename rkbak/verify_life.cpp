#include "rkbak/verify_life.h"

#include "app/main.h"
#include "core/report_lines.h"
#include "engine/backup_verification.h"
#include "engine/job.h"
#include "engine/job_copy.h"
#include "rkbak/named_job.h"

#include <ostream>

namespace rk {

int RunVerifyLife(const std::string& jobName, std::ostream& errors) {
    if (const std::optional<int> refused = RefuseUnknownJob(
            jobName, "/verify needs the name of a backup job, as in /verify/Weekly", errors))
        return *refused;
    NoProgress progress;
    const Installation installation = CurrentInstallation();
    const VerificationOutcome outcome =
        VerifyBackups(installation, Job(installation, jobName), progress);
    for (const VerifiedArchive& archive : outcome.details.failed)
        ReportLine(errors, "job \"" + jobName + "\": the backup " + archive.name +
                               " does not read back correctly: " + archive.reason);
    // A job with a copy elsewhere: the copy must hold what the archives hold.
    const Result<std::vector<CopyDifference>> copy = VerifyJobCopy(JobFolderOf(jobName), {});
    if (!copy)
        ReportLine(errors, "job \"" + jobName + "\": the copy cannot be checked: " + copy.reason());
    else
        for (const CopyDifference& difference : *copy)
            ReportLine(errors, "job \"" + jobName + "\": the copy of the backup " +
                                   difference.name + " on " +
                                   ReadCopyRecord(JobFolderOf(jobName)).remote + " " +
                                   difference.what);
    return outcome.status == RunStatus::Done && copy && copy->empty() ? app::ExitSuccess
                                                                      : app::ExitFailed;
}

} // namespace rk
