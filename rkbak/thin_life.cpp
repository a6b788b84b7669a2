#include "rkbak/thin_life.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "engine/job.h"
#include "engine/keep_policy.h"
#include "restore/thinning_run.h"
#include "rkbak/named_job.h"

#include <ostream>

namespace rk {

namespace {

int Thin(const std::string& jobName, std::ostream& errors) {
    NoProgress progress;
    const Installation installation = CurrentInstallation();
    const restore::ThinningEnd end =
        restore::ThinJob(installation, Job(installation, jobName), progress, restore::LocalToday());
    if (!end.Failed())
        return app::ExitSuccess;
    ReportLines(errors, "job \"" + jobName + "\": the thinning " +
                            (end.record.outcome == "incomplete" ? "is incomplete" : "failed") +
                            ": " + end.record.reason);
    return app::ExitFailed;
}

} // namespace

int RunThinLife(const std::string& jobName, std::ostream& errors) {
    if (const std::optional<int> refused = RefuseUnknownJob(
            jobName, "/thin needs the name of a backup job, as in /thin/Weekly", errors))
        return *refused;
    if (!ReadKeepPolicy(Job(CurrentInstallation(), jobName))) {
        ReportLine(errors, "job \"" + jobName +
                               "\" has no keep policy: it keeps every backup (choose one with "
                               "Keep... in the Job menu)");
        return app::ExitUnusable;
    }
    return Thin(jobName, errors);
}

std::optional<int> ThinAfterBackup(const std::string& jobName, std::ostream& errors) {
    if (!ReadKeepPolicy(Job(CurrentInstallation(), jobName)))
        return std::nullopt;
    return Thin(jobName, errors);
}

} // namespace rk
