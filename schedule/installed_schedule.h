#pragma once
// A job's schedule as it is really installed: a systemd user timer and
// service in the user's unit folder, enabled through "systemctl --user", or,
// where systemd's user manager is not available and the user chose it, a
// marked line in the user's crontab. Beside either, a retry (a second timer
// or line, every 15 minutes) makes a backup that was skipped because its disk
// was not connected. Reading always asks the timer or the crontab; the
// record the window reads is in schedule/schedule_record.h.

#include "platform/result.h"
#include "schedule/schedule.h"
#include "schedule/systemd_units.h"

#include <ctime>
#include <functional>
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

// Whether "systemctl" and "crontab" are there to be run.
bool SystemctlInstalled();
bool CrontabInstalled();

// Where a schedule can be installed now: a systemd timer when the user
// manager runs, else a crontab line when crontab is there, else nowhere.
// `managerNotRunning` when systemctl is installed but its user manager is not
// running: the user then chooses the crontab line explicitly.
struct PlaceChoice {
    Place place = Place::None;
    bool managerNotRunning = false;
};
PlaceChoice AvailablePlace();

// Reads the job's installed schedule. Without `askScheduler` only the unit
// folder is read (no program is started: what the job list needs).
InstalledSchedule ReadInstalledSchedule(const std::string& jobName, bool askScheduler = true);

// Installs the schedule for the job in `place` (a schedule of none removes
// it), with its retry, replacing what was installed before in either place;
// the reason when it could not be done (a systemd timer needs a running user
// manager, a crontab line needs crontab).
[[nodiscard]] Result<void> InstallSchedule(const std::string& jobName, const Schedule& schedule,
                                           const BackupCommand& command, Place place);

// What this installation's timer or crontab line runs: the rkbak beside the
// running program, with the drive map in use (RAVELKEEP_DRIVES) when one is.
BackupCommand ThisInstallation();

// The installed schedule as the window tells it: how often it runs and
// where it is installed, what stops it from running, and the next run,
// written by `shownTime` (the window passes the form of its other dates).
std::string
InstalledScheduleText(const InstalledSchedule& installed,
                      const std::function<std::string(std::time_t)>& shownTime = ShownTime);

// Removes the job's timers, services, their links and crontab lines (the
// schedule's and the retry's), whichever exist; the reason when one of them
// could not be removed.
[[nodiscard]] Result<void> RemoveSchedule(const std::string& jobName);

} // namespace rk::schedule
