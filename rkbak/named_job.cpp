#include "rkbak/named_job.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "core/text.h"
#include "jobs/job_store.h"

#include <ostream>

namespace rk {

std::optional<int> RefuseUnknownJob(const std::string& jobName, std::string_view noNameLine,
                                    std::ostream& errors) {
    if (Trim(jobName).empty()) {
        ReportLine(errors, noNameLine);
        return app::ExitUnusable;
    }
    if (!JobExists(jobName)) {
        ReportLine(errors, "there is no backup job named \"" + jobName + "\" in " + JobStoreFolder);
        return app::ExitUnusable;
    }
    return std::nullopt;
}

} // namespace rk
