#pragma once
// What the Schedule dialog installed for a job, kept in section "schedule" of
// the job's "rkjob.ini": where (a systemd timer or a crontab line), the
// schedule, the calendar as installed and when it was installed. The main
// window reads its "Schedule:" line and the overdue mark from here, for
// timers and crontab lines alike, without starting a program; the dialog
// compares it with what is really installed each time it opens.

#include "schedule/installed_schedule.h"

#include <ctime>
#include <optional>
#include <string>

namespace rk::schedule {

struct ScheduleRecord {
    Place place = Place::None;
    // Nothing when the installed schedule was changed by hand into another
    // form.
    std::optional<Schedule> schedule;
    // The timer's OnCalendar= value, or the five time fields of the crontab
    // line.
    std::string calendar;
    std::optional<std::time_t> installedAt;
};

// The record of a schedule just installed in `place` at `now`.
ScheduleRecord RecordOfInstall(Place place, const Schedule& schedule, std::time_t now);

// The record of what is installed; `installedAt` when the installation does
// not tell (a crontab line).
ScheduleRecord RecordOfInstalled(const InstalledSchedule& installed,
                                 std::optional<std::time_t> installedAt);

// Whether the record names the same place, schedule and calendar.
bool SameSchedule(const ScheduleRecord& recorded, const ScheduleRecord& installed);

// Replaces the job's record (`jobFolder` as JobStoreFolder + name).
void WriteScheduleRecord(const std::string& jobFolder, const ScheduleRecord& record);

// The job's record, when a schedule is recorded.
std::optional<ScheduleRecord> ReadScheduleRecord(const std::string& jobFolder);

// Removes the job's record, when there is one.
void RemoveScheduleRecord(const std::string& jobFolder);

} // namespace rk::schedule
