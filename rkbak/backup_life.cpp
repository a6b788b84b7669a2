#include "rkbak/backup_life.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "core/text.h"
#include "engine/backup_run.h"
#include "jobs/job_store.h"

#include <ostream>

namespace rk {

int RunIncrementalBackupLife(const std::string& jobName, std::ostream& errors) {
    if (Trim(jobName).empty()) {
        ReportLine(errors, "/ib needs the name of a backup job, as in /ib/Weekly");
        return app::ExitUnusable;
    }
    if (!JobExists(jobName)) {
        ReportLine(errors, "there is no backup job named \"" + jobName + "\" in " + JobStoreFolder);
        return app::ExitUnusable;
    }
    const BackupOutcome outcome = RunBackup(BackupMode::Incremental, jobName);
    switch (outcome.status) {
    case BackupStatus::Made:
        return app::ExitSuccess;
    case BackupStatus::MadeWithUnreadableFiles:
    case BackupStatus::Failed:
        break;
    }
    // The zip utility's lines have reached standard error already; they are
    // not said twice.
    std::string reason = outcome.ownReason;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    ReportLine(errors, "job \"" + jobName + "\": " + reason);
    return app::ExitFailed;
}

} // namespace rk
