#pragma once
// The marks of a job in the main window's job list: its last backup failed,
// was made without some files, was skipped because its backup disk was not
// connected, or the job is scheduled and overdue. Each has its own tooltip
// text; a cancelled run is no mark.

#include <ctime>
#include <string>
#include <vector>

namespace rk::jobs {

enum class JobMarkKind { Failed, Partial, Skipped, Overdue };

struct JobMark {
    JobMarkKind kind;
    std::string text; // the tooltip's text
};

// The job's marks at `now`, the weightiest first: read from its last backup
// record, its skip record and its schedule record (a schedule installed as a
// timer or as a crontab line), so no program is started.
std::vector<JobMark> JobMarks(const std::string& jobName, std::time_t now);

} // namespace rk::jobs
