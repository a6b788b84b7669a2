#include "rkbak/restore_life.h"

#include "app/main.h"
#include "core/report_lines.h"
#include "engine/job.h"
#include "restore/run/point_restore.h"
#include "rkbak/named_job.h"

#include <ostream>

namespace rk {

int RunRestoreLife(const std::string& jobName, const std::string& archiveName,
                   const std::string& destination, std::ostream& errors) {
    constexpr std::string_view usage =
        "/restore needs a job, a backup and a destination folder, as in "
        "/restore/Weekly/rk_2026_12_09_14_00_00.zip/C:\\Restored";
    if (const std::optional<int> refused = RefuseUnknownJob(jobName, usage, errors))
        return *refused;
    if (archiveName.empty() || destination.empty()) {
        ReportLine(errors, std::string(usage));
        return app::ExitUnusable;
    }
    const Installation installation = CurrentInstallation();
    const Job job(installation, jobName);
    const restore::PointRestoreResult result =
        restore::RestorePointInTime(installation, job.folder(), archiveName, destination);
    if (result.status == RunStatus::Done)
        return app::ExitSuccess;
    for (const auto& line : result.utilityLines)
        ReportLine(errors, line);
    ReportLine(errors, "job \"" + jobName + "\": " + result.reason);
    return result.status == RunStatus::Refused ? app::ExitUnusable : app::ExitFailed;
}

} // namespace rk
