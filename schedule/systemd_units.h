#pragma once
// The systemd user timer and service that run a job's incremental backup:
// their names, escaped for any job name, their text, and the schedule read
// back from an installed timer.

#include "platform/result.h"
#include "schedule/schedule.h"

#include <optional>
#include <string>
#include <string_view>

namespace rk::schedule {

// What the service runs: this installation's program and, when one is set,
// its drive map.
struct BackupCommand {
    std::string programHostPath; // absolute host path of rkbak
    std::string driveMap;        // RAVELKEEP_DRIVES, empty when not set
};

// The job name escaped as systemd-escape does (bytes other than ASCII
// letters, digits, ':', '_' and a '.' that does not lead become "\xNN"), so
// "-Weekly" gives "\x2dWeekly"; the unit's base name is
// "ravelkeep-backup-" followed by it.
std::string UnitBaseName(std::string_view jobName);

// Whether a job name can be given a schedule, or why not (control
// characters, bytes that are not UTF-8, or a unit name longer than systemd
// allows).
[[nodiscard]] Result<void> CheckScheduleName(std::string_view jobName);

// The retry's units are named "ravelkeep-retry-" followed by the escaped
// name: a second timer that starts the same backup every 15 minutes, which
// goes ahead only when the job's last run was skipped for a backup disk that
// was not connected.
std::string RetryUnitBaseName(std::string_view jobName);

// The service runs the backup marked as unattended (RAVELKEEP_UNATTENDED=1),
// so it shows nothing and waits for no one.
std::string ServiceText(std::string_view jobName, const BackupCommand& command);
std::string TimerText(std::string_view jobName, const Schedule& schedule);

// The retry's service: the same command, marked as unattended and as a retry
// (RAVELKEEP_RETRY=1).
std::string RetryServiceText(std::string_view jobName, const BackupCommand& command);
// The retry's timer: every 15 minutes, without catching up missed runs.
std::string RetryTimerText(std::string_view jobName);

// The retry timer's OnCalendar= value.
inline constexpr const char* kRetryCalendar = "*-*-* *:00/15:00";

// The OnCalendar= value for a schedule, as TimerText writes it.
std::string CalendarExpression(const Schedule& schedule);

// The schedule an installed timer file gives, when it is one of the forms
// TimerText writes (or systemd's "hourly", "daily" and "weekly"); nothing for
// a timer changed into another form.
std::optional<Schedule> ScheduleOfTimer(std::string_view timerText);

// A value in systemd's double-quoted form: '\' and '"' escaped, '%' doubled
// for the specifier expansion and, when `forCommand`, '$' doubled for the
// variable expansion of command lines.
std::string QuotedUnitValue(std::string_view value, bool forCommand);

} // namespace rk::schedule
