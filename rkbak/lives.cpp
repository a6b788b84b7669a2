#include "rkbak/lives.h"

#include "core/life_exit_codes.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "engine/job_passwords.h"
#include "engine/last_backup.h"
#include "jobs/frm_password_prompt.h"
#include "restore/consolidate_life.h"
#include "rkbak/backup_life.h"
#include "rkbak/captured_errors.h"
#include "rkbak/copy_life.h"
#include "rkbak/failure_notification.h"
#include "rkbak/restore_life.h"
#include "rkbak/thin_life.h"
#include "rkbak/verify_life.h"

#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

namespace rk {

namespace {

// The lines a run wrote, without the program's "rkbak: " in front; at most
// a screenful.
std::string NotificationBody(const std::string& errorText) {
    constexpr std::string_view prefix = kReportPrefix;
    constexpr int kMostLines = 12;
    std::istringstream lines(errorText);
    std::string body;
    int count = 0;
    for (std::string line; std::getline(lines, line) && count < kMostLines;) {
        if (line.rfind(prefix, 0) == 0)
            line.erase(0, prefix.size());
        if (line.empty())
            continue;
        body += (count++ > 0 ? "\n" : "") + line;
    }
    return body;
}

// Runs a windowless life; when it fails, a person at the desktop is told too.
// Its lines on standard error and its exit code stay as they are, so the
// journal and cron mail have them as well; when no desktop can be told, one
// more line says so. `body`, when it gives text, is the notification's body
// instead of the lines the life wrote.
int RunAndNotify(const std::function<int()>& run,
                 const std::function<std::string(int exitCode)>& summary,
                 const std::function<std::string()>& body = {}) {
    int exitCode = 0;
    std::string errorText;
    {
        CapturedErrors captured(std::cerr);
        exitCode = run();
        std::cerr.flush();
        errorText = captured.Text();
    }
    if (exitCode != 0) {
        std::string text = body ? body() : std::string();
        if (text.empty())
            text = NotificationBody(errorText);
        NotifyFailureOrSay(summary(exitCode), text, std::cerr);
    }
    return exitCode;
}

// The job's last backup, when there is a record of one.
std::optional<LastBackup> LastBackupOf(const std::string& jobName) {
    return ReadLastBackup(JobStoreFolder + jobName);
}

// Whether `after` is the record of a run that ended after `before` was read.
bool RecordedAnew(const std::optional<LastBackup>& before, const std::optional<LastBackup>& after) {
    return after && (!before || before->time != after->time || before->archive != after->archive ||
                     before->outcome != after->outcome);
}

std::string Quoted(const std::string& jobName) {
    return "\"" + jobName + "\"";
}

// After a run that may have changed the folder: its copy elsewhere follows.
void FollowWithCopy(const std::string& jobFolder) {
    CopyAfterLife(jobFolder, std::cerr, [](const std::string& summary, const std::string& body) {
        NotifyFailureOrSay(summary, body, std::cerr);
    });
}

} // namespace

app::Lives MakeLives(std::unique_ptr<jobs::frmMain>& mainWindow, bool personPresent) {
    app::Lives lives;
    lives.incrementalBackup = [](const app::CommandLine& command) {
        std::optional<LastBackup> before;
        std::optional<LastBackup> after;
        const int backupExit = RunAndNotify(
            [&] {
                before = LastBackupOf(command.jobName);
                const int exitCode = RunIncrementalBackupLife(command.jobName, std::cerr);
                after = LastBackupOf(command.jobName);
                return exitCode;
            },
            [&](int) {
                const bool partial =
                    RecordedAnew(before, after) && after && after->outcome == "partial";
                return "The backup of " + Quoted(command.jobName) +
                       (partial ? " is incomplete" : " failed");
            },
            [&]() -> std::string {
                // What this run recorded names the cause: the zip utility's
                // lines, or the files it left out.
                if (!RecordedAnew(before, after))
                    return {};
                const std::string detail = LastBackupDetail(*after);
                return detail.empty() ? std::string()
                                      : "job " + Quoted(command.jobName) + ": " + detail;
            });
        // A job with a keep policy is thinned after each backup that made
        // its archive; its failure is told as its own.
        if (!after || !RecordedAnew(before, after) ||
            (after->outcome != "made" && after->outcome != "partial")) {
            // Nothing new was made, but what earlier runs left pending goes.
            if (backupExit != ExitUnusable)
                FollowWithCopy(JobStoreFolder + command.jobName);
            return backupExit;
        }
        std::optional<int> thinExit;
        RunAndNotify(
            [&] {
                thinExit = ThinAfterBackup(command.jobName, std::cerr);
                return thinExit.value_or(0);
            },
            [&](int) { return "The thinning of " + Quoted(command.jobName) + " failed"; });
        FollowWithCopy(JobStoreFolder + command.jobName);
        return backupExit != 0 ? backupExit : thinExit.value_or(0);
    };
    lives.thin = [](const app::CommandLine& command) {
        const int exitCode = RunAndNotify(
            [&] { return RunThinLife(command.jobName, std::cerr); },
            [&](int) { return "The thinning of " + Quoted(command.jobName) + " failed"; });
        if (exitCode != ExitUnusable)
            FollowWithCopy(JobStoreFolder + command.jobName);
        return exitCode;
    };
    lives.verify = [](const app::CommandLine& command) {
        return RunAndNotify([&] { return RunVerifyLife(command.jobName, std::cerr); },
                            [&](int exitCode) {
                                return exitCode == 1 ? "An archive of " + Quoted(command.jobName) +
                                                           " does not read back"
                                                     : "The verification of " +
                                                           Quoted(command.jobName) + " failed";
                            });
    };
    lives.restore = [](const app::CommandLine& command) {
        return RunAndNotify(
            [&] {
                return RunRestoreLife(command.jobName, command.archiveName, command.destination,
                                      std::cerr);
            },
            [&](int) { return "The restore of " + Quoted(command.jobName) + " failed"; });
    };
    lives.consolidate = [](const app::CommandLine& command) {
        // No window at all: the run is built from the command line.
        const int exitCode = RunAndNotify(
            [&] {
                return restore::RunConsolidateLife(command.startDate, command.endDate,
                                                   command.sourceFolder, std::cerr);
            },
            [](int) { return std::string("The consolidation failed"); });
        // A job's folder with a copy elsewhere: the copy follows.
        if (exitCode != ExitUnusable)
            FollowWithCopy(command.sourceFolder);
        return exitCode;
    };
    lives.showMainWindow = [&mainWindow, personPresent] {
        // A restore over encrypted backups whose password is not known asks
        // for it in the window.
        if (personPresent)
            SetPasswordAsker(jobs::AskPasswordInWindow);
        mainWindow = std::make_unique<jobs::frmMain>(personPresent);
        mainWindow->show();
        mainWindow->DataRefresh();
    };
    return lives;
}

} // namespace rk
