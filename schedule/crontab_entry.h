#pragma once
// The one crontab line that runs a job's incremental backup where systemd's
// user manager is not available: written, found again by its marker, read
// back and removed.

#include "schedule/schedule.h"
#include "schedule/systemd_units.h"

#include <optional>
#include <string>
#include <string_view>

namespace rk::schedule {

// The comment that ends the job's line: " # ravelkeep-backup-<escaped name>".
std::string CrontabMarker(std::string_view jobName);

// The line (without its line end). The command is quoted for the shell cron
// hands it to, '%' escaped for cron itself.
std::string CrontabLine(std::string_view jobName, const Schedule& schedule,
                        const BackupCommand& command);

// The crontab with the job's lines removed (and, when given, its new line
// appended).
std::string CrontabWith(std::string_view crontab, std::string_view jobName,
                        const std::optional<std::string>& newLine);

// The job's line in the crontab, when there is one.
std::optional<std::string> FindCrontabLine(std::string_view crontab, std::string_view jobName);

// The schedule a crontab line gives when its times are one of the forms
// CrontabLine writes; nothing otherwise.
std::optional<Schedule> ScheduleOfCrontabLine(std::string_view line);

// A word quoted for the shell in single quotes.
std::string ShellQuoted(std::string_view word);

} // namespace rk::schedule
