#include "rkbak/lives.h"

#include "core/program_values.h"
#include "core/report_lines.h"
#include "engine/last_backup.h"
#include "restore/consolidate_life.h"
#include "rkbak/backup_life.h"
#include "rkbak/captured_errors.h"
#include "rkbak/failure_notification.h"
#include "rkbak/verify_life.h"

#include <functional>
#include <iostream>
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
// journal and cron mail have them as well.
int RunAndNotify(const std::function<int()>& run,
                 const std::function<std::string(int exitCode)>& summary) {
    int exitCode = 0;
    std::string errorText;
    {
        CapturedErrors captured(std::cerr);
        exitCode = run();
        std::cerr.flush();
        errorText = captured.Text();
    }
    if (exitCode != 0)
        NotifyFailure(summary(exitCode), NotificationBody(errorText));
    return exitCode;
}

std::string Quoted(const std::string& jobName) {
    return "\"" + jobName + "\"";
}

} // namespace

app::Lives MakeLives(std::unique_ptr<jobs::frmMain>& mainWindow, bool personPresent) {
    app::Lives lives;
    lives.incrementalBackup = [](const app::CommandLine& command) {
        return RunAndNotify([&] { return RunIncrementalBackupLife(command.jobName, std::cerr); },
                            [&](int) {
                                const auto last = ReadLastBackup(JobStoreFolder + command.jobName);
                                const bool partial = last && last->outcome == "partial";
                                return "The backup of " + Quoted(command.jobName) +
                                       (partial ? " is incomplete" : " failed");
                            });
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
    lives.consolidate = [personPresent](const app::CommandLine& command) {
        return RunAndNotify(
            [&] {
                // The main window is loaded, not shown: its status text and
                // progress bar are the run's progress display.
                jobs::frmMain hiddenMainWindow(personPresent);
                return restore::RunConsolidateLife(command.startDate, command.endDate,
                                                   command.sourceFolder, hiddenMainWindow,
                                                   std::cerr);
            },
            [](int) { return std::string("The consolidation failed"); });
    };
    lives.showMainWindow = [&mainWindow, personPresent] {
        mainWindow = std::make_unique<jobs::frmMain>(personPresent);
        mainWindow->show();
        mainWindow->DataRefresh();
    };
    return lives;
}

} // namespace rk
