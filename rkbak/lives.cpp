#include "rkbak/lives.h"

#include "rkbak/backup_life.h"

#include <iostream>
#include <string_view>

namespace rk {

namespace {

// An action whose run is not part of this build: said plainly, never a
// silent success.
int NotBuiltYet(std::string_view action) {
    std::cerr << "rkbak: " << action << " is not built yet\n";
    return app::ExitUnusable;
}

} // namespace

app::Lives MakeLives(std::unique_ptr<jobs::frmMain>& mainWindow) {
    app::Lives lives;
    lives.incrementalBackup = [](const app::CommandLine& command) {
        return RunIncrementalBackupLife(command.jobName, std::cerr);
    };
    lives.consolidate = [](const app::CommandLine&) {
        return NotBuiltYet("the consolidation (/c)");
    };
    lives.showMainWindow = [&mainWindow] {
        mainWindow = std::make_unique<jobs::frmMain>();
        mainWindow->show();
        mainWindow->DataRefresh();
    };
    return lives;
}

} // namespace rk
