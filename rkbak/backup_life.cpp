#include "rkbak/backup_life.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/text.h"
#include "engine/backup_run.h"
#include "jobs/job_store.h"

#include <ostream>

namespace rk {

int RunIncrementalBackupLife(const std::string& jobName, std::ostream& errors) {
    if (Trim(jobName).empty()) {
        errors << "rkbak: /ib needs the name of a backup job, as in /ib/Weekly\n";
        return app::ExitUnusable;
    }
    if (!JobExists(jobName)) {
        errors << "rkbak: there is no backup job named \"" << jobName << "\" in " << JobStoreFolder
               << '\n';
        return app::ExitUnusable;
    }
    const BackupOutcome outcome = RunBackup(1, jobName);
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
    errors << "rkbak: job \"" << jobName << "\": " << reason << '\n';
    return app::ExitFailed;
}

} // namespace rk
