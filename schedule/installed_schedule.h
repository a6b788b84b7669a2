#pragma once
// A job's schedule as it is really installed: a systemd user timer and
// service in the user's unit folder, enabled through "systemctl --user", or,
// where systemd's user manager is not available, a marked line in the user's
// crontab. Nothing is kept elsewhere: reading always asks the timer or the
// crontab.

#include "schedule/schedule.h"
#include "schedule/systemd_units.h"

#include <ctime>
#include <optional>
#include <string>

namespace rk::schedule {

enum class Place { None, SystemdTimer, Crontab };

struct InstalledSchedule {
    Place place = Place::None;
    // Nothing when the timer or line was changed into a form not written here.
    std::optional<Schedule> schedule;
    // The OnCalendar= value or the crontab line, as installed.
    std::string installedText;
    std::string unitName; // the timer's unit name, for a systemd timer
    // For a systemd timer: whether the user manager reports it enabled.
    bool enabled = false;
    std::optional<std::time_t> nextRun;
    // When the timer file was last written, for a systemd timer.
    std::optional<std::time_t> installedAt;
    // What could not be asked, when something could not.
    std::string problem;
};

// The user's systemd unit folder: $XDG_CONFIG_HOME/systemd/user, else
// ~/.config/systemd/user.
std::string UnitFolder();

// Whether "systemctl --user" reaches a running user manager.
bool SystemdUserManagerAvailable();

// Reads the job's installed schedule. Without `askScheduler` only the unit
// folder is read (no program is started: what the job list needs).
InstalledSchedule ReadInstalledSchedule(const std::string& jobName, bool askScheduler = true);

// Installs the schedule for the job (none removes it), replacing what was
// installed before; the reason when it could not be done.
std::optional<std::string> InstallSchedule(const std::string& jobName, const Schedule& schedule,
                                           const BackupCommand& command);

// What this installation's timer or crontab line runs: the rkbak beside the
// running program, with the drive map in use (RAVELKEEP_DRIVES) when one is.
BackupCommand ThisInstallation();

// The installed schedule as the window tells it: how often it runs and
// where it is installed, what stops it from running, and the next run.
std::string InstalledScheduleText(const InstalledSchedule& installed);

// Removes the job's timer, service and crontab line, whichever exist; the
// reason when one of them could not be removed.
std::optional<std::string> RemoveSchedule(const std::string& jobName);

} // namespace rk::schedule
