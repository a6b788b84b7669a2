#include "schedule/installed_schedule.h"

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/host_program.h"
#include "platform/system_folders.h"
#include "schedule/crontab_entry.h"
#include "schedule/next_elapse.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::schedule {

namespace {

using platform::ProcessOutcome;
using platform::RunHostProgram;

ProcessOutcome Systemctl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"systemctl", "--user"});
    return RunHostProgram(arguments);
}

// The first line a program wrote to say why it failed.
std::string Complaint(const ProcessOutcome& outcome) {
    if (!outcome.started)
        return outcome.startError;
    if (!outcome.endError.empty())
        return outcome.endError;
    std::string text = outcome.err.empty() ? outcome.out : outcome.err;
    const std::size_t end = text.find('\n');
    if (end != std::string::npos)
        text.erase(end);
    if (text.empty())
        text = "exit code " + std::to_string(outcome.exitCode);
    return text;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// One timer and its service in the unit folder.
struct UnitPair {
    std::string name;  // base name
    std::string timer; // host paths
    std::string service;
    // The link "systemctl enable" makes for the timer.
    std::string wantsLink;
};

UnitPair PairOf(const std::string& baseName) {
    UnitPair pair;
    pair.name = baseName;
    const std::string folder = UnitFolder();
    pair.timer = folder + "/" + baseName + ".timer";
    pair.service = folder + "/" + baseName + ".service";
    pair.wantsLink = folder + "/timers.target.wants/" + baseName + ".timer";
    return pair;
}

// The job's backup units and its retry's.
struct UnitFiles {
    UnitPair backup;
    UnitPair retry;
};

UnitFiles FilesOf(const std::string& jobName) {
    return {PairOf(UnitBaseName(jobName)), PairOf(RetryUnitBaseName(jobName))};
}

bool AnyExists(const UnitFiles& files) {
    for (const UnitPair* pair : {&files.backup, &files.retry})
        if (Exists(pair->timer) || Exists(pair->service) || Exists(pair->wantsLink))
            return true;
    return false;
}

// The user's crontab; an absent crontab is an empty one.
[[nodiscard]] Result<std::string> ReadCrontab() {
    const ProcessOutcome listed = RunHostProgram({"crontab", "-l"});
    if (listed.started && listed.exitCode == 0)
        return listed.out;
    if (listed.started && listed.err.find("no crontab") != std::string::npos)
        return std::string();
    return Result<std::string>::Failure("crontab -l failed: " + Complaint(listed));
}

[[nodiscard]] Result<void> WriteCrontab(const std::string& text) {
    const ProcessOutcome written = RunHostProgram({"crontab", "-"}, text);
    if (written.started && written.exitCode == 0)
        return {};
    return Result<void>::Failure("crontab - failed: " + Complaint(written));
}

// Replaces the job's crontab lines (its schedule and its retry) with `lines`
// (none removes them); nothing is written when the crontab would not change.
[[nodiscard]] Result<void> ChangeCrontab(const std::string& jobName,
                                         const std::vector<std::string>& lines) {
    const Result<std::string> current = ReadCrontab();
    if (!current)
        return Result<void>::Failure(current.reason());
    const std::string changed = CrontabWith(*current, jobName, lines);
    // A crontab without a line end at its end is not rewritten for that alone.
    if (changed == *current || (lines.empty() && changed == *current + "\n"))
        return {};
    return WriteCrontab(changed);
}

[[nodiscard]] Result<void> Unlinked(const std::string& path) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return Result<void>::Failure("cannot remove " + path + ": " + std::strerror(errno));
    return {};
}

// Removes the job's timers and services. With the manager running they are
// disabled first; without it, the links "systemctl enable" made are removed
// here, so none is left pointing at a unit that is gone.
[[nodiscard]] Result<void> RemoveUnits(const UnitFiles& files, bool managerAvailable) {
    if (!AnyExists(files))
        return {};
    for (const UnitPair* pair : {&files.backup, &files.retry}) {
        // A timer the manager never loaded cannot be disabled; the files
        // still go.
        if (managerAvailable && (Exists(pair->timer) || Exists(pair->wantsLink)))
            Systemctl({"disable", "--now", pair->name + ".timer"});
        for (const std::string& path : {pair->timer, pair->service, pair->wantsLink})
            if (Result<void> removed = Unlinked(path); !removed)
                return removed;
    }
    if (managerAvailable) {
        const ProcessOutcome reloaded = Systemctl({"daemon-reload"});
        if (!reloaded.started || reloaded.exitCode != 0)
            return Result<void>::Failure("systemctl --user daemon-reload failed: " +
                                         Complaint(reloaded));
    }
    return {};
}

} // namespace

std::string UnitFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/systemd/user";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config/systemd/user";
}

bool SystemdUserManagerAvailable() {
    if (!platform::HostProgramExists("systemctl"))
        return false;
    const ProcessOutcome asked = Systemctl({"show-environment"});
    return asked.started && asked.exitCode == 0;
}

InstalledSchedule ReadInstalledSchedule(const std::string& jobName, bool askScheduler) {
    InstalledSchedule installed;
    const UnitPair files = FilesOf(jobName).backup;
    if (const std::optional<std::string> timer = platform::ReadHostFile(files.timer)) {
        installed.place = Place::SystemdTimer;
        installed.unitName = files.name + ".timer";
        installed.schedule = ScheduleOfTimer(*timer);
        std::istringstream lines(*timer);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("OnCalendar=", 0) == 0)
                installed.installedText = line.substr(11);
        struct stat info {};
        if (stat(files.timer.c_str(), &info) == 0)
            installed.installedAt = info.st_mtime;
        if (!askScheduler)
            return installed;
        if (!SystemdUserManagerAvailable()) {
            installed.problem = "systemd's user manager is not running, so the timer does not run";
            return installed;
        }
        const ProcessOutcome enabled = Systemctl({"is-enabled", installed.unitName});
        installed.enabled = enabled.started && enabled.out.rfind("enabled", 0) == 0;
        if (!installed.enabled) {
            installed.problem = "the timer is installed but not enabled";
            return installed;
        }
        const ProcessOutcome next =
            Systemctl({"show", "--timestamp=unix", "--property=NextElapseUSecRealtime", "--value",
                       installed.unitName});
        if (next.started && next.exitCode == 0)
            installed.nextRun = ParseNextElapse(next.out);
        return installed;
    }
    if (!askScheduler || !platform::HostProgramExists("crontab"))
        return installed;
    const Result<std::string> crontab = ReadCrontab();
    if (!crontab) {
        installed.problem = crontab.reason();
        return installed;
    }
    if (const std::optional<std::string> line = FindCrontabLine(*crontab, jobName)) {
        installed.place = Place::Crontab;
        installed.installedText = *line;
        installed.schedule = ScheduleOfCrontabLine(*line);
        installed.enabled = true;
        if (installed.schedule)
            installed.nextRun = NextRun(*installed.schedule, platform::Now());
    }
    return installed;
}

namespace {

[[nodiscard]] Result<void> InstallTimers(const std::string& jobName, const Schedule& schedule,
                                         const BackupCommand& command, const UnitFiles& files) {
    if (!SystemdUserManagerAvailable())
        return Result<void>::Failure("systemd's user manager is not running");
    if (Result<void> made = platform::MakeHostFolders(UnitFolder(), 0755); !made)
        return made;
    if (!platform::WriteHostFileAtomically(files.backup.service, ServiceText(jobName, command)) ||
        !platform::WriteHostFileAtomically(files.backup.timer, TimerText(jobName, schedule)) ||
        !platform::WriteHostFileAtomically(files.retry.service,
                                           RetryServiceText(jobName, command)) ||
        !platform::WriteHostFileAtomically(files.retry.timer, RetryTimerText(jobName)))
        return Result<void>::Failure("cannot write the timer into " + UnitFolder());
    const std::string timer = files.backup.name + ".timer";
    const std::string retry = files.retry.name + ".timer";
    for (const std::vector<std::string>& step :
         {std::vector<std::string>{"daemon-reload"}, std::vector<std::string>{"enable", timer},
          std::vector<std::string>{"enable", retry}, std::vector<std::string>{"restart", timer},
          std::vector<std::string>{"restart", retry}}) {
        const ProcessOutcome done = Systemctl(step);
        if (!done.started || done.exitCode != 0)
            return Result<void>::Failure("systemctl --user " + step.front() +
                                         " failed: " + Complaint(done));
    }
    // Lines left from a time without systemd would run the backup twice.
    if (platform::HostProgramExists("crontab"))
        return ChangeCrontab(jobName, {});
    return {};
}

[[nodiscard]] Result<void> InstallCrontabLines(const std::string& jobName, const Schedule& schedule,
                                               const BackupCommand& command,
                                               const UnitFiles& files) {
    if (!platform::HostProgramExists("crontab"))
        return Result<void>::Failure("crontab is not available");
    // Timers left from a time with systemd would run the backup twice.
    const bool managerAvailable = AnyExists(files) && SystemdUserManagerAvailable();
    if (Result<void> removed = RemoveUnits(files, managerAvailable); !removed)
        return removed;
    return ChangeCrontab(
        jobName, {CrontabLine(jobName, schedule, command), CrontabRetryLine(jobName, command)});
}

} // namespace

bool SystemctlInstalled() {
    return platform::HostProgramExists("systemctl");
}

bool CrontabInstalled() {
    return platform::HostProgramExists("crontab");
}

PlaceChoice AvailablePlace() {
    PlaceChoice choice;
    if (SystemdUserManagerAvailable()) {
        choice.place = Place::SystemdTimer;
        return choice;
    }
    choice.managerNotRunning = SystemctlInstalled();
    if (CrontabInstalled())
        choice.place = Place::Crontab;
    return choice;
}

Result<void> InstallSchedule(const std::string& jobName, const Schedule& schedule,
                             const BackupCommand& command, Place place) {
    if (schedule.frequency == Frequency::None)
        return RemoveSchedule(jobName);
    if (!IsValid(schedule))
        return Result<void>::Failure("the schedule's day or time is out of range");
    if (Result<void> named = CheckScheduleName(jobName); !named)
        return named;
    if (command.programHostPath.empty() || command.programHostPath[0] != '/')
        return Result<void>::Failure("the program's own path is not known");
    const UnitFiles files = FilesOf(jobName);
    switch (place) {
    case Place::SystemdTimer:
        return InstallTimers(jobName, schedule, command, files);
    case Place::Crontab:
        return InstallCrontabLines(jobName, schedule, command, files);
    case Place::None:
        break;
    }
    return Result<void>::Failure("neither systemd's user manager nor crontab is available");
}

Result<void> RemoveSchedule(const std::string& jobName) {
    const UnitFiles files = FilesOf(jobName);
    const bool managerAvailable = AnyExists(files) && SystemdUserManagerAvailable();
    if (Result<void> removed = RemoveUnits(files, managerAvailable); !removed)
        return removed;
    if (platform::HostProgramExists("crontab"))
        return ChangeCrontab(jobName, {});
    return {};
}

BackupCommand ThisInstallation() {
    BackupCommand command;
    const std::string folder = platform::ProgramFolderHost();
    if (!folder.empty())
        command.programHostPath = folder + "/rkbak";
    if (const char* drives = std::getenv("RAVELKEEP_DRIVES"); drives != nullptr)
        command.driveMap = drives;
    return command;
}

std::string InstalledScheduleText(const InstalledSchedule& installed,
                                  const std::function<std::string(std::time_t)>& shownTime) {
    std::string text;
    switch (installed.place) {
    case Place::None:
        text = "No schedule is installed: backups are made only when started.";
        break;
    case Place::SystemdTimer:
    case Place::Crontab: {
        const std::string where = installed.place == Place::SystemdTimer
                                      ? "the systemd user timer " + installed.unitName
                                      : std::string("a line in your crontab");
        text = installed.schedule ? "Runs " + Describe(*installed.schedule) + " (" + where + ")."
                                  : "Runs at \"" + installed.installedText +
                                        "\", a schedule changed by hand (" + where + ").";
        break;
    }
    }
    if (!installed.problem.empty())
        text += "\nNot running: " + installed.problem + ".";
    if (installed.nextRun)
        text += "\nNext run: " + shownTime(*installed.nextRun) + ".";
    return text;
}

} // namespace rk::schedule
