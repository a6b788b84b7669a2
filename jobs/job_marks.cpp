#include "jobs/job_marks.h"

#include "core/job_files.h"
#include "engine/last_backup.h"
#include "engine/skipped_run.h"
#include "jobs/job_information.h"
#include "schedule/schedule.h"
#include "schedule/schedule_record.h"
#include "ui/shown_time.h"

#include <algorithm>
#include <optional>

namespace rk::jobs {

namespace {

std::string Shown(const std::string& recorded) {
    const std::optional<std::time_t> when = RecordedTimeValue(recorded);
    return when ? ui::ShownDateTime(*when) : recorded;
}

std::string FileCount(long long count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

// The files a partial run left out, as many as were recorded by name.
std::string PartialText(const LastBackup& last) {
    const long long count =
        std::max(last.leftOutCount, static_cast<long long>(last.leftOut.size()));
    std::string text =
        "The last backup was made without " + FileCount(count) + (last.leftOut.empty() ? "." : ":");
    for (const std::string& name : last.leftOut)
        text += "\n" + name;
    if (count > static_cast<long long>(last.leftOut.size()))
        text +=
            "\nand " + FileCount(count - static_cast<long long>(last.leftOut.size())) + " more.";
    return text;
}

// Why a scheduled job is overdue, when it is: it has not made a backup for
// clearly longer than its schedule's period.
std::optional<std::string> OverdueText(const std::string& jobFolder,
                                       const std::optional<LastBackup>& last, std::time_t now) {
    const std::optional<schedule::ScheduleRecord> record = schedule::ReadScheduleRecord(jobFolder);
    if (!record || !record->schedule || record->schedule->frequency == schedule::Frequency::None)
        return std::nullopt;
    std::optional<std::time_t> since = last ? RecordedTimeValue(last->time) : std::nullopt;
    if (!since)
        since = record->installedAt;
    if (!since || !schedule::IsOverdue(*record->schedule, *since, now))
        return std::nullopt;
    return "Scheduled " + schedule::Describe(*record->schedule) +
           (last ? ", but the last backup was made " + ui::ShownDateTime(*since)
                 : ", but no backup has been made since " + ui::ShownDateTime(*since));
}

} // namespace

std::vector<JobMark> JobMarks(const std::string& jobName, std::time_t now) {
    const std::string jobFolder = JobFolderOf(jobName);
    const std::optional<LastBackup> last = ReadLastBackup(jobFolder);
    const std::optional<SkippedRun> skipped = ReadSkippedRun(jobFolder);
    std::vector<JobMark> marks;
    if (skipped && SkipIsNewer(*skipped, last))
        marks.push_back({JobMarkKind::Skipped, "The last backup was skipped " +
                                                   Shown(skipped->time) + ": " + skipped->reason});
    else if (last && last->outcome == "failed")
        marks.push_back({JobMarkKind::Failed, "The last backup failed: " + last->reason});
    else if (last && last->outcome == "partial")
        marks.push_back({JobMarkKind::Partial, PartialText(*last)});
    if (std::optional<std::string> overdue = OverdueText(jobFolder, last, now))
        marks.push_back({JobMarkKind::Overdue, std::move(*overdue)});
    return marks;
}

} // namespace rk::jobs
