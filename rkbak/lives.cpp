#include "rkbak/lives.h"

#include "restore/consolidate_life.h"
#include "rkbak/backup_life.h"
#include "rkbak/verify_life.h"

#include <iostream>

namespace rk {

app::Lives MakeLives(std::unique_ptr<jobs::frmMain>& mainWindow, bool personPresent) {
    app::Lives lives;
    lives.incrementalBackup = [](const app::CommandLine& command) {
        return RunIncrementalBackupLife(command.jobName, std::cerr);
    };
    lives.verify = [](const app::CommandLine& command) {
        return RunVerifyLife(command.jobName, std::cerr);
    };
    lives.consolidate = [personPresent](const app::CommandLine& command) {
        // The main window is loaded, not shown: its status text and progress
        // bar are the run's progress display.
        jobs::frmMain hiddenMainWindow(personPresent);
        return restore::RunConsolidateLife(command.startDate, command.endDate, command.sourceFolder,
                                           hiddenMainWindow, std::cerr);
    };
    lives.showMainWindow = [&mainWindow, personPresent] {
        mainWindow = std::make_unique<jobs::frmMain>(personPresent);
        mainWindow->show();
        mainWindow->DataRefresh();
    };
    return lives;
}

} // namespace rk
