// Create Root Backup and Create Incremental Backup: the backup run of the
// selected job, with its outcome told to the user.

#include "core/program_values.h"
#include "engine/backup_run.h"
#include "engine/backup_verification.h"
#include "jobs/busy_window.h"
#include "jobs/frm_main.h"
#include "ui/seam.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QToolBar>

namespace rk::jobs {

bool frmMain::RunJobBackup(std::int16_t mode) {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return false;
    SetStatusText(mode == 0 ? "Creating master root backup" : "Creating incremental backup");

    BackupOutcome outcome;
    {
        running_ = true;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        outcome = RunBackup(mode, *name);
        running_ = false;
    }
    // The window was disabled while the utility ran, which took the focus
    // from the job list: it goes back there.
    lstBackupJobs->setFocus();
    ShowLastBackup(JobStoreFolder + *name);
    switch (outcome.status) {
    case BackupStatus::Made:
        return true;
    case BackupStatus::MadeWithUnreadableFiles:
        ui::MsgBox(outcome.reason, ui::Buttons::OK, ui::Icon::Exclamation);
        return true;
    case BackupStatus::Failed:
        break;
    }
    ui::MsgBox(outcome.reason, ui::Buttons::OK, ui::Icon::Critical);
    return false;
}

bool frmMain::VerifyJobBackups() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return false;
    VerificationOutcome outcome;
    {
        running_ = true;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        outcome = VerifyBackups(*name, *this, [] { QCoreApplication::processEvents(); });
        running_ = false;
    }
    lstBackupJobs->setFocus();
    ui::MsgBox(VerificationText(*name, outcome), ui::Buttons::OK,
               outcome.failed.empty() ? ui::Icon::None : ui::Icon::Exclamation);
    return outcome.failed.empty();
}

} // namespace rk::jobs
