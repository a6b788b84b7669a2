#pragma once
// The crontab lines of a job where systemd's user manager is not available:
// the one that runs its incremental backup, and its retry, every 15 minutes,
// that makes the backup only when the last run was skipped for a backup disk
// not connected. Both are marked, found again by their markers and removed
// together; only the first is read back as the job's schedule.

#include "schedule/schedule.h"
#include "schedule/systemd_units.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::schedule {

// The comment that ends the job's line: " # ravelkeep-backup-<escaped name>".
std::string CrontabMarker(std::string_view jobName);

// The comment that ends the retry's line: " # ravelkeep-retry-<escaped name>".
std::string CrontabRetryMarker(std::string_view jobName);

// The line (without its line end). The command runs marked as unattended
// (RAVELKEEP_UNATTENDED=1); it is quoted for the shell cron hands it to, '%'
// escaped for cron itself.
std::string CrontabLine(std::string_view jobName, const Schedule& schedule,
                        const BackupCommand& command);

// The retry's line: "*/15 * * * *", the same command marked as unattended and
// as a retry (RAVELKEEP_RETRY=1).
std::string CrontabRetryLine(std::string_view jobName, const BackupCommand& command);

// The crontab with the job's lines (its schedule and its retry) removed and
// the new lines appended.
std::string CrontabWith(std::string_view crontab, std::string_view jobName,
                        const std::vector<std::string>& newLines);

// The job's line in the crontab, when there is one.
std::optional<std::string> FindCrontabLine(std::string_view crontab, std::string_view jobName);

// The schedule a crontab line gives when its times are one of the forms
// CrontabLine writes; nothing otherwise.
std::optional<Schedule> ScheduleOfCrontabLine(std::string_view line);

// A word quoted for the shell in single quotes.
std::string ShellQuoted(std::string_view word);

} // namespace rk::schedule
