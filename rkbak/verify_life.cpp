#include "rkbak/verify_life.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "core/text.h"
#include "engine/backup_verification.h"
#include "jobs/job_store.h"

#include <ostream>

namespace rk {

int RunVerifyLife(const std::string& jobName, std::ostream& errors) {
    if (Trim(jobName).empty()) {
        ReportLine(errors, "/verify needs the name of a backup job, as in /verify/Weekly");
        return app::ExitUnusable;
    }
    if (!JobExists(jobName)) {
        ReportLine(errors, "there is no backup job named \"" + jobName + "\" in " + JobStoreFolder);
        return app::ExitUnusable;
    }
    NoProgress progress;
    const Installation installation = CurrentInstallation();
    const VerificationOutcome outcome =
        VerifyBackups(installation, Job(installation, jobName), progress);
    for (const VerifiedArchive& archive : outcome.failed)
        ReportLine(errors, "job \"" + jobName + "\": the backup " + archive.name +
                               " does not read back correctly: " + archive.reason);
    return outcome.failed.empty() ? app::ExitSuccess : app::ExitFailed;
}

} // namespace rk
